// The main window's connection to the server: opening it from the stored
// settings, the introduction, the retry countdown and the inactivity watchdog,
// and the status bar drawn from the connection's state.
#include <QLabel>
#include <QTimer>
#include <exception>
#include <limits>

#include "ClientIdentity.h"
#include "ClientSocket.h"
#include "Dialogs.h"
#include "Records.h"
#include "SettingsStore.h"
#include "SharedState.h"
#include "UDAVUcommon.h"
#include "UDavuAdminMain.h"
#include "Widgets.h"
#include "WireText.h"
#include "platform/Platform.h"
#include "protocol/Catalogue.h"

namespace {

const QString kServerSettings = QStringLiteral("ServerSettings");

}  // namespace

TfrmDAVUAdmin::StatusLook TfrmDAVUAdmin::lookOf(ConnectionState state, int countdownMs,
                                                const QString& version) {
  switch (state) {
    case ConnectionState::NotConnected:
      return {false, QStringLiteral("Ej ansluten")};
    case ConnectionState::Connecting:
      return {std::nullopt, QStringLiteral("Ej ansluten - försöker ansluta...")};
    case ConnectionState::Introduced:
      // Still "försöker ansluta..." or the countdown of the attempt.
      return {};
    case ConnectionState::Connected:
      return {true, QStringLiteral("Ansluten")};
    case ConnectionState::Refused:
      return {false, QStringLiteral("Fel serverversion ") + version + QStringLiteral(" INTE ansluten")};
    case ConnectionState::WaitingToRetry:
      return {false, QStringLiteral("Ej ansluten - nästa försök om ") + QString::number(countdownMs / 1000) +
                         QStringLiteral(" sekunder")};
    case ConnectionState::NeedsSettings:
      return {false, QStringLiteral("Ej ansluten - kontrollera Serverinställningarna i Systemregistret")};
  }
  return {};
}

void TfrmDAVUAdmin::enterState(ConnectionState state) {
  connectionState_ = state;
  const StatusLook look = lookOf(state, Timer3Tag, ServerVersion);
  if (look.connected) {
    shServerConnected->setBrushColor(*look.connected ? QColor(0, 128, 0) : QColor(255, 0, 0));
    shServerConnected->setToolTip(*look.connected ? QStringLiteral("Serveranslutning: Ansluten")
                                                  : QStringLiteral("Serveranslutning: Ej ansluten"));
  }
  if (look.text) Label1->setText(*look.text);
}

void TfrmDAVUAdmin::ConnectToServer() {
  enterState(ConnectionState::Connecting);
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
    ShowInfoMessage(QStringLiteral("Error when connecting to server!\r\r") +
                    QString::fromUtf8(e.what()));
  }
}

void TfrmDAVUAdmin::ClientSocket1Connect() {
  // Nothing may escape into the event loop; the program carries on.
  try {
    introduce();
  } catch (const std::exception& e) {
    ShowInfoMessage(QStringLiteral("Error in ClientSocket1Connect!\r\r") + QString::fromUtf8(e.what()));
  }
}

void TfrmDAVUAdmin::introduce() {
  Timer3->stop();
  enterState(ConnectionState::Introduced);
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
      if (frmDAVUcommon) frmDAVUcommon->UpdateTimer->stop();
      close();
      return;
    }
    // The check lets the event loop run: a connection that dropped and came
    // back meanwhile has introduced itself already, and this one is gone.
    if (generation != connectionGeneration_ || !ClientSocket1->active()) return;
  }
  ClientSocket1->sendBytes(davu::proto::GetServerVersion(ToWire(GetClientName()), OwnClientType));
}

int TfrmDAVUAdmin::drawCountdown() const {
  const int r = davu::platform::random().below(15000);
  return (r / 1000) * 1000 + 3000;
}

void TfrmDAVUAdmin::startRetryCountdown() {
  Timer3->stop();
  Timer3Tag = drawCountdown();
  Timer3->start();
  enterState(ConnectionState::WaitingToRetry);
}

void TfrmDAVUAdmin::ClientSocket1Disconnect() {
  if (WasConnected) {
    startRetryCountdown();
  } else {
    enterState(ConnectionState::NeedsSettings);
  }
}

void TfrmDAVUAdmin::ClientSocket1Error(int code) {
  if (WasConnected) {
    // Once a connection has come up, errors only restart the countdown.
    ClientSocket1Disconnect();
    return;
  }
  const QString question = QStringLiteral("Det gick inte att ansluta till ") + ClientSocket1->host() +
                           ClientSocket1->address() + QStringLiteral(" på port ") +
                           QString::number(ClientSocket1->port()) + QStringLiteral("!\r\rFelkoden är: ") +
                           QString::number(code) +
                           QStringLiteral("\r\rRedigera serverinställningarna?");
  const bool edit = AskYesNo(question) == mrYes;
  // No retry follows whatever the answer: "försöker ansluta..." would be
  // untrue from here on. A save in the register starts a new attempt, which
  // is a state of its own.
  enterState(ConnectionState::NeedsSettings);
  if (edit) openServerSettings();
}

void TfrmDAVUAdmin::Timer3Timer() {
  Timer3->stop();
  // Saving the server settings clears WasConnected and reconnects itself: a
  // countdown still running from before would start attempt after attempt,
  // each failure asking its own question.
  if (!WasConnected) return;
  if (Timer3Tag > 0) {
    Timer3Tag -= 1000;
    Timer3->start();
    enterState(ConnectionState::WaitingToRetry);
  } else if (Timer3Tag == 0 && !ClientSocket1->active()) {
    ConnectToServer();
    // The countdown keeps running while the attempt is pending; a failed
    // attempt draws a fresh one, a successful one stops it.
    Timer3Tag = drawCountdown();
    Timer3->start();
  }
}

void TfrmDAVUAdmin::ReconnectTimerTimer() {
  ReconnectTimer->stop();
  ClientSocket1->close();
  ConnectToServer();
}

bool TfrmDAVUAdmin::watchdogSettingsReady() {
  if (watchdogSettingsRead_) return true;
  // A read that asks the server lets the event loop run, and every reply is
  // dispatched inside it. Reading here while another read waits would take
  // that read's answer; the dispatch that ends further out arms the watchdog.
  // Read once per connection, a busy connection asks once, not once per text.
  if (SettingReadWaiting()) return false;
  const unsigned generation = connectionGeneration_;
  const bool on =
      BoolFromText(ReadSetting(QStringLiteral("DAVU"), QStringLiteral("RefreshConnection")), false);
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

void TfrmDAVUAdmin::rearmWatchdog() {
  ReconnectTimer->stop();
  if (!watchdogSettingsReady() || !refreshConnection_) return;
  // An interval of 0 minutes (or less) never fires; neither does one beyond
  // what a timer can hold.
  if (refreshIntervalMs_ <= 0 || refreshIntervalMs_ > std::numeric_limits<int>::max()) return;
  ReconnectTimer->setInterval(static_cast<int>(refreshIntervalMs_));
  ReconnectTimer->start();
}
