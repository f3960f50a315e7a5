#pragma once
// The hidden common window: created at start before the main window, never
// shown, alive for the whole run. It carries the settings reply timer, the
// update connection with its timer and reassembly flags, the balloon's
// pictures and the shared balloon, and it receives suspend and resume.
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QWidget>

namespace davu {

class ClientSocket;

}  // namespace davu

class QTimer;
namespace davu {

class TBalloonHint;
class SleepWatcher;

}  // namespace davu

class TfrmDAVUcommon : public QWidget {
  Q_OBJECT

 public:
  // `listenForPower`: follow the system's suspend and resume notifications.
  explicit TfrmDAVUcommon(bool listenForPower = true, QWidget* parent = nullptr);
  ~TfrmDAVUcommon() override;

  QTimer* SocketTimer;        // 5000 ms one-shot watchdog of a settings request
  davu::ClientSocket* UpdateSocket; // the update connection, port 0, inactive
  QTimer* UpdateTimer;        // 5000 ms watchdog of the update check
  QList<QPixmap> ImageList1;  // 0 information, 1 question, 2 error; 32 x 32
  bool DataNotReady = false;
  bool DataIsNewFile = false;

  // Creates the shared balloon on first use and loads it for the next show:
  // title, text followed by one CR, the picture for `kind`, display time.
  void PrepareBalloonHint(const QString& title, const QString& text, int kind, int displayMs);
  // Null until the first PrepareBalloonHint.
  davu::TBalloonHint* BalloonHint() const { return balloon_; }
  davu::SleepWatcher* PowerWatcher() const { return sleepWatcher_; }

  // Picture index for a balloon kind: 1 error (2), 2 information (0),
  // 3 question (1), any other information (0).
  static int BalloonPictureIndex(int kind);

  // System power events: 4 about to suspend, 7 resumed; other codes do nothing.
  static constexpr int PBT_APMSUSPEND = 4;
  static constexpr int PBT_APMRESUMESUSPEND = 7;

 public slots:
  void SocketTimerTimer();
  void PowerBroadcast(int eventCode);

 private:
  davu::TBalloonHint* balloon_ = nullptr;
  davu::SleepWatcher* sleepWatcher_ = nullptr;
};

namespace davu {

// The one instance; set by its constructor, cleared by its destructor.
extern TfrmDAVUcommon* frmDAVUcommon;
// The instance, created (without power notifications) if there is none yet.
TfrmDAVUcommon& EnsureDAVUcommon();

// The three 32 x 32 pictures, drawn: a white "i" on a blue disc, a white "?"
// on a blue disc, a white cross on a red disc.
QList<QPixmap> DrawBalloonPictures();

}  // namespace davu
