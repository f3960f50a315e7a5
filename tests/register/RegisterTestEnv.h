#pragma once
// The one fixture of the register window tests: every case makes its own,
// so nothing is shared between cases.
#include <functional>
#include <memory>
#include <string>

#include "SettingsSandbox.h"

namespace davu {
class ClientSocket;
}  // namespace davu

class FakePlatform;
class FakeServer;
class TfrmSystreg;
namespace davu {
class ResourcesTab;
}  // namespace davu

// Ticks or unticks a line of "Resurser" the way the list's check box does.
void ClickCheck(davu::ResourcesTab* tab, int row);

// Empty settings, shared state reset on both ends of the case, the platform
// faked, and a scripted server with a socket not yet connected to it.
class RegisterCase {
 public:
  RegisterCase();
  virtual ~RegisterCase();
  RegisterCase(const RegisterCase&) = delete;
  RegisterCase& operator=(const RegisterCase&) = delete;

  // Opens the socket to the server; true when both ends see the connection.
  bool connect();
  // Everything `action` sends to the server: a marker sent afterwards is
  // waited for, so that a missing request shows as missing rather than as a
  // time-out.
  std::string sent(const std::function<void()>& action);

  SettingsSandbox settings;
  std::unique_ptr<FakePlatform> platform;
  std::unique_ptr<FakeServer> server;
  std::unique_ptr<davu::ClientSocket> socket;
};

// The register window in register mode, its socket connected.
class RegisterWindowCase : public RegisterCase {
 public:
  RegisterWindowCase();
  ~RegisterWindowCase() override;

  std::unique_ptr<TfrmSystreg> w;
  bool connected = false;
};
