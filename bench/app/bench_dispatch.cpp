// Many small replies in one read: the main window's read path (reassembly,
// then DispatchReply) for N and 2N client-data messages, with the 2N/N time
// ratio (linear dispatch gives about 2) and the growth of the peak memory,
// each size in a fresh process.
//
//   bench_dispatch [N]     (default 10000; runs N and 2N)
#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/UDavuAdminMain.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "protocol/Reassembler.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ManyReplies(int n) {
  std::string bytes;
  for (int i = 0; i < n; ++i) {
    bytes += "\xA4" "DAVUCLIENTDATA:PC";
    bytes += std::to_string(i);
    bytes += ":1:Reception:DAVUCLIENTDATA\xA4";
  }
  return bytes;
}

long MaxRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// One read of n replies through the window's read path; seconds, best of 7.
double ReadOnce(TfrmDAVUAdmin& w, int n) {
  const std::string bytes = ManyReplies(n);
  double best = 1e99;
  for (int r = 0; r < 7; ++r) {
    davu::proto::Reassembler reassembler(davu::proto::Reassembler::kDefaultLimit,
                                         davu::proto::kMainReplyStream);
    const auto t0 = Clock::now();
    if (auto text = reassembler.feed(bytes)) w.DispatchReply(std::move(*text), w.ClientSocket1);
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return best;
}

struct Measure {
  double seconds;
  double peakGrowthMb;
};

// Each size in a fresh process, so that one size's heap does not shape the
// next one's time.
Measure InChild(TfrmDAVUAdmin& w, int n) {
  int fds[2];
  if (pipe(fds) != 0) std::exit(1);
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const long before = MaxRssKb();
    ReadOnce(w, n);  // warm up
    Measure m{ReadOnce(w, n), (MaxRssKb() - before) / 1024.0};
    if (write(fds[1], &m, sizeof m) != sizeof m) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Measure m{};
  if (read(fds[0], &m, sizeof m) != sizeof m) std::exit(1);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("user"))));
  qputenv("DAVU_MACHINE_CONFIG_DIR", QFile::encodeName(dir.filePath(QStringLiteral("machine"))));
  QApplication app(argc, argv);
  TfrmDAVUAdmin w;
  // The watchdog settings are local, so re-arming asks no server.
  WriteSetting(QStringLiteral("DAVU"), QStringLiteral("RefreshConnection"), QStringLiteral("0"));

  const Measure one = InChild(w, n);
  const Measure two = InChild(w, 2 * n);
  for (const auto& [count, m] : {std::pair{n, one}, std::pair{2 * n, two}}) {
    std::printf("%6d replies in one read: %9.3f ms, peak memory grew %.1f MB\n", count, m.seconds * 1e3,
                m.peakGrowthMb);
  }
  std::printf("ratio 2N/N: %.2f (linear: about 2)\n", two.seconds / one.seconds);
  return 0;
}
