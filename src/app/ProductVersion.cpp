#include "ProductVersion.h"

#include "CEVersionInfo.h"

QString ShownProductVersion(const QString& fromVersionBlock) {
  const QString v = fromVersionBlock.trimmed();
  if (v.isEmpty() || v == kInfoNotAvailable) return QStringLiteral(DAVU_PRODUCT_VERSION);
  return v;
}

QString ProgramProductVersion() { return ShownProductVersion(ProductVersionOfRunningProgram()); }
