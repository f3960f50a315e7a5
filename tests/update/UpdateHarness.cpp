#include "UpdateHarness.h"

#include <QDir>
#include <QFile>

#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "protocol/Envelope.h"
#include "update/ProgramInstaller.h"
#include "update/UUpdateCheck.h"
#include "update/UpdateState.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

std::string ProgramReply(std::string_view file) {
  return davu::proto::Frame("\xA4RETNEWCLIENT:" + std::string(file) + ":RETNEWCLIENT\xA4");
}

std::string FileBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
  return f.readAll().toStdString();
}

std::string ReleaseComment(const QString& path) {
  return "davu-admin " + ProgramInstaller::productVersionOf(path).toStdString();
}

UpdateHarness::UpdateHarness() {
  ResetSharedState();
  ResetUpdateState();
  InitLocalPaths();
  common = std::make_unique<TfrmDAVUcommon>(false);
  check = std::make_unique<UpdateCheck>(*common);
  check->programPath = QStringLiteral(DAVU_PROBE_1106);
  check->programFileName = QStringLiteral("davu-admin");
  // The client name comes from the local settings, without asking a server.
  WriteSetting(QStringLiteral("DAVU"), QStringLiteral("ClientNameUseDefault"), QStringLiteral("1"));
  main.setAddress(QStringLiteral("127.0.0.1"));
  main.setPort(server.port());
  poll_.setInterval(1);
  QObject::connect(&poll_, &QTimer::timeout, [this] {
    if (inStep_) return;
    inStep_ = true;
    while (!steps_.empty() && steps_.front().condition()) {
      Step s = std::move(steps_.front());
      steps_.pop_front();
      s.action();
    }
    inStep_ = false;
  });
}

UpdateHarness::~UpdateHarness() {
  check.reset();
  common.reset();
  ResetSharedState();
  ResetUpdateState();
}

void UpdateHarness::then(std::function<bool()> condition, std::function<void()> action) {
  steps_.push_back({std::move(condition), std::move(action)});
}

bool UpdateHarness::pass(int ms) {
  if (!common->UpdateTimer->isActive() || common->UpdateTimer->interval() > ms) return false;
  check->UpdateTimerTimer();
  return true;
}

bool UpdateHarness::run() {
  poll_.start();
  const bool result = check->CheckForUpdate(main);
  poll_.stop();
  return result;
}

void UpdateHarness::setLocalCopy(const QString& from) {
  QFile::remove(localCopy());
  QFile::copy(from, localCopy());
  WriteWhole(ProgramInstaller::signaturePath(localCopy()), key.sign(FileBytes(from), ReleaseComment(from)));
}

void UpdateHarness::serveSignature(const std::string& signatureFile) {
  then([this] { return server.received().find("GETNEWCLIENT:davu-admin.minisig:") != std::string::npos; },
       [this, signatureFile] { server.send(ProgramReply(signatureFile)); });
}

QString UpdateHarness::localCopy() const { return check->localCopy(); }

std::string UpdateHarness::sent() {
  // A closed connection: what it sent before it closed has arrived once the
  // server has seen it close.
  if (!common->UpdateSocket->active()) {
    WaitUntil([this] { return !server.hasConnection(); });
    return server.received();
  }
  return server.takeSent(*common->UpdateSocket);
}
