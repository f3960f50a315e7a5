#include "ClientIdentity.h"

#include "MachineName.h"
#include "Records.h"
#include "SettingsStore.h"
#include "SharedState.h"

QString GetClientName() {
  if (ReadSettingDef(QStringLiteral("DAVU"), QStringLiteral("ClientNameUseDefault"), QStringLiteral("1")) ==
      QLatin1String("1"))
    return GetMachineName() + u'_' + ClientTypeText(OwnClientType);
  return ReadSettingDef(QStringLiteral("DAVU"), QStringLiteral("ClientName"), QString());
}
