#include "update/UUpdateCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <exception>

#include "common/ClientIdentity.h"
#include "common/ClientSocket.h"
#include "common/PeerWait.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "common/platform/Platform.h"
#include "protocol/Catalogue.h"
#include "protocol/ReplyCutter.h"
#include "protocol/TextUtil.h"
#include "update/CEVersionInfo.h"
#include "update/DownloadFile.h"
#include "update/ProgramInstaller.h"
#include "update/RunningProgram.h"
#include "update/UpdateKeys.h"
#include "update/UpdateState.h"
#include "widgets/Dialogs.h"
#include "widgets/UDAVUcommon.h"

namespace davu {

namespace {

const QString kServerSettings = QStringLiteral("ServerSettings");
constexpr int kShortWaitMs = 5000;
constexpr int kDownloadWaitMs = 60000;

QString whatOf(const std::exception& e) { return QString::fromUtf8(e.what()); }

void showNotSaved() {
  ShowInfoMessage(QStringLiteral("Det fanns en ny version tillgänglig. Den gick dock inte att spara ner i katalogen \r") +
                  LocalDataFolder + QStringLiteral("!"));
}

QPoint desktopCentre() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect desktop = screen ? screen->virtualGeometry() : QRect();
  return QPoint(desktop.width() / 2, desktop.height() / 2);
}

}  // namespace

UpdateCheck::UpdateCheck(TfrmDAVUcommon& common, QObject* parent)
    : QObject(parent),
      programPath(RunningProgramPath()),
      programFileName(RunningProgramFileName()),
      restartArguments(RestartArguments()),
      common_(common) {
  setObjectName(QStringLiteral("UpdateCheck"));
  connect(common_.UpdateSocket, &ClientSocket::connected, this, &UpdateCheck::UpdateSocketConnect);
  connect(common_.UpdateSocket, &ClientSocket::readReady, this, &UpdateCheck::UpdateSocketRead);
  connect(common_.UpdateSocket, &ClientSocket::errorOccurred, this, &UpdateCheck::UpdateSocketError);
  connect(common_.UpdateTimer, &QTimer::timeout, this, &UpdateCheck::UpdateTimerTimer);
}

UpdateCheck::~UpdateCheck() = default;

QString UpdateCheck::localCopy() const { return LocalDataFolder + programFileName; }

std::size_t UpdateCheck::downloadLimit() const {
  const qint64 own = QFileInfo(programPath).size();
  return std::max(downloadLimitFloor, std::size_t(std::max<qint64>(own, 0)) * kDownloadSizeFactor);
}

bool UpdateCheck::waitFor(const std::function<bool()>& done) {
  davu::PeerWait::until([&done] { return UpdateTimedOut || done(); });
  return !UpdateTimedOut;
}

void UpdateCheck::restartTimer(int ms) {
  common_.UpdateTimer->stop();
  common_.UpdateTimer->setInterval(ms);
  common_.UpdateTimer->start();
}

bool UpdateCheck::CheckForUpdate(const ClientSocket& mainConnection) {
  ++generation_;
  downloading_ = false;
  awaitingSignature_ = false;
  ClientSocket* socket = common_.UpdateSocket;
  if (socket->active()) socket->close();
  stream_.reset();
  dropDownload();
  // No frame of the update connection, asked for or not, is held beyond
  // what a program file can be.
  stream_.setFrameLimit(downloadLimit());

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
  awaitingSignature_ = false;
  dropDownload();
  if (UpdateTimedOut) return false;
  if (UpdateStarted) {
    restartTimer(kDownloadWaitMs);
    return true;
  }
  // A file turned away or not stored: nothing more is awaited from it.
  endConnection();
  return false;
}

void UpdateCheck::UpdateTimerTimer() {
  UpdateTimedOut = true;
  common_.UpdateTimer->stop();
  downloading_ = false;
  awaitingSignature_ = false;
  dropDownload();
  common_.UpdateSocket->close();
}

void UpdateCheck::UpdateSocketConnect() {
  try {
    decide();
  } catch (const std::exception& e) {
    ShowInfoMessage(QStringLiteral("Error in UpdateSocketConnect!\r\r") + whatOf(e));
  }
}

