// One long framed error text, as a hostile server or update server sends it,
// through the program's real read path over a loopback connection: the main
// window's (reassembly, dispatcher, balloon) and the update check's (update
// stream, message box). The server is a child process that writes the text
// in 64 KiB pieces from one small buffer, so the peak memory that grows is
// the program's own. Prints the growth for a text of N and 2N MiB and its
// ratio to the text's size; at most about 2 is the bound (the text kept once
// while it is put together and handed over, and what a reallocation of it
// briefly holds).
//
//   bench_error_text [N]     (MiB, default 10; runs N and 2N)
#include <QApplication>
#include <QColor>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/UDavuAdminMain.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/platform/Platform.h"
#include "update/UUpdateCheck.h"
#include "update/UpdateState.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

namespace {

long MaxRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// Records what would be shown; nothing is drawn.
struct Shown final : davu::platform::Dialogs {
  int messages = 0;
  int balloons = 0;
  qsizetype longest = 0;
  void showInfoMessage(const QString& t) override {
    ++messages;
    longest = std::max(longest, t.size());
  }
  int askYesNo(const QString&) override { return 7; }
  void showBalloon(const QString&, const QString& t, QPoint, int, int) override {
    ++balloons;
    longest = std::max(longest, t.size());
  }
  bool pickColour(QColor&) override { return false; }
};

// Listens on a free loopback port; returns the socket and the port.
int Listen(quint16& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 1) != 0) std::exit(1);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

// The server: waits for `request`, then sends "#DATASTART#ERROR: " + `mib`
// MiB + "#DATAEND#" and keeps the connection until the client closes it.
void Serve(int listener, const std::string& request, int mib) {
  const int fd = accept(listener, nullptr, nullptr);
  std::string heard;
  char in[4096];
  while (heard.find(request) == std::string::npos) {
    const ssize_t n = read(fd, in, sizeof in);
    if (n <= 0) _exit(1);
    heard.append(in, std::size_t(n));
  }
  const auto sendAll = [fd](const char* p, std::size_t n) {
    while (n > 0) {
      const ssize_t w = write(fd, p, n);
      if (w <= 0) _exit(1);
      p += w;
      n -= std::size_t(w);
    }
  };
  const std::string head = "#DATASTART#ERROR: ";
  sendAll(head.data(), head.size());
  const std::string piece(64 * 1024, 'x');
  for (int i = 0; i < mib * 16; ++i) sendAll(piece.data(), piece.size());
  sendAll("#DATAEND#", 9);
  while (read(fd, in, sizeof in) > 0) {
  }
  _exit(0);
}

struct Result {
  double growthMib = 0;
  qsizetype longest = 0;
};

// In this (fresh) process: the program side of one run. `update` picks the
// update connection, otherwise the main connection.
Result Client(bool update, quint16 port, int argc, char** argv) {
  QTemporaryDir dir;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("user"))));
  qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
  qputenv("DAVU_MACHINE_CONFIG_DIR", QFile::encodeName(dir.filePath(QStringLiteral("machine"))));
  // No trusted release key: the update check asks the version only, and
  // the error text is its answer.
  qputenv("DAVU_UPDATE_KEYS_DIR", QFile::encodeName(dir.filePath(QStringLiteral("no-keys"))));
  QApplication app(argc, argv);
  InitLocalPaths();
  auto shown = std::make_unique<Shown>();
  Shown& s = *shown;
  davu::platform::install(std::move(shown));
  WriteSetting(QStringLiteral("DAVU"), QStringLiteral("ClientNameUseDefault"), QStringLiteral("1"));
  WriteSetting(QStringLiteral("DAVU"), QStringLiteral("RefreshConnection"), QStringLiteral("0"));
  WriteSetting(QStringLiteral("ServerSettings"), QStringLiteral("ServerName"), QStringLiteral("127.0.0.1"));
  WriteSetting(QStringLiteral("ServerSettings"), QStringLiteral("ServerPort"), QString::number(port));
  WriteSetting(QStringLiteral("CHECKVERSION"), QStringLiteral("bench"), QStringLiteral("1107"));

  TfrmDAVUcommon common(false);
  UpdateCheck check(common);
  check.programPath = dir.filePath(QStringLiteral("none"));  // own version 1000: 1107 is newer
  check.programFileName = QStringLiteral("bench");
  TfrmDAVUAdmin w;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (s.messages > 0 && common.UpdateTimer->isActive()) check.UpdateTimerTimer();
    if (s.balloons > 0 || s.messages > 0) app.quit();
  });
  poll.start();

  const long before = MaxRssKb();
  if (update) {
    ClientSocket main;
    main.setAddress(QStringLiteral("127.0.0.1"));
    main.setPort(port);
    check.CheckForUpdate(main);
    // The check lingers for the version reply: the error text comes instead.
    if (s.messages == 0) app.exec();
  } else {
    w.ConnectToServer();
    app.exec();
  }
  return {(MaxRssKb() - before) / 1024.0, s.longest};
}

Result Run(bool update, int mib, int argc, char** argv) {
  quint16 port = 0;
  const int listener = Listen(port);
  std::fflush(stdout);
  const pid_t server = fork();
  if (server == 0) Serve(listener, "GETSERVERVERSION\xA4", mib);
  close(listener);
  int fds[2];
  if (pipe(fds) != 0) std::exit(1);
  const pid_t client = fork();
  if (client == 0) {
    close(fds[0]);
    const Result r = Client(update, port, argc, argv);
    if (write(fds[1], &r, sizeof r) != sizeof r) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Result r{};
  if (read(fds[0], &r, sizeof r) != sizeof r) std::exit(1);
  close(fds[0]);
  waitpid(client, nullptr, 0);
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 10;
  for (const bool update : {false, true}) {
    const char* path = update ? "update connection, message box" : "main connection, balloon";
    const Result one = Run(update, n, argc, argv);
    const Result two = Run(update, 2 * n, argc, argv);
    for (const auto& [mib, r] : {std::pair{n, one}, std::pair{2 * n, two}}) {
      std::printf("%-32s %3d MiB error text: peak memory grew %6.1f MiB (%.2f x the text), longest text shown %lld characters\n",
                  path, mib, r.growthMib, r.growthMib / mib, static_cast<long long>(r.longest));
    }
    // What a larger text costs beyond the constant: at most 2 x the added text.
    std::printf("%-32s from %d to %d MiB: grew %.2f x the added text\n", path, n, 2 * n,
                (two.growthMib - one.growthMib) / n);
  }
  return 0;
}
