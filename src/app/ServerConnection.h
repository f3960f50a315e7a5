#pragma once
// The one connection to the server: the socket, the reassembly of what it
// sends, the introduction, the retry countdown, the inactivity watchdog and
// the dispatch of replies. It knows no window: it reports its state and
// every reply as signals, and the main window draws what it is told.
//
// States; the status bar is drawn from them:
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
// Timers: Timer3 ticks once a second while a retry countdown runs (Timer3Tag
// holds the milliseconds left); ReconnectTimer is the inactivity watchdog,
// re-armed after every handled text; ReplyQuietTimer ends the wait of bytes
// that may start a message or a marker.
//
// Replies are handed on in a fixed order of tags, not in the order of
// arrival (see proto::DispatchText); each kind leaves as its own signal, for
// the reply router to hand to its owner. The signals are emitted directly:
// a receiver may wait with the event loop running, and the dispatch of a
// text may then run again inside it.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/Reassembler.h"

namespace davu {

class ClientSocket;

}  // namespace davu

class QTimer;

namespace davu {

class ServerConnection : public QObject {
  Q_OBJECT

 public:
  enum class State {
    NotConnected,
    Connecting,
    Introduced,
    Connected,
    Refused,
    WaitingToRetry,
    NeedsSettings,
  };
  Q_ENUM(State)

  explicit ServerConnection(QObject* parent = nullptr);
  ~ServerConnection() override;

  // Under the names the whole program uses.
  ClientSocket* ClientSocket1;
  QTimer* Timer3;
  int Timer3Tag = 0;  // milliseconds left of the retry countdown
  QTimer* ReconnectTimer;
  QTimer* ReplyQuietTimer;

  // The update check, run once at the next successful connect while
  // UpdateCheckPending is set. Returns true when a newer program has been
  // started and this one must end. It lets the event loop run: the
  // connection may have changed when it returns.
  std::function<bool()> CheckForUpdate;

  State state() const { return state_; }

  // Opens the connection from the stored settings, closing any open one.
  void ConnectToServer();
  // The server changed: what the old connection left half received, its
  // countdown and its watchdog go with it, then ConnectToServer.
  void ConnectAfresh();
  // The program ends: timers stop, the connection closes, nothing retries.
  void shutDown();

  // The handlers of the socket and the timers.
  void ClientSocket1Connect();
  void ClientSocket1Disconnect();
  void ClientSocket1Error(int code);
  void ClientSocket1Read();
  void Timer3Timer();
  void ReconnectTimerTimer();
  void ReplyQuietTimerTimer();

  // Hands every reply in `text` (wire bytes, frame markers removed) on, in
  // the fixed order of tags; then reports an error reply.
  void DispatchReply(std::string_view text);

 signals:
  void stateChanged(State state);
  // A RETSERVERVERSION arrived (ServerVersion holds it); then one of:
  void serverVersionArrived();
  void versionAccepted();
  void versionRefused(const QString& version);
  // The administrator chose to edit the server settings after a failed
  // first attempt.
  void editSettingsRequested();
  // The update check started a newer program: this one ends.
  void newerProgramStarted();
  // A reply larger than anything the server sends was dropped.
  void replyTooLarge();
  // The text of an "ERROR:" reply, cut to what a person reads.
  void errorReply(const QString& shown);
  // The payloads of the other replies, wire bytes, valid during the call.
  void clinicNameReply(std::string_view payload);
  void settingsReply(std::string_view payload);
  void sqlReply(std::string_view payload);
  // The first bytes of a RETSQL reply still arriving ("¤RETSQL:" ...),
  // valid during the call; `reply` numbers the reply on this connection, the
  // same for all of its reads. It is finished only when sqlReply hands it on.
  void sqlReplyArriving(std::uint64_t reply, std::string_view soFar);
  void smsSettingsReply(std::string_view payload);
  void allMachinesReply(std::string_view payload);
  void callListReply(std::string_view payload);
  void stationCallablesReply(std::string_view payload);
  void allCallablesReply(std::string_view payload);

 private:
  void enterState(State state);
  // The connect handler's work: the update check hook, then GETSERVERVERSION.
  void introduce();
  void startRetryCountdown();
  int drawCountdown() const;
  // False when the handing on of the text's replies must stop.
  bool routeReply(std::size_t kind, std::string_view payload);
  bool handleServerVersion(std::string_view payload);
  // One step of the reassembly (a read, or the end of the quiet time), then
  // the dispatch of the text it gives.
  void reassemble(const std::function<std::optional<std::string>()>& step);
  void armReplyQuietTimer();
  // Hands on the first bytes of a query reply that is still arriving.
  void reportArrivingReply();
  void rearmWatchdog();
  // The two watchdog settings, read once per connection. False while another
  // settings read waits further out on the stack: the dispatch there arms the
  // watchdog when it ends.
  bool watchdogSettingsReady();

  State state_ = State::NotConnected;
  proto::Reassembler reassembler_{proto::Reassembler::kDefaultLimit, proto::kMainReplyStream};
  std::uint64_t quietHeldFrom_ = 0;
  bool watchdogSettingsRead_ = false;
  unsigned connectionGeneration_ = 0;
  bool refreshConnection_ = false;
  qint64 refreshIntervalMs_ = 60000;
};

}  // namespace davu
