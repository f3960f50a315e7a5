#include "common/platform/Platform.h"

#include <QHostInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtGlobal>

namespace davu::platform {
namespace {

class SystemClock final : public Clock {
 public:
  QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Seeded once from the clock at start, like the program's generator always was.
class SeededRandom final : public RandomSource {
 public:
  SeededRandom() : gen_(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch())) {}
  int below(int bound) override { return bound <= 0 ? 0 : static_cast<int>(gen_.bounded(bound)); }

 private:
  QRandomGenerator gen_;
};

class ThreadSleeper final : public Sleeper {
 public:
  void blockingSleep(int ms) override {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
  }
};

class DetachedStarter final : public ProcessStarter {
 public:
  bool startDetached(const QString& program, const QStringList& args,
                     const QString& workingDir) override {
    return QProcess::startDetached(program, args, workingDir);
  }
};

// Linux has no Citrix or terminal-services client name to ask for: a desktop
// session is never reported as remote, and the machine is the host's short name.
class LinuxHostIdentity final : public HostIdentity {
 public:
  QString computerName() override {
    QString name = QHostInfo::localHostName();
    const qsizetype dot = name.indexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
  }
  bool isRemoteSession() override { return false; }
  bool citrixClientName(QString& name) override {
    name.clear();
    return false;
  }
  QString terminalServicesClientName() override { return {}; }
};

struct Installed {
  std::unique_ptr<Clock> clock;
  std::unique_ptr<RandomSource> random;
  std::unique_ptr<Sleeper> sleeper;
  std::unique_ptr<Dialogs> dialogs;
  std::unique_ptr<ProcessStarter> starter;
  std::unique_ptr<HostIdentity> host;
};

std::unique_ptr<Dialogs> (*realDialogsMaker)() = nullptr;

Installed& installed() {
  static Installed s;
  return s;
}

template <typename T, typename Real>
T& getOrMake(std::unique_ptr<T>& slot) {
  if (!slot) slot = std::make_unique<Real>();
  return *slot;
}

}  // namespace

Clock& clock() { return getOrMake<Clock, SystemClock>(installed().clock); }
RandomSource& random() { return getOrMake<RandomSource, SeededRandom>(installed().random); }
Sleeper& sleeper() { return getOrMake<Sleeper, ThreadSleeper>(installed().sleeper); }
Dialogs& dialogs() {
  auto& slot = installed().dialogs;
  if (!slot) {
    if (!realDialogsMaker) qFatal("davu::platform::dialogs(): no dialogs installed and no real ones linked");
    slot = realDialogsMaker();
  }
  return *slot;
}
ProcessStarter& processStarter() {
  return getOrMake<ProcessStarter, DetachedStarter>(installed().starter);
}
HostIdentity& hostIdentity() { return getOrMake<HostIdentity, LinuxHostIdentity>(installed().host); }

void setRealDialogs(std::unique_ptr<Dialogs> (*maker)()) { realDialogsMaker = maker; }

void install(std::unique_ptr<Clock> p) { installed().clock = std::move(p); }
void install(std::unique_ptr<RandomSource> p) { installed().random = std::move(p); }
void install(std::unique_ptr<Sleeper> p) { installed().sleeper = std::move(p); }
void install(std::unique_ptr<Dialogs> p) { installed().dialogs = std::move(p); }
void install(std::unique_ptr<ProcessStarter> p) { installed().starter = std::move(p); }
void install(std::unique_ptr<HostIdentity> p) { installed().host = std::move(p); }

void restoreDefaults() { installed() = Installed{}; }

}  // namespace davu::platform
