#include "common/ClientIdentity.h"

#include "common/MachineName.h"
#include "common/Records.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"

QString GetClientName() {
  if (ReadSettingDef(QStringLiteral("DAVU"), QStringLiteral("ClientNameUseDefault"), QStringLiteral("1")) ==
      QLatin1String("1"))
    return GetMachineName() + u'_' + ClientTypeText(OwnClientType);
  return ReadSettingDef(QStringLiteral("DAVU"), QStringLiteral("ClientName"), QString());
}
