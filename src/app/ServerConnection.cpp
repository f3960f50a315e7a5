#include "app/ServerConnection.h"

#include <QTimer>
#include <exception>
#include <limits>

#include "common/ClientIdentity.h"
#include "common/ClientSocket.h"
#include "common/Records.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "common/platform/Platform.h"
#include "protocol/Catalogue.h"
#include "protocol/Envelope.h"
#include "protocol/ReplyDispatch.h"
#include "protocol/TextUtil.h"
#include "widgets/Dialogs.h"

namespace davu {

namespace {

const QString kServerSettings = QStringLiteral("ServerSettings");

// The oldest server version this program works with: "1.10.1" without dots.
constexpr int kMinimumServerVersion = 1101;

QString readErrorText(const std::exception& e) {
  return QStringLiteral("Error in ClientSocket1Read!\r\r") + QString::fromUtf8(e.what());
}

}  // namespace

ServerConnection::ServerConnection(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("ServerConnection"));

  ClientSocket1 = new ClientSocket(this);
  ClientSocket1->setObjectName(QStringLiteral("ClientSocket1"));
  connect(ClientSocket1, &ClientSocket::connected, this, &ServerConnection::ClientSocket1Connect);
  connect(ClientSocket1, &ClientSocket::disconnected, this, &ServerConnection::ClientSocket1Disconnect);
  connect(ClientSocket1, &ClientSocket::errorOccurred, this, &ServerConnection::ClientSocket1Error);
  connect(ClientSocket1, &ClientSocket::readReady, this, &ServerConnection::ClientSocket1Read);

  Timer3 = new QTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
  Timer3->setInterval(1000);
  connect(Timer3, &QTimer::timeout, this, &ServerConnection::Timer3Timer);

  ReconnectTimer = new QTimer(this);
  ReconnectTimer->setObjectName(QStringLiteral("ReconnectTimer"));
  ReconnectTimer->setInterval(60000);
  connect(ReconnectTimer, &QTimer::timeout, this, &ServerConnection::ReconnectTimerTimer);

  // An unfinished message or a marker's first bytes wait this long for the
  // bytes that complete them; then they are handled as they stand.
  ReplyQuietTimer = new QTimer(this);
  ReplyQuietTimer->setObjectName(QStringLiteral("ReplyQuietTimer"));
  ReplyQuietTimer->setSingleShot(true);
  ReplyQuietTimer->setInterval(10000);
  connect(ReplyQuietTimer, &QTimer::timeout, this, &ServerConnection::ReplyQuietTimerTimer);
}

ServerConnection::~ServerConnection() {
  // Nothing the socket emits while it goes may reach a half-destroyed object.
  ClientSocket1->disconnect(this);
  if (ServerSocket == ClientSocket1) ServerSocket = nullptr;
}

void ServerConnection::enterState(State state) {
  state_ = state;
  emit stateChanged(state);
}

void ServerConnection::ConnectToServer() {
  enterState(State::Connecting);
  try {
    if (ClientSocket1->active()) ClientSocket1->close();
    const QString name = ReadSetting(kServerSettings, QStringLiteral("ServerName"));
    // Exactly one of host name and address is set, so the question after a
    // failed attempt names the server once.
    if (IsIPAddress(name)) {
      ClientSocket1->setHost(QString());
      ClientSocket1->setAddress(name);
    } else {
      ClientSocket1->setAddress(QString());
      ClientSocket1->setHost(name);
    }
    bool ok = false;
    const int port = ReadSetting(kServerSettings, QStringLiteral("ServerPort")).trimmed().toInt(&ok);
    ClientSocket1->setPort(ok ? port : 0);
    ClientSocket1->open();
  } catch (const std::exception& e) {
    ShowInfoMessage(QStringLiteral("Error when connecting to server!\r\r") + QString::fromUtf8(e.what()));
  }
}

void ServerConnection::ConnectAfresh() {
  // Closed first: its disconnect handling must not find the old bytes.
  if (ClientSocket1->active()) ClientSocket1->close();
  ReplyQuietTimer->stop();
  reassembler_.reset();
  Timer3->stop();
  ReconnectTimer->stop();
  ConnectToServer();
}

void ServerConnection::shutDown() {
  ReconnectTimer->stop();
  ReplyQuietTimer->stop();
  Timer3->stop();
  if (ClientSocket1->active()) ClientSocket1->close();
  // The disconnect handling of that close would start a retry countdown.
  Timer3->stop();
}

void ServerConnection::ClientSocket1Connect() {
  // Nothing may escape into the event loop; the program carries on.
  try {
    introduce();
  } catch (const std::exception& e) {
    ShowInfoMessage(QStringLiteral("Error in ClientSocket1Connect!\r\r") + QString::fromUtf8(e.what()));
  }
}

