#include "app/AppStart.h"

#include <exception>

#include "app/UDavuAdminMain.h"
#include "common/SettingsStore.h"
#include "register/Themes.h"
#include "widgets/Dialogs.h"

namespace davu {

StartRequest ParseStartArguments(const QStringList& args) {
  for (const QString& a : args) {
    if (a == QLatin1String("--version") || a == QLatin1String("-v")) return StartRequest::ShowVersion;
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) return StartRequest::ShowHelp;
  }
  return StartRequest::Run;
}

QString VersionText(const QString& productVersion) {
  return QStringLiteral("davu-admin ") + productVersion + u'\n';
}

QString HelpText() {
  return QStringLiteral(
      "Användning: davu-admin [--version] [--help]\n"
      "\n"
      "DAVU Admin, administrationsprogrammet för DAVU kallelsesystem.\n"
      "Servern ställs in under Inställningar... i programmet.\n"
      "\n"
      "  --version  visa programmets version och avsluta\n"
      "  --help     visa denna text och avsluta\n"
      "\n"
      "Övriga argument tas emot och används inte.\n"
      "Programmet avslutas alltid med status 1 när huvudfönstret stängs.\n");
}

bool ApplyStartTheme() {
  // No connection exists yet, so only the local settings are consulted.
  if (ApplyTheme(ReadSetting(QStringLiteral("KlientSettings"), QStringLiteral("Style")))) return true;
  // The default look, drawn readable like every theme.
  ApplyTheme(PlainThemeName());
  return false;
}

std::unique_ptr<TfrmDAVUAdmin> CreateMainWindow() {
  try {
    auto window = std::make_unique<TfrmDAVUAdmin>();
    ApplyStartTheme();
    return window;
  } catch (const std::exception& e) {
    ShowInfoMessage(QStringLiteral("DAVU Admin kunde inte starta.\r\r") + QString::fromUtf8(e.what()));
    return nullptr;
  }
}

}  // namespace davu
