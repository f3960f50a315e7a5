#pragma once
// The main window: four buttons that lead to the program's work, a status bar
// that shows the server connection, and the one connection to the server with
// its retry countdown, inactivity watchdog and reply dispatcher.
//
// Connection states (ConnectionState); the status bar is drawn from them:
//
//   not connected  --ConnectToServer-->  connecting  --connect event-->  introduced
//   introduced  --version accepted-->  connected
//   introduced  --version refused-->   refused (both timers stopped)
//   any  --disconnect/error after a connection once came up-->  waiting to retry
//   connecting  --error before any connection came up, once the question
//                 "edit the settings?" is answered-->  needs settings
//   connecting  --disconnect before any connection came up-->  needs settings
//   waiting to retry  --countdown at 0-->  connecting; the countdown goes on
//                 while the attempt is pending, and each tick is waiting to retry
//
// Timers: Timer3 ticks once a second while a retry countdown runs (its tag
// holds the milliseconds left); ReconnectTimer is the inactivity watchdog,
// re-armed after every handled text.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/Reassembler.h"

class ClientSocket;
class QDialog;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class TCEVersionInfo;
class TfrmSystreg;
class TPictureButton;
class TStatusCircle;

class TfrmDAVUAdmin : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmDAVUAdmin(QWidget* parent = nullptr);
  ~TfrmDAVUAdmin() override;

  // Controls, under the names the whole program uses.
  TPictureButton* btnSystemregister;
  TPictureButton* btnStatistik;
  TPictureButton* btnKallelser;
  TPictureButton* btnSettings;
  QFrame* Panel3;
  TStatusCircle* shServerConnected;
  QLabel* Label1;
  QPushButton* btnClose;

  // Non-visual parts.
  ClientSocket* ClientSocket1;
  QTimer* Timer3;
  int Timer3Tag = 0;  // milliseconds left of the retry countdown
  QTimer* ReconnectTimer;
  // Ends the wait of bytes that may start a message or marker (single shot).
  QTimer* ReplyQuietTimer;
  TCEVersionInfo* CEVersionInfo1;  // the running program's version block

  // Created at the first activation, freed when the window closes.
  TfrmSystreg* frmSystreg = nullptr;

  // Ends the process with the given status. Tests replace it to see the status
  // without ending the test program.
  std::function<void(int)> ExitProcess;
  // Shows a window modally. Tests replace it to see what was opened.
  std::function<void(QDialog*)> ShowModal;
  // The update check, run once at the next successful connect while
  // UpdateCheckPending is set. Returns true when a newer program has been
  // started and this one must end. Until one is installed, connects go
  // straight to the introduction and UpdateCheckPending stays as it is.
  std::function<bool()> CheckForUpdate;

  // The program's product version as the title shows it.
  const QString& productVersion() const { return productVersion_; }

  enum class ConnectionState {
    NotConnected,
    Connecting,
    Introduced,
    Connected,
    Refused,
    WaitingToRetry,
    NeedsSettings,
  };
  Q_ENUM(ConnectionState)
  ConnectionState connectionState() const { return connectionState_; }

  // What the status bar shows in a state; an empty part is left as it is.
  struct StatusLook {
    std::optional<bool> connected;  // the circle: green "Ansluten", red "Ej ansluten"
    std::optional<QString> text;    // the status text
  };
  // `countdownMs` is the time left while waiting to retry, `version` the
  // server version a refusal names.
  static StatusLook lookOf(ConnectionState state, int countdownMs, const QString& version);

 public slots:
  void FormActivate();
  void btnSystemregisterClick();
  void btnStatistikClick();
  void btnKallelserClick();
  void btnSettingsClick();
  void btnCloseClick();

  void ConnectToServer();
  void ClientSocket1Connect();
  void ClientSocket1Disconnect();
  void ClientSocket1Error(int code);
  void ClientSocket1Read();
  void Timer3Timer();
  void ReconnectTimerTimer();
  void ReplyQuietTimerTimer();

 public:
  // Hands every reply in `text` (wire bytes, frame markers removed) to its
  // owner, in a fixed order of tags: the first of each kind, then the second
  // of each kind, and so on; then shows an error reply.
  void DispatchReply(std::string text, ClientSocket* socket);

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void buildControls();
  void FormClose();
  void createRegisterWindow();
  // The connect handler's work: the update check hook, then GETSERVERVERSION.
  void introduce();
  // Selects the server tab and shows the register unless it is visible.
  void openServerSettings();
  // Enters `state` and draws the circle, its hint and the status text.
  void enterState(ConnectionState state);
  void startRetryCountdown();
  int drawCountdown() const;
  // Returns false when the version is refused: the rest of the text is dropped.
  // False when the handing on of the text's replies must stop.
  bool routeReply(std::size_t kind, std::string_view payload);
  bool handleServerVersion(std::string_view payload);
  void handleClinicName(std::string_view payload);
  // One step of the reassembly (a read, or the end of the quiet time), then
  // the dispatch of the text it gives.
  void reassemble(const std::function<std::optional<std::string>()>& step);
  // DispatchReply's work on a text that stays the caller's.
  void dispatchText(std::string_view text);
  void reportOverflow();
  void armReplyQuietTimer();
  void rearmWatchdog();
  // The two watchdog settings, read once per connection. False while another
  // settings read waits further out on the stack: the dispatch there arms the
  // watchdog when it ends.
  bool watchdogSettingsReady();

  QString productVersion_;
  bool activatedOnce_ = false;
  ConnectionState connectionState_ = ConnectionState::NotConnected;
  davu::proto::Reassembler reassembler_{davu::proto::Reassembler::kDefaultLimit,
                                       davu::proto::kMainReplyStream};
  std::uint64_t quietHeldFrom_ = 0;

  bool watchdogSettingsRead_ = false;
  unsigned connectionGeneration_ = 0;
  bool refreshConnection_ = false;
  qint64 refreshIntervalMs_ = 60000;
};
