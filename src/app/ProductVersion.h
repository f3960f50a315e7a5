#pragma once
#include <QString>

namespace davu {

// The product version as the program shows it: what the version reader
// returns for the version block of the running program file. The build
// always links that block into davu-admin, stripped or not.
QString ShownProductVersion(const QString& fromVersionBlock);
// ShownProductVersion of the running program's own version block.
QString ProgramProductVersion();

}  // namespace davu
