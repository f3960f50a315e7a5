#include "UUpdateCheck.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <exception>

#include "CEVersionInfo.h"
#include "ClientIdentity.h"
#include "ClientSocket.h"
#include "Dialogs.h"
#include "ProgramInstaller.h"
#include "RunningProgram.h"
#include "SettingsStore.h"
#include "SharedState.h"
#include "UDAVUcommon.h"
#include "UpdateState.h"
#include "WireText.h"
#include "platform/Platform.h"
#include "protocol/Catalogue.h"
#include "protocol/ReplyCutter.h"
#include "protocol/TextUtil.h"

namespace {

const QString kServerSettings = QStringLiteral("ServerSettings");
constexpr int kShortWaitMs = 5000;
constexpr int kDownloadWaitMs = 60000;

QString whatOf(const std::exception& e) { return QString::fromUtf8(e.what()); }

void showNotSaved() {
  ShowInfoMessage(QStringLiteral("Det fanns en ny version tillgänglig. Den gick dock inte att spara ner i katalogen \r") +
                  LocalDataFolder + QStringLiteral("!"));
}

// A program file of this product is never many times the size of the one
// running now; a larger frame is turned away as soon as it passes this,
// before it can hold the memory of a whole desktop.
constexpr qint64 kDownloadFloor = 64LL * 1024 * 1024;
constexpr qint64 kDownloadFactor = 4;

std::size_t downloadLimit(const QString& ownPath) {
  const qint64 own = QFileInfo(ownPath).size();
  return static_cast<std::size_t>(std::max(kDownloadFloor, own * kDownloadFactor));
}

QPoint desktopCentre() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect desktop = screen ? screen->virtualGeometry() : QRect();
  return QPoint(desktop.width() / 2, desktop.height() / 2);
}

}  // namespace

TUpdateCheck::TUpdateCheck(TfrmDAVUcommon& common, QObject* parent)
    : QObject(parent),
      programPath(RunningProgramPath()),
      programFileName(RunningProgramFileName()),
      restartArguments(RestartArguments()),
      common_(common) {
  setObjectName(QStringLiteral("UpdateCheck"));
  connect(common_.UpdateSocket, &ClientSocket::connected, this, &TUpdateCheck::UpdateSocketConnect);
  connect(common_.UpdateSocket, &ClientSocket::readReady, this, &TUpdateCheck::UpdateSocketRead);
  connect(common_.UpdateSocket, &ClientSocket::errorOccurred, this, &TUpdateCheck::UpdateSocketError);
  connect(common_.UpdateTimer, &QTimer::timeout, this, &TUpdateCheck::UpdateTimerTimer);
}

QString TUpdateCheck::localCopy() const { return LocalDataFolder + programFileName; }

bool TUpdateCheck::waitFor(const std::function<bool()>& done) {
  while (!UpdateTimedOut && !done())
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return !UpdateTimedOut;
}

void TUpdateCheck::restartTimer(int ms) {
  common_.UpdateTimer->stop();
  common_.UpdateTimer->setInterval(ms);
  common_.UpdateTimer->start();
}

