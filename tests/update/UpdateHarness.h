#pragma once
// One update check against the scripted update server, with the platform
// faked, the settings and the local data folder fresh and empty,
// and the watchdog's clock in the test's hand: UpdateTimer fires only when
// the test lets time pass.
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "FakePlatform.h"
#include "FakeServer.h"
#include "SettingsSandbox.h"
#include "TestSigner.h"
#include "common/ClientSocket.h"

class TfrmDAVUcommon;
namespace davu {
class UpdateCheck;
}  // namespace davu

// "#DATASTART#¤RETNEWCLIENT:" + file + ":RETNEWCLIENT¤#DATAEND#"
std::string ProgramReply(std::string_view file);
std::string FileBytes(const QString& path);
// "<program file name> <version>", what a release's signature must say.
std::string ReleaseComment(const QString& path);

class UpdateHarness {
 public:
  UpdateHarness();
  ~UpdateHarness();

  FakePlatform fake;
  SettingsSandbox settings;
  FakeServer server;        // the update server
  TestKey key{1};           // the release key the check trusts
  TrustedKeyFolder trusted{{&key}};
  davu::ClientSocket main;        // the main connection: gives the update server's default address
  std::unique_ptr<TfrmDAVUcommon> common;
  std::unique_ptr<davu::UpdateCheck> check;

  // Steps run in order while the check waits, each once its condition holds.
  void then(std::function<bool()> condition, std::function<void()> action);
  bool stepsDone() const { return steps_.empty(); }
  // `ms` pass on the watchdog's clock: the timer fires when it is armed for
  // at most that long. True when it fired.
  bool pass(int ms);
  // Runs CheckForUpdate with the steps.
  bool run();

  // Places a copy of `from` as the local copy, signed by the trusted key.
  void setLocalCopy(const QString& from);
  // Answers the request for the signature file with `signatureFile`.
  void serveSignature(const std::string& signatureFile);
  QString localCopy() const;
  // The update connection's requests so far.
  std::string sent();

 private:
  struct Step {
    std::function<bool()> condition;
    std::function<void()> action;
  };
  std::deque<Step> steps_;
  QTimer poll_;
  bool inStep_ = false;
};