void ServerConnection::introduce() {
  Timer3->stop();
  enterState(State::Introduced);
  ServerSocket = ClientSocket1;
  WasConnected = true;
  // A new connection starts with nothing half-received and reads the
  // watchdog settings afresh.
  reassembler_.reset();
  ReplyQuietTimer->stop();
  ++connectionGeneration_;
  watchdogSettingsRead_ = false;

  if (UpdateCheckPending && CheckForUpdate) {
    UpdateCheckPending = false;
    const auto generation = connectionGeneration_;
    if (CheckForUpdate()) {
      // A newer program has been started: this one ends.
      ClientSocket1->close();
      emit newerProgramStarted();
      return;
    }
    // The check lets the event loop run: a connection that dropped and came
    // back meanwhile has introduced itself already, and this one is gone.
    if (generation != connectionGeneration_ || !ClientSocket1->active()) return;
  }
  ClientSocket1->sendBytes(proto::GetServerVersion(ToWire(GetClientName()), OwnClientType));
}

int ServerConnection::drawCountdown() const {
  const int r = platform::random().below(15000);
  return (r / 1000) * 1000 + 3000;
}

void ServerConnection::startRetryCountdown() {
  Timer3->stop();
  Timer3Tag = drawCountdown();
  Timer3->start();
  enterState(State::WaitingToRetry);
}

void ServerConnection::ClientSocket1Disconnect() {
  if (WasConnected) {
    startRetryCountdown();
  } else {
    enterState(State::NeedsSettings);
  }
}

void ServerConnection::ClientSocket1Error(int code) {
  if (WasConnected) {
    // Once a connection has come up, errors only restart the countdown.
    ClientSocket1Disconnect();
    return;
  }
  const QString question = QStringLiteral("Det gick inte att ansluta till ") + ClientSocket1->host() +
                           ClientSocket1->address() + QStringLiteral(" på port ") +
                           QString::number(ClientSocket1->port()) + QStringLiteral("!\r\rFelkoden är: ") +
                           QString::number(code) + QStringLiteral("\r\rRedigera serverinställningarna?");
  const bool edit = AskYesNo(question) == mrYes;
  // No retry follows whatever the answer: "försöker ansluta..." would be
  // untrue from here on. A save in the register starts a new attempt, which
  // is a state of its own.
  enterState(State::NeedsSettings);
  if (edit) emit editSettingsRequested();
}

void ServerConnection::Timer3Timer() {
  Timer3->stop();
  // Saving the server settings clears WasConnected and reconnects itself: a
  // countdown still running from before would start attempt after attempt,
  // each failure asking its own question.
  if (!WasConnected) return;
  if (Timer3Tag > 0) {
    Timer3Tag -= 1000;
    Timer3->start();
    enterState(State::WaitingToRetry);
  } else if (Timer3Tag == 0 && !ClientSocket1->active()) {
    ConnectToServer();
    // The countdown keeps running while the attempt is pending; a failed
    // attempt draws a fresh one, a successful one stops it.
    Timer3Tag = drawCountdown();
    Timer3->start();
  }
}

void ServerConnection::ReconnectTimerTimer() {
  ReconnectTimer->stop();
  ClientSocket1->close();
  ConnectToServer();
}

bool ServerConnection::watchdogSettingsReady() {
  if (watchdogSettingsRead_) return true;
  // A read that asks the server lets the event loop run, and every reply is
  // dispatched inside it. Reading here while another read waits would take
  // that read's answer; the dispatch that ends further out arms the watchdog.
  // Read once per connection, a busy connection asks once, not once per text.
  if (SettingReadWaiting()) return false;
  const unsigned generation = connectionGeneration_;
  const bool on = BoolFromText(ReadSetting(QStringLiteral("DAVU"), QStringLiteral("RefreshConnection")), false);
  qint64 intervalMs = 60000;
  if (on) {
    bool ok = false;
    const int minutes =
        ReadSetting(QStringLiteral("DAVU"), QStringLiteral("RefreshConnectionTimer")).trimmed().toInt(&ok);
    intervalMs = qint64(ok ? minutes : 1) * 60000;
  }
  // A new connection that came up during the read reads its own settings.
  if (generation != connectionGeneration_) return false;
  refreshConnection_ = on;
  refreshIntervalMs_ = intervalMs;
  watchdogSettingsRead_ = true;
  return true;
}

void ServerConnection::rearmWatchdog() {
  ReconnectTimer->stop();
  if (!watchdogSettingsReady() || !refreshConnection_) return;
  // An interval of 0 minutes (or less) never fires; neither does one beyond
  // what a timer can hold.
  if (refreshIntervalMs_ <= 0 || refreshIntervalMs_ > std::numeric_limits<int>::max()) return;
  ReconnectTimer->setInterval(static_cast<int>(refreshIntervalMs_));
  ReconnectTimer->start();
}

// What the server sends is put back into whole texts here; what may hold
// bytes back (an unfinished message, the first bytes of a marker) holds them
// at most for the quiet time.
void ServerConnection::ClientSocket1Read() {
  // The read lands straight in the buffer the reply is put together in.
  reassemble([this] {
    return reassembler_.feedFrom(ClientSocket1->bytesWaiting(),
                                 [this](char* to, std::size_t most) { return ClientSocket1->readInto(to, most); });
  });
}