bool TUpdateCheck::CheckForUpdate(const ClientSocket& mainConnection) {
  ++generation_;
  downloading_ = false;
  ClientSocket* socket = common_.UpdateSocket;
  if (socket->active()) socket->close();
  stream_.reset();
  stream_.setFrameLimit(downloadLimit(programPath));

  QString fallback = mainConnection.host().trimmed();
  if (fallback.isEmpty()) fallback = mainConnection.address();
  const QString name = ReadServerSettingDef(kServerSettings, QStringLiteral("UpdateServerName"), fallback);
  if (IsIPAddress(name)) {
    socket->setAddress(name);
    socket->setHost(QString());
  } else {
    socket->setHost(name);
  }
  bool ok = false;
  const int port =
      ReadServerSetting(kServerSettings, QStringLiteral("UpdateServerPort")).trimmed().toInt(&ok);
  socket->setPort(ok && port > 0 && port <= 65535 ? port : mainConnection.port());

  UpdateTimedOut = false;
  restartTimer(kShortWaitMs);
  UpdateState = 0;
  UpdateStarted = false;
  UpdateSaveFailed = false;

  socket->open();
  if (!waitFor([socket] { return socket->active(); })) return false;
  UpdateTimedOut = false;
  restartTimer(kShortWaitMs);
  if (!waitFor([] { return UpdateState != 0; })) return false;

  if (UpdateState == 1) {
    // The connection stays for the version reply, which closes it, or the
    // timer does.
    restartTimer(kShortWaitMs);
    return false;
  }
  if (UpdateState != 2) {
    endConnection();
    return false;
  }
  UpdateTimedOut = false;
  restartTimer(kDownloadWaitMs);
  waitFor([] { return UpdateStarted || UpdateSaveFailed; });
  common_.UpdateTimer->stop();
  downloading_ = false;
  if (UpdateTimedOut) return false;
  if (UpdateStarted) {
    restartTimer(kDownloadWaitMs);
    return true;
  }
  // A file turned away or not stored: nothing more is awaited from it.
  endConnection();
  return false;
}

void TUpdateCheck::UpdateTimerTimer() {
  UpdateTimedOut = true;
  common_.UpdateTimer->stop();
  downloading_ = false;
  common_.UpdateSocket->close();
}

void TUpdateCheck::UpdateSocketConnect() {
  try {
    decide();
  } catch (const std::exception& e) {
    ShowInfoMessage(QStringLiteral("Error in UpdateSocketConnect!\r\r") + whatOf(e));
  }
}

void TUpdateCheck::decide() {
  const unsigned generation = generation_;
  TCEVersionInfo own;
  own.GetInfo(programPath);
  const int ownNumber = VersionNumber(own.ProductVersion());
  // Reading the settings may ask the main server and let the event loop run.
  bool ok = false;
  int current = ReadSetting(QStringLiteral("CHECKVERSION"), programFileName).trimmed().toInt(&ok);
  if (!ok) current = ownNumber;
  const std::string client = ToWire(GetClientName());
  ClientSocket* socket = common_.UpdateSocket;
  // The check may have given up meanwhile: it must not start anything now.
  if (generation != generation_ || UpdateTimedOut || !socket->active()) return;

  socket->sendBytes(davu::proto::GetServerVersion(client, OwnClientType));
  if (ownNumber >= current) {
    UpdateState = 1;
    return;
  }
  UpdateState = 2;
  currentNumber_ = current;
  if (LocalDataFolder.isEmpty()) {
    // Without a folder of its own, a download could only land beside the
    // running program or in some working directory.
    showNotSaved();
    UpdateSaveFailed = true;
    return;
  }
  if (ProgramInstaller::carriesVersion(localCopy(), current)) {
    startLocalCopy();
    return;
  }
  downloading_ = true;
  socket->sendBytes(davu::proto::GetNewClient(ToWire(programFileName), client, OwnClientType));
}

void TUpdateCheck::startLocalCopy() {
  if (davu::platform::processStarter().startDetached(localCopy(), restartArguments, StartFolder)) {
    UpdateStarted = true;
    return;
  }
  // Tried again at every start it would never let the update server be
  // asked: it is moved aside, kept for inspection, and the next check
  // downloads anew.
  const QString aside = localCopy() + QStringLiteral(".startade-inte-") +
                        davu::platform::clock().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString text = QStringLiteral("Den nya versionen kunde inte startas:\r") + localCopy();
  if (QFile::rename(localCopy(), aside))
    text += QStringLiteral("\r\rDen har flyttats till ") + aside +
            QStringLiteral(" och hämtas på nytt vid nästa kontroll.");
  ShowInfoMessage(text);
  UpdateSaveFailed = true;
}

