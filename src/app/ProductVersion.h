#pragma once
#include <QString>

// The product version as the program shows it: the one read from the version
// block of the running program file, or, for a program file without one (a
// test program), the version the build was made with.
QString ShownProductVersion(const QString& fromVersionBlock);
// ShownProductVersion of the running program's own version block.
QString ProgramProductVersion();
