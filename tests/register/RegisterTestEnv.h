#pragma once
// Shared set-up of the register window tests: settings files in a temporary
// folder, and a ClientSocket connected to the scripted server.
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

class ClientSocket;
class FakeServer;

// Points both settings files into a temporary folder for the process and
// empties them before each case.
class SettingsSandbox {
 public:
  SettingsSandbox();
  void clear();
  QString userFile() const;
  QString machineFile() const;
  static QByteArray contents(const QString& path);

 private:
  QTemporaryDir dir_;
};

// Opens `socket` to the loopback server; true when both ends see the connection.
bool ConnectTo(ClientSocket& socket, FakeServer& server);

// Everything `send` puts on the wire: sends a marker afterwards and waits for
// it, so that a missing request shows as missing rather than as a time-out.
std::string SentBy(ClientSocket& socket, FakeServer& server, const std::function<void()>& send);

class FakePlatform;
class TfrmSystreg;

// One case of the register window in register mode, connected to the
// scripted server, with the platform faked. Shared state is reset on both
// ends of the case.
class RegisterWindowCase {
 public:
  RegisterWindowCase();
  ~RegisterWindowCase();
  // Everything `action` sends to the server.
  std::string sent(const std::function<void()>& action);

  std::unique_ptr<FakePlatform> platform;
  std::unique_ptr<FakeServer> server;
  std::unique_ptr<ClientSocket> socket;
  std::unique_ptr<TfrmSystreg> w;
  bool connected = false;
};
