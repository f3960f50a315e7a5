#pragma once
// The main window brought up against a davu-server process, as at a start
// with the server stored in the settings.
#include <QLabel>
#include <QString>

#include "Controls.h"
#include "FakeServer.h"
#include "app/UDavuAdminMain.h"
#include "common/SettingsStore.h"

using davu::test::Control;

// Stores 127.0.0.1:`port` as the server, shows `main` and activates it; true
// once the status reads "Ansluten". The settings home and the platform fakes
// are the caller's.
inline bool ConnectMainWindow(TfrmDAVUAdmin& main, int port) {
  InitLocalPaths();
  WriteSetting("ServerSettings", "ServerName", "127.0.0.1");
  WriteSetting("ServerSettings", "ServerPort", QString::number(port));
  main.ExitProcess = [](int) {};
  main.show();
  main.FormActivate();
  return WaitUntil([&] { return Control<QLabel>(&main, "Label1")->text() == QStringLiteral("Ansluten"); }, 10000);
}