void UpdateCheck::decide() {
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
  keys_ = TrustedUpdateKeys();
  UpdateSigningOff = keys_.empty();
  // Without a trusted key nothing is downloaded or started: the check only
  // learns the update server's version.
  if (ownNumber >= current || keys_.empty()) {
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
  stream_.setFrameLimit(downloadLimit());
  download_ = std::make_unique<DownloadFile>(localCopy());
  stream_.setProgramSink([this](std::string_view bytes) {
    if (download_) download_->append(bytes);
  });
  socket->sendBytes(davu::proto::GetNewClient(ToWire(programFileName), client, OwnClientType));
}

void UpdateCheck::startLocalCopy() {
  QString problem = ProgramInstaller::checkInstalled(localCopy(), keys_, programFileName);
  if (problem.isEmpty()) {
    if (davu::platform::processStarter().startDetached(localCopy(), restartArguments, StartFolder)) {
      UpdateStarted = true;
      return;
    }
    problem = QStringLiteral("den kunde inte startas");
  }
  // Kept for inspection, out of the way: the next check downloads anew
  // instead of trying the same file at every start.
  const QString aside = ProgramInstaller::moveAside(localCopy());
  ShowInfoMessage(QStringLiteral("Den nya versionen kunde inte startas: ") + problem + QStringLiteral(".\r") +
                  (aside.isEmpty() ? QStringLiteral("Den kunde inte flyttas undan: ") + localCopy()
                                   : QStringLiteral("Den har flyttats undan till ") + aside) +
                  QStringLiteral("\rProgrammet fortsätter med den version som körs nu."));
  UpdateSaveFailed = true;
}

void UpdateCheck::UpdateSocketRead() {
  try {
    // Every byte goes to the stream: a read of blanks only can be part of a
    // program file.
    ErrorReplies errors;
    for (auto& event : stream_.feed(common_.UpdateSocket->takeBytes())) {
      using Kind = davu::proto::UpdateStream::Event::Kind;
      switch (event.kind) {
        case Kind::Reply:
          if (signatureRefused(event.bytes)) break;
          handleReply(std::move(event.bytes), errors);
          break;
        case Kind::Program:
          handleProgram(event);
          break;
        case Kind::BrokenProgram:
          if (awaitingSignature_) refuse(QStringLiteral("signatur saknas eller är för stor"));
          if (downloading_) turnAway(QString());
          break;
      }
    }
    showErrors(errors);
  } catch (const std::exception& e) {
    ShowInfoMessage(QStringLiteral("Error in UpdateSocketRead!\r\r") + whatOf(e));
  }
}

void UpdateCheck::handleReply(std::string text, ErrorReplies& errors) {
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
void UpdateCheck::showErrors(const ErrorReplies& errors) {
  if (errors.count == 0) return;
  QString text = QStringLiteral("Servern svarade med följande fel: ") + errors.first;
  if (errors.count > 1)
    text += QStringLiteral(" (och ") + QString::number(errors.count - 1) + QStringLiteral(" fel till)");
  ShowInfoMessage(text);
}

void UpdateCheck::endConnection() {
  common_.UpdateTimer->stop();
  downloading_ = false;
  dropDownload();
  common_.UpdateSocket->close();
}

void UpdateCheck::dropDownload() {
  stream_.setProgramSink({});
  download_.reset();
}

void UpdateCheck::handleProgram(const davu::proto::UpdateStream::Event& event) {
  if (awaitingSignature_) {
    handleSignature(event.bytes);
    return;
  }
  // Only the program this check asked for is ever installed.
  if (!downloading_ || !download_) return;
  downloading_ = false;
  awaitingSignature_ = true;
  if (!event.streamed) download_->append(event.bytes);
  // The signature is read in memory; a signature is a few hundred bytes: a
  // larger frame is dropped unread.
  stream_.setProgramSink({});
  stream_.setFrameLimit(davu::update::kMaxSignatureFileSize);
  common_.UpdateSocket->sendBytes(davu::proto::GetNewClient(
      ToWire(programFileName + QStringLiteral(".minisig")), ToWire(GetClientName()), OwnClientType));
}

// An error reply to the signature request: the update server has none.
bool UpdateCheck::signatureRefused(std::string_view reply) {
  if (!awaitingSignature_ || reply.find("ERROR:") == std::string_view::npos) return false;
  refuse(QStringLiteral("signatur saknas"));
  return true;
}

void UpdateCheck::refuse(const QString& reason) {
  awaitingSignature_ = false;
  downloading_ = false;
  dropDownload();
  stream_.setFrameLimit(downloadLimit());
  ShowInfoMessage(QStringLiteral("Den nya versionen från uppdateringsservern installerades inte: ") + reason +
                  QStringLiteral(".\rProgrammet fortsätter med den version som körs nu."));
  UpdateSaveFailed = true;
}

void UpdateCheck::handleSignature(std::string_view bytes) {
  awaitingSignature_ = false;
  stream_.setFrameLimit(downloadLimit());
  const std::unique_ptr<DownloadFile> download = std::move(download_);
  if (!download) return;
  const ProgramInstaller::Result r =
      ProgramInstaller::install(*download, localCopy(), currentNumber_,
                                QByteArray(bytes.data(), qsizetype(bytes.size())), keys_, programFileName);
  switch (r.outcome) {
    case ProgramInstaller::Outcome::Refused:
      refuse(r.detail);
      break;
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

void UpdateCheck::turnAway(const QString& foundVersion) {
  downloading_ = false;
  dropDownload();
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

void UpdateCheck::UpdateSocketError(int code) {
  ShowInfoHintAt(QStringLiteral("Error in UpdateSocket: ") + QString::number(code), desktopCentre());
}

}  // namespace davu