void TUpdateCheck::UpdateSocketRead() {
  try {
    // Every byte goes to the stream: a read of blanks only can be part of a
    // program file.
    ErrorReplies errors;
    for (auto& event : stream_.feed(common_.UpdateSocket->takeBytes())) {
      using Kind = davu::proto::UpdateStream::Event::Kind;
      switch (event.kind) {
        case Kind::Reply:
          handleReply(std::move(event.bytes), errors);
          break;
        case Kind::Program:
          handleProgram(event.bytes);
          break;
        case Kind::BrokenProgram:
          if (downloading_) turnAway(QString());
          break;
      }
    }
    showErrors(errors);
  } catch (const std::exception& e) {
    ShowInfoMessage(QStringLiteral("Error in UpdateSocketRead!\r\r") + whatOf(e));
  }
}

void TUpdateCheck::handleReply(std::string text, ErrorReplies& errors) {
  if (auto payload = davu::proto::CutTaggedReply(text, "RETSERVERVERSION")) {
    UpdateServerVersion = FromWire(davu::proto::ExtractField(*payload, 1, ':'));
    emit updateServerVersionChanged();
    // With nothing newer to fetch, the version was all the check waited for.
    if (UpdateState == 1) endConnection();
  }
  static const std::string_view kError = "ERROR:";
  const std::size_t at = text.find(kError);
  if (at == std::string::npos || text.find("ERROR: 001") != std::string::npos) return;
  // Error texts that arrived together come as one text: each marker counts.
  const int before = errors.count;
  for (std::size_t p = at; p != std::string::npos; p = text.find(kError, p + kError.size())) ++errors.count;
  if (before > 0) return;
  // The text after "ERROR:" and the blank that follows it.
  const std::size_t from = std::min(text.size(), at + kError.size() + 1);
  errors.first = ShownText(std::string_view(text).substr(from));
}

// One message for all the error replies of one read: while it is open this
// connection's reads wait, so a flood of errors is one message at a time.
void TUpdateCheck::showErrors(const ErrorReplies& errors) {
  if (errors.count == 0) return;
  QString text = QStringLiteral("Servern svarade med följande fel: ") + errors.first;
  if (errors.count > 1)
    text += QStringLiteral(" (och ") + QString::number(errors.count - 1) + QStringLiteral(" fel till)");
  ShowInfoMessage(text);
}

void TUpdateCheck::endConnection() {
  common_.UpdateTimer->stop();
  downloading_ = false;
  common_.UpdateSocket->close();
}

void TUpdateCheck::handleProgram(std::string_view bytes) {
  // Only the program this check asked for is ever installed.
  if (!downloading_) return;
  downloading_ = false;
  const ProgramInstaller::Result r = ProgramInstaller::install(bytes, localCopy(), currentNumber_);
  switch (r.outcome) {
    case ProgramInstaller::Outcome::Installed:
      davu::platform::sleeper().blockingSleep(100);
      startLocalCopy();
      break;
    case ProgramInstaller::Outcome::WrongVersion:
      turnAway(r.detail);
      break;
    case ProgramInstaller::Outcome::NotStored:
      showNotSaved();
      UpdateSaveFailed = true;
      break;
  }
}

void TUpdateCheck::turnAway(const QString& foundVersion) {
  downloading_ = false;
  QString text = QStringLiteral(
      "Den nya versionen som hämtades från uppdateringsservern var skadad eller av fel version "
      "och installerades inte. Programmet fortsätter med den version som körs nu.");
  text += QStringLiteral("\r\rVäntad version: ") + QString::number(currentNumber_) +
          QStringLiteral("\rHämtad fil: ") +
          (foundVersion.isEmpty() || foundVersion == kInfoNotAvailable ? QStringLiteral("ofullständig eller okänd version")
                                                                     : foundVersion);
  ShowInfoMessage(text);
  UpdateSaveFailed = true;
}

void TUpdateCheck::UpdateSocketError(int code) {
  ShowInfoHintAt(QStringLiteral("Error in UpdateSocket: ") + QString::number(code), desktopCentre());
}
