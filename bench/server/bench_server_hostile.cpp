// davu-server's resident memory under a hostile mix, with its default
// settings, in rounds. Each round: 50 hostile connections from 127.0.0.2 (a
// third stream bytes with no marker, a third send frames that never end, a
// third drip one byte at a time; half of the frames and of the drips start
// with a legal request),
// three clients that ask for large reports and never read, and beside them
// 200 short sessions (version and register list, read, close) from
// 127.0.0.1, for at least 10 s. Then every client goes and the server gets
// 10 s.
// Prints per round: peak over idle, after (10 s later) over idle, and the
// growth of "after" from the round before.
//   bench_server_hostile [rounds] [calls]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "HostileMix.h"
#include "protocol/Catalogue.h"
#include "server/ServerDatabase.h"

namespace {

long StatusKiB(qint64 pid, const char* field) {
  QFile f(QStringLiteral("/proc/%1/status").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const int skip = static_cast<int>(qstrlen(field));
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(field)) return line.mid(skip).trimmed().split(' ').value(0).toLong();
  return 0;
}

// A raw non-blocking client from 127.0.0.2 that writes as fast as the kernel
// takes it (or `perPump` bytes a pump) and never reads; closed by the
// server, it comes back with what it started with.
struct Hostile {
  int fd = -1;
  quint16 port;
  std::string first;
  std::string pending;
  std::size_t perPump = 0;  // 0: as much as the kernel takes
  int reconnects = 0;
  Hostile(quint16 p, std::size_t drip, std::string start = {})
      : port(p), first(std::move(start)), pending(first), perPump(drip) {
    open();
  }
  void open() {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(0x7f000002);
    ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);  // refused: tried again at the next error
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  ~Hostile() { ::close(fd); }
  void pump(const std::string& refill) {
    for (int i = 0; i < 16; ++i) {
      if (pending.empty()) pending = refill;
      const std::size_t n = perPump ? std::min(perPump, pending.size()) : pending.size();
      const ssize_t sent = ::send(fd, pending.data(), n, MSG_NOSIGNAL);
      if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        ::close(fd);
        open();
        pending = first;
        ++reconnects;
        return;
      }
      if (sent <= 0) return;
      pending.erase(0, static_cast<std::size_t>(sent));
      if (perPump) return;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  const int calls = argc > 2 ? std::atoi(argv[2]) : 200000;
  QTemporaryDir dir;
  const QString dbPath = dir.filePath("bench.db");
  {
    std::string error;
    auto db = davu::server::Database::open(dbPath.toStdString(), &error);
    if (!db) qFatal("%s", error.c_str());
    db->exec("INSERT INTO STATIONS (LOPNR, NAME, FRIENDLYNAME) VALUES (3, 'PC3', 'Expedition 3');"
             "INSERT INTO CALLABLES (LOPNR, NAME, FULLNAME) VALUES (7, 'R7', 'Mottagningsrum 7');");
    db->exec(("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(calls) +
              ") INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, COMINGTSTAMP)"
              " SELECT 3, 7, '2024-05-03 09:00:00', '2024-05-03 09:01:00' FROM n")
                 .c_str());
  }
  QProcess server;
  server.setProcessChannelMode(QProcess::ForwardedOutputChannel);
  server.setStandardErrorFile(dir.filePath("server.log"));
  const QString portFile = dir.filePath("port");
  server.start(DAVU_SERVER_EXE, {"--port", "0", "--db", dbPath, "--port-file", portFile});
  QElapsedTimer wait;
  wait.start();
  while (!QFile::exists(portFile) && wait.elapsed() < 10000) QThread::msleep(20);
  QFile pf(portFile);
  if (!pf.open(QIODevice::ReadOnly)) qFatal("davu-server did not start");
  const quint16 port = static_cast<quint16>(pf.readAll().trimmed().toUInt());
  const qint64 pid = server.processId();
  QThread::msleep(500);
  const long idle = StatusKiB(pid, "VmRSS:");

  using namespace davu::proto;
  const std::string report = OpenSql("HOSTILE", "SELECT * FROM CALLLOG, STATIONS WHERE STATIONS.LOPNR = CALLLOG.STATIONSLOPNR");
  const std::string frame = "#DATASTART#\xA4OPENSQL:X:SELECT ";
  const std::string legal = GetServerVersion("DRIP", 2);
  std::string noise(64 * 1024, '\0');
  std::mt19937 rng(5);
  for (char& ch : noise) {
    ch = static_cast<char>(rng() % 256);
    if (ch == '\xA4' || ch == '#') ch = 'n';
  }
  const std::string endless(64 * 1024, 'x');

  std::printf("hostile mix, default settings: per round 50 hostile connections (17 streaming bytes without a\n"
              "marker, 17 endless frames, 16 dripping a byte at a time; half of the frames and drips start\n"
              "with a legal request),\n"
              "3 never-reading report clients, 200 short sessions; then 10 s without clients\n");
  std::printf("idle resident memory: %.1f MiB\n", idle / 1024.0);
  long previousAfter = idle;
  for (int round = 1; round <= rounds; ++round) {
    std::vector<std::unique_ptr<Hostile>> streams, frames, drips;
    for (int i = 0; i < 17; ++i) streams.push_back(std::make_unique<Hostile>(port, 0));
    // Half of them introduce themselves first, as a client does.
    for (int i = 0; i < 17; ++i)
      frames.push_back(std::make_unique<Hostile>(port, 0, i % 2 ? GetServerVersion("FRAME", 2) + frame : frame));
    for (int i = 0; i < 16; ++i)
      drips.push_back(std::make_unique<Hostile>(port, 1, i % 2 ? legal : std::string("\xA4GETSERVERVERSION:DRIP")));
    std::vector<std::unique_ptr<QTcpSocket>> readers;
    for (int i = 0; i < 3; ++i) {
      readers.push_back(std::make_unique<QTcpSocket>());
      readers.back()->setReadBufferSize(4096);
      readers.back()->connectToHost(QHostAddress::LocalHost, port);
      readers.back()->waitForConnected(5000);
      readers.back()->write(report.data(), static_cast<qint64>(report.size()));
      readers.back()->flush();
    }
    long peak = idle;
    int served = 0, failed = 0;
    QElapsedTimer t;
    t.start();
    // 200 short sessions, and the hostile ones go on for at least 10 s.
    for (int s = 0; s < 200 || t.elapsed() < 10000; ++s) {
      for (auto& h : streams) h->pump(noise);
      for (auto& h : frames) h->pump(endless);
      for (auto& h : drips) h->pump(h->pending.empty() ? std::string("x") : h->pending);
      for (auto& r : readers) r->flush();
      if (s >= 200) {
        QThread::msleep(5);
        peak = std::max(peak, StatusKiB(pid, "VmRSS:"));
        continue;
      }
      QTcpSocket good;
      good.connectToHost(QHostAddress::LocalHost, port);
      const bool ok = good.waitForConnected(5000) &&
                      ExchangeReply(good, GetServerVersion("GOOD", 2) + GetAllCallables("GOOD"), ":RETALLCALLABLES\xA4", 10000)
                          .contains(":RETALLCALLABLES\xA4");
      ok ? ++served : ++failed;
      good.abort();
      peak = std::max(peak, StatusKiB(pid, "VmRSS:"));
    }
    const double seconds = t.elapsed() / 1000.0;
    int reconnects = 0;
    for (auto* group : {&streams, &frames, &drips})
      for (auto& h : *group) reconnects += h->reconnects;
    streams.clear();
    frames.clear();
    drips.clear();
    readers.clear();
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 10000) {
      peak = std::max(peak, StatusKiB(pid, "VmRSS:"));
      QThread::msleep(100);
    }
    const long after = StatusKiB(pid, "VmRSS:");
    std::printf("round %d (%.1f s, hostile ones closed and back %d times): short sessions served %d, "
                "failed %d; peak - idle %.1f MiB, after 10 s - idle %.1f MiB, growth from the round before "
                "%+.1f MiB\n",
                round, seconds, reconnects, served, failed, (peak - idle) / 1024.0, (after - idle) / 1024.0,
                (after - previousAfter) / 1024.0);
    std::fflush(stdout);
    previousAfter = after;
  }
  server.terminate();
  server.waitForFinished();
  return 0;
}
