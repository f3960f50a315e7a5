#pragma once
// SIGTERM and SIGINT as a Qt signal on the event loop. The handler only
// writes the signal number into a socket pair; everything else (logging,
// closing connections, checkpointing the database) runs as ordinary code.
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace davu::server {

class StopSignals : public QObject {
  Q_OBJECT

 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;
  // False when the handlers could not be installed.
  bool installed() const { return notifier_ != nullptr; }

 signals:
  // name: "SIGTERM" or "SIGINT"
  void stopRequested(const QString& name);

 private:
  void onReadable();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace davu::server
