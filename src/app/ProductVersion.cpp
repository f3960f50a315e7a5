#include "app/ProductVersion.h"

#include "update/CEVersionInfo.h"

namespace davu {

// A program file without a block (a test program) shows the reader's
// "<info not available>", as the reader returns it.
QString ShownProductVersion(const QString& fromVersionBlock) { return fromVersionBlock; }

QString ProgramProductVersion() { return ShownProductVersion(ProductVersionOfRunningProgram()); }

}  // namespace davu