void ServerConnection::ReplyQuietTimerTimer() {
  ReplyQuietTimer->stop();
  reassemble([this] { return reassembler_.expire(); });
}

void ServerConnection::reassemble(const std::function<std::optional<std::string>()>& step) {
  std::optional<std::string> text;
  try {
    text = step();
    // A reply larger than anything the server sends legitimately: the
    // partial bytes are gone, the connection and the program carry on.
    if (reassembler_.overflowed()) emit replyTooLarge();
  } catch (const std::exception& e) {
    ShowInfoMessage(readErrorText(e));
    return;
  }
  armReplyQuietTimer();
  // The reassembly's own state is settled before dispatching, so a read
  // that arrives while the dispatcher waits is handled in full inside it.
  if (text) {
    DispatchReply(*text);
    // The next large reply is put together in this one's buffer.
    reassembler_.recycle(std::move(*text));
  }
  reportArrivingReply();
}

void ServerConnection::reportArrivingReply() {
  static const std::string opening = proto::OpeningMarker("RETSQL");
  const std::string_view soFar = reassembler_.openFrame();
  if (!soFar.starts_with(opening)) return;
  // Numbered by connection and place in its stream: unique while the program runs.
  const std::uint64_t reply = (std::uint64_t(connectionGeneration_) << 48) ^ reassembler_.openFrameAt();
  try {
    emit sqlReplyArriving(reply, soFar);
  } catch (const std::exception& e) {
    ShowInfoMessage(readErrorText(e));
  }
}

void ServerConnection::armReplyQuietTimer() {
  const std::optional<std::uint64_t> held = reassembler_.heldFrom();
  if (!held) {
    ReplyQuietTimer->stop();
    return;
  }
  // The quiet time runs from the moment these bytes began to wait; bytes
  // that arrive without completing them do not extend it.
  if (ReplyQuietTimer->isActive() && *held == quietHeldFrom_) return;
  quietHeldFrom_ = *held;
  ReplyQuietTimer->start();
}

void ServerConnection::DispatchReply(std::string_view text) {
  // A text may be dispatched again inside any receiver (a settings read
  // waits with the event loop running); this call keeps its own text.
  struct Routes final : proto::ReplyRoutes {
    explicit Routes(ServerConnection& c) : c(c) {}
    bool reply(std::size_t kind, std::string_view payload) override { return c.routeReply(kind, payload); }
    void error(std::string_view message) override { emit c.errorReply(ShownText(message)); }
    void settled() override { c.rearmWatchdog(); }
    // The server follows the rows it has sent with the tail and an error when
    // a query fails on the way: those rows are not a result.
    bool errorBreaksOff(std::size_t kind) const override { return kind == proto::MainReply::RetSql; }
    ServerConnection& c;
  } routes(*this);
  try {
    proto::DispatchText(text, proto::kMainReplies, routes);
  } catch (const std::exception& e) {
    ShowInfoMessage(readErrorText(e));
  }
}

bool ServerConnection::routeReply(std::size_t kind, std::string_view payload) {
  using R = proto::MainReply;
  switch (kind) {
    case R::RetServerVersion:
      return handleServerVersion(payload);
    case R::RetIniText:
      emit settingsReply(payload);
      break;
    case R::RetSql:
      emit sqlReply(payload);
      break;
    case R::RetKlinikNamn:
      emit clinicNameReply(payload);
      break;
    case R::RetSmsSettings:
      emit smsSettingsReply(payload);
      break;
    case R::DavuClientData:
      break;  // sent to every client; this program has no use for it
    case R::RetAllMachines:
      emit allMachinesReply(payload);
      break;
    case R::RetCallList:
      emit callListReply(payload);
      break;
    case R::RetStationCallables:
      emit stationCallablesReply(payload);
      break;
    case R::RetAllCallables:
      emit allCallablesReply(payload);
      break;
    default:
      break;
  }
  return true;
}

bool ServerConnection::handleServerVersion(std::string_view payload) {
  const QString version = FromWire(proto::ExtractField(payload, 1, ':'));
  ServerVersion = version;
  emit serverVersionArrived();

  if (proto::VersionNumber(ToWire(version)) < kMinimumServerVersion) {
    emit versionRefused(version);
    ClientSocket1->close();
    // No retry: the program stays unconnected until the settings are saved
    // or the computer resumes.
    ReconnectTimer->stop();
    Timer3->stop();
    enterState(State::Refused);
    return false;
  }

  const std::string admin(proto::kAdminClientName);
  ClientSocket1->sendBytes(proto::GetCallList(admin, "2"));
  ClientSocket1->sendBytes(proto::GetKliniknamn(admin, "2"));
  emit versionAccepted();
  enterState(State::Connected);
  return true;
}

}  // namespace davu
