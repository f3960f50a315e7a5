#pragma once
#include <QString>

// The program's product version, read from the version block embedded in the
// running program file. A program file without one (a test program) shows the
// version the build was made with.
QString ProgramProductVersion();
