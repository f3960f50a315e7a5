// The update connection's whole read path: what a hostile update server
// sends reaches the real UpdateCheck over a loopback connection, cut into
// writes chosen by the first input bytes, while the check lingers after
// "nothing newer" or waits for a download. Every message box stays "open" a
// few turns of the event loop, as a person reading it would keep it.
//
// Checked: no read reaches the connection's handler while a message is open,
// so messages never open inside each other; every message is short (a text
// a person reads); after the check has ended at most the one message of the
// read that ended it is shown; the bytes this side keeps are bounded by the
// socket's read buffer and by what was sent, a download's by a spill and a
// read; no temporary file of a download stays behind.
//
// Input: [mode][repeat][seed: 2 bytes][stream...]. Mode bit 0: a download is
// awaited. Repeat: the middle third of the stream is sent 2^(repeat & 15)
// times (up to 4 MiB), so that long texts and frames are reached.
#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "TestSigner.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/platform/Platform.h"
#include "protocol/UpdateStream.h"
#include "update/UUpdateCheck.h"
#include "update/UpdateState.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The longest message a person is shown: the error prefix, 1,000 characters,
// " …" and the count of further errors; or the message of a turned-away file.
constexpr qsizetype kLongestMessage = 1400;

struct Boxes final : davu::platform::Dialogs {
  int open = 0;
  int shown = 0;
  int shownAfterTheEnd = 0;
  std::function<void()> whileOpen;
  void showInfoMessage(const QString& text) override {
    Check(open == 0);
    Check(text.size() <= kLongestMessage);
    if (UpdateStarted || UpdateSaveFailed) ++shownAfterTheEnd;
    ++shown;
    ++open;
    if (whileOpen) whileOpen();
    --open;
  }
  int askYesNo(const QString&) override {
    Check(open == 0);
    return 7;
  }
  void showBalloon(const QString&, const QString& text, QPoint, int, int) override {
    Check(text.size() <= kLongestMessage);
  }
  bool pickColour(QColor&) override { return false; }
};

// Nothing is ever run; a start that fails is a message like any other.
struct NoStarts final : davu::platform::ProcessStarter {
  bool startDetached(const QString&, const QStringList&, const QString&) override { return false; }
};

struct NoSleep final : davu::platform::Sleeper {
  void blockingSleep(int) override {}
};

struct World {
  QTemporaryDir home;
  // A trusted release key, so that the check downloads; nothing the fuzzer
  // sends is signed by it.
  TestKey key{7};
  std::unique_ptr<TrustedKeyFolder> trusted;
  std::unique_ptr<QApplication> app;
  std::unique_ptr<TfrmDAVUcommon> common;
  std::unique_ptr<UpdateCheck> check;
  QTcpServer server;
  Boxes* boxes = nullptr;
  bool readWhileOpen = false;
};

World* world = nullptr;

