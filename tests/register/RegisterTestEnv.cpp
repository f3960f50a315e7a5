#include "RegisterTestEnv.h"

#include <QDir>
#include <QFile>

#include "ClientSocket.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "SharedState.h"
#include "USystReg.h"

SettingsSandbox::SettingsSandbox() {
  qputenv("XDG_CONFIG_HOME", (dir_.path() + QStringLiteral("/user")).toUtf8());
  qputenv("DAVU_MACHINE_CONFIG_DIR", (dir_.path() + QStringLiteral("/machine")).toUtf8());
  clear();
}

void SettingsSandbox::clear() {
  QDir(dir_.path() + QStringLiteral("/user")).removeRecursively();
  QDir(dir_.path() + QStringLiteral("/machine")).removeRecursively();
}

QString SettingsSandbox::userFile() const { return dir_.path() + QStringLiteral("/user/Solvarn/registry.ini"); }

QString SettingsSandbox::machineFile() const {
  return dir_.path() + QStringLiteral("/machine/registry.ini");
}

QByteArray SettingsSandbox::contents(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

bool ConnectTo(ClientSocket& socket, FakeServer& server) { return server.connectClient(socket); }

std::string SentBy(ClientSocket& socket, FakeServer& server, const std::function<void()>& send) {
  // Whatever earlier steps sent must not count: let it arrive first.
  server.takeSent(socket);
  send();
  return server.takeSent(socket);
}

RegisterWindowCase::RegisterWindowCase()
    : platform(std::make_unique<FakePlatform>()),
      server(std::make_unique<FakeServer>()),
      socket(std::make_unique<ClientSocket>()) {
  ResetSharedState();
  connected = ConnectTo(*socket, *server);
  w = std::make_unique<TfrmSystreg>();
  w->ClientSocket1 = socket.get();
  RegisterMode = true;
}

RegisterWindowCase::~RegisterWindowCase() {
  w.reset();
  socket.reset();
  server.reset();
  platform.reset();
  ResetSharedState();
}

std::string RegisterWindowCase::sent(const std::function<void()>& action) {
  return SentBy(*socket, *server, action);
}
