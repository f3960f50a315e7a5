#include "RegisterTestEnv.h"

#include <QDir>
#include <QFile>

#include "ClientSocket.h"
#include "FakeServer.h"

namespace {
const std::string kMarker = "\xA4" "TESTMARKER\xA4";
}

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

bool ConnectTo(ClientSocket& socket, FakeServer& server) {
  socket.setHost(QString());
  socket.setAddress(QStringLiteral("127.0.0.1"));
  socket.setPort(server.port());
  socket.open();
  return WaitUntil([&] { return socket.active() && server.hasConnection(); });
}

std::string SentBy(ClientSocket& socket, FakeServer& server, const std::function<void()>& send) {
  // Whatever earlier steps sent must not count: let it arrive first.
  server.clearReceived();
  socket.sendBytes(kMarker);
  if (!server.waitForReceived(kMarker)) return "<no marker>";
  server.clearReceived();
  send();
  socket.sendBytes(kMarker);
  if (!server.waitForReceived(kMarker)) return "<no marker>";
  std::string all = server.received();
  return all.substr(0, all.size() - kMarker.size());
}