void Turns(int n) {
  for (int i = 0; i < n; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Kept to the end of the process: Qt's objects must not be torn down by
  // the exit handlers, after Qt's own statics.
  world = new World;
  World& w = *world;
  const QByteArray home = QFile::encodeName(w.home.path());
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("XDG_CONFIG_HOME", home + "/config");
  qputenv("XDG_DATA_HOME", home + "/data");
  qputenv("DAVU_MACHINE_CONFIG_DIR", home + "/machine");
  qputenv("QT_LOGGING_RULES", "*=false");
  w.app = std::make_unique<QApplication>(*argc, *argv);
  w.trusted = std::make_unique<TrustedKeyFolder>(std::vector<const TestKey*>{&w.key});
  InitLocalPaths();
  auto boxes = std::make_unique<Boxes>();
  w.boxes = boxes.get();
  davu::platform::install(std::move(boxes));
  davu::platform::install(std::make_unique<NoStarts>());
  davu::platform::install(std::make_unique<NoSleep>());
  WriteSetting(QStringLiteral("DAVU"), QStringLiteral("ClientNameUseDefault"), QStringLiteral("1"));
  // The running program has no version block here: its own number is 1000.
  WriteSetting(QStringLiteral("CHECKVERSION"), QStringLiteral("fuzz-current"), QStringLiteral("1000"));
  WriteSetting(QStringLiteral("CHECKVERSION"), QStringLiteral("fuzz-newer"), QStringLiteral("1107"));
  w.common = std::make_unique<TfrmDAVUcommon>(false);
  // Connected before the check's own handler, so it sees every read first.
  QObject::connect(w.common->UpdateSocket, &ClientSocket::readReady,
                   [] { world->readWhileOpen = world->readWhileOpen || world->boxes->open > 0; });
  w.check = std::make_unique<UpdateCheck>(*w.common);
  w.check->programPath = w.home.filePath(QStringLiteral("no-such-program"));
  Check(w.server.listen(QHostAddress::LocalHost, 0));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || size > 64 * 1024) return 0;
  World& w = *world;
  const bool download = data[0] & 1;
  std::uint32_t seed = data[2] | (data[3] << 8);
  const std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);
  std::string stream(input.substr(0, input.size() / 3));
  const std::string_view middle = input.substr(input.size() / 3, input.size() / 3);
  for (std::size_t r = std::size_t(1) << (data[1] & 15); r > 0 && stream.size() < (4u << 20); --r)
    stream.append(middle);
  stream.append(input.substr(2 * (input.size() / 3)));

  ResetUpdateState();
  QDir(LocalDataFolder).removeRecursively();
  QDir().mkpath(LocalDataFolder);
  w.check->programFileName = download ? QStringLiteral("fuzz-newer") : QStringLiteral("fuzz-current");
  w.boxes->shown = w.boxes->shownAfterTheEnd = 0;
  w.readWhileOpen = false;
  ClientSocket& socket = *w.common->UpdateSocket;
  std::size_t mostHeld = 0, mostWaiting = 0;
  const auto watch = [&] {
    mostHeld = std::max(mostHeld, w.check->heldBytes());
    mostWaiting = std::max(mostWaiting, socket.bytesWaiting());
  };
  w.boxes->whileOpen = [&] {
    for (int i = 0; i < 4; ++i) {
      Turns(1);
      watch();
    }
  };

  // The scripted update server: once the requests are in, it sends the
  // stream in pieces and closes; a download's wait ends when the client sees
  // the close.
  QTcpSocket* peer = nullptr;
  std::size_t sentUpTo = 0;
  bool closed = false;
  const std::string expect = download ? "GETNEWCLIENT\xA4" : "GETSERVERVERSION\xA4";
  std::string heard;
  const auto conn = QObject::connect(&w.server, &QTcpServer::newConnection, [&] {
    peer = w.server.nextPendingConnection();
    QObject::connect(peer, &QTcpSocket::readyRead, [&] { heard += peer->readAll().toStdString(); });
  });
  const auto pump = [&] {
    watch();
    if (!peer || heard.find(expect) == std::string::npos) return;
    if (sentUpTo < stream.size()) {
      seed = seed * 1103515245u + 12345u;
      const std::size_t len = std::min<std::size_t>(1 + (seed >> 16) % 4096, stream.size() - sentUpTo);
      peer->write(stream.data() + sentUpTo, static_cast<qint64>(len));
      sentUpTo += len;
    } else if (!closed) {
      peer->disconnectFromHost();
      closed = true;
    }
  };
  QTimer driver;
  driver.setInterval(0);
  QObject::connect(&driver, &QTimer::timeout, pump);
  const auto ended = QObject::connect(&socket, &ClientSocket::disconnected, [&] {
    if (UpdateState == 2) w.check->UpdateTimerTimer();
  });
  driver.start();

  ClientSocket main;
  main.setAddress(QStringLiteral("127.0.0.1"));
  main.setPort(w.server.serverPort());
  w.check->CheckForUpdate(main);
  // Lingering, or the download ended: what is still on its way is read until
  // the connection is gone.
  for (int guard = 0; socket.active() && guard < 2000000; ++guard) Turns(1);
  Check(!socket.active());
  watch();

  driver.stop();
  QObject::disconnect(conn);
  QObject::disconnect(ended);
  w.common->UpdateTimer->stop();
  if (peer) {
    peer->abort();
    delete peer;
  }

  Check(!w.readWhileOpen);
  Check(w.boxes->shownAfterTheEnd <= 1);
  // What the Qt socket buffers, and what it handed over before a message
  // began to hold the connection.
  Check(mostWaiting <= 2 * std::size_t(ClientSocket::kHeldReadLimit) + 4096);
  Check(mostHeld <= stream.size() + 64);
  // Only an installed copy, one moved aside and their signatures may be
  // there: never a download's temporary file.
  const QStringList kept = {QStringLiteral("fuzz-newer"), QStringLiteral("fuzz-newer.minisig"),
                            QStringLiteral("fuzz-newer.avvisad"), QStringLiteral("fuzz-newer.avvisad.minisig")};
  for (const QString& entry : QDir(LocalDataFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
    Check(kept.contains(entry));
  return 0;
}
