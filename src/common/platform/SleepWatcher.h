#pragma once
// Suspend and resume from systemd-logind: its Manager's PrepareForSleep
// signal on the system bus (true before sleeping, false after waking). While
// listening it holds a "delay" inhibitor lock, so that the program gets to
// close its connection before the computer sleeps. Where there is no bus the
// watcher does nothing.
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace davu {

class SleepWatcher : public QObject {
  Q_OBJECT

 public:
  // `service` empty: accept the signal from any sender (tests on a private bus).
  explicit SleepWatcher(const QDBusConnection& bus,
                        const QString& service = QStringLiteral("org.freedesktop.login1"),
                        QObject* parent = nullptr);
  ~SleepWatcher() override;

  bool listening() const { return listening_; }

 signals:
  void suspending();
  void resumed();

 private slots:
  void PrepareForSleep(bool start);

 private:
  void takeDelayLock();

  QDBusConnection bus_;
  QString service_;
  bool listening_ = false;
  QDBusUnixFileDescriptor delayLock_;
};

}  // namespace davu
