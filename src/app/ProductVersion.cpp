#include "ProductVersion.h"

#ifdef DAVU_HAVE_VERSION_INFO
#include "update/CEVersionInfo.h"
#endif

QString ProgramProductVersion() {
#ifdef DAVU_HAVE_VERSION_INFO
  TCEVersionInfo info;
  const QString v = info.ProductVersion().trimmed();
  if (!v.isEmpty() && v != QLatin1String("<info not available>")) return v;
#endif
  return QStringLiteral(DAVU_PRODUCT_VERSION);
}
