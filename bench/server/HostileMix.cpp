#include "HostileMix.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "protocol/Catalogue.h"

namespace {

long Peak(qint64 pid, const char* field) {
  QFile f(QStringLiteral("/proc/%1/status").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(field)) return line.mid(static_cast<int>(qstrlen(field))).trimmed().split(' ').value(0).toLong();
  return 0;
}

// A client that writes what the kernel takes and never reads.
struct Flooder {
  int fd = -1;
  std::string out;
  std::size_t sent = 0;
  Flooder(quint16 port, std::string bytes) : out(std::move(bytes)) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) qFatal("no connection");
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  ~Flooder() { ::close(fd); }
  void pump() {
    while (sent < out.size()) {
      ssize_t n = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
  }
};

bool Exchange(QTcpSocket& s, const std::string& request, const char* end, int ms) {
  return !ExchangeReply(s, request, end, ms).isEmpty();
}

}  // namespace

QByteArray ExchangeReply(QTcpSocket& s, const std::string& request, const char* end, int ms) {
  s.write(request.data(), static_cast<qint64>(request.size()));
  QByteArray reply;
  QElapsedTimer t;
  t.start();
  while (!reply.contains(end) && !reply.startsWith("ERROR")) {
    if (t.elapsed() > ms || !s.waitForReadyRead(ms)) return {};
    reply += s.readAll();
  }
  return reply;
}

void HostileMix(quint16 port, qint64 pid, long idleKiB) {
  using namespace davu::proto;
  const std::string month = OpenSql(
      "HOSTILE", "SELECT * FROM CALLLOG, STATIONS WHERE STATIONS.LOPNR = CALLLOG.STATIONSLOPNR");
  std::string lists;
  for (int i = 0; i < 20000; ++i) lists += GetAllCallables("HOSTILE") + GetAllMachines("HOSTILE");
  std::vector<std::unique_ptr<Flooder>> flooders;
  // Five that ask for lists and never read, five that ask for big reports and
  // never read, ten that leave a 6 MB request unfinished.
  for (int i = 0; i < 5; ++i) flooders.push_back(std::make_unique<Flooder>(port, lists));
  for (int i = 0; i < 5; ++i) flooders.push_back(std::make_unique<Flooder>(port, month + month + month));
  for (int i = 0; i < 10; ++i)
    flooders.push_back(std::make_unique<Flooder>(port, "#DATASTART#\xA4OPENSQL:X:" + std::string(6 << 20, 'x')));
  // Thirty that send statements that stall single function calls.
  const std::string big = "(WITH RECURSIVE s(x, k) AS (SELECT 'a', 0 UNION ALL SELECT x || x, k + 1 FROM s WHERE k < 19) SELECT x FROM s WHERE k = 19)";
  const std::vector<std::string> stalling = {
      OpenSql("H", "SELECT instr(" + big + ", " + big + " || 'b')"),
      OpenSql("H", "SELECT ltrim(" + big + ", " + big + " || 'b')"),
      OpenSql("H", "SELECT length(replace(" + big + ", " + big + " || 'b', 'x'))"),
      OpenSql("H", "SELECT COUNT(*) FROM CALLLOG A, CALLLOG B")};
  std::vector<std::unique_ptr<QTcpSocket>> sqlClients, good;
  for (int i = 0; i < 30; ++i) {
    sqlClients.push_back(std::make_unique<QTcpSocket>());
    sqlClients.back()->connectToHost(QHostAddress::LocalHost, port);
    sqlClients.back()->waitForConnected(5000);
    const std::string& r = stalling[static_cast<std::size_t>(i) % stalling.size()];
    sqlClients.back()->write(r.data(), static_cast<qint64>(r.size()));
  }
  // And 150 well-behaved clients, from machines of their own: the server
  // holds at most 100 connections from one address, and the hostile ones
  // all come from 127.0.0.1.
  for (int i = 0; i < 150; ++i) {
    good.push_back(std::make_unique<QTcpSocket>());
    good.back()->bind(QHostAddress(QStringLiteral("127.0.1.%1").arg(1 + i / 50)));
    good.back()->connectToHost(QHostAddress::LocalHost, port);
    good.back()->waitForConnected(5000);
  }
  QElapsedTimer t;
  t.start();
  int served = 0, failed = 0;
  long peak = 0;
  for (int round = 0; round < 4; ++round) {
    for (auto& f : flooders) f->pump();
    for (auto& s : sqlClients) s->flush();
    for (auto& g : good) {
      if (Exchange(*g, GetServerVersion("GOOD", 2) + GetAllCallables("GOOD"), ":RETALLCALLABLES\xA4", 30000))
        ++served;
      else
        ++failed;
      peak = std::max(peak, Peak(pid, "VmRSS:"));
    }
  }
  for (auto& f : flooders) f->pump();
  peak = std::max(peak, Peak(pid, "VmHWM:"));
  const double mixSeconds = t.elapsed() / 1000.0;
  flooders.clear();
  sqlClients.clear();
  QTcpSocket after;
  after.connectToHost(QHostAddress::LocalHost, port);
  after.waitForConnected(5000);
  const bool answers = Exchange(after, GetServerVersion("AFTER", 2), ":RETSERVERVERSION\xA4", 30000);
  std::printf("hostile mix (200 sessions: 10 non-readers, 10 unfinished 6 MB requests, 30 stalling SQL,"
              " 150 well-behaved) for %.1f s\n",
              mixSeconds);
  std::printf("  well-behaved exchanges served %d, failed %d; server answers afterwards: %s\n", served,
              failed, answers ? "yes" : "NO");
  std::printf("  server resident memory: idle %.1f MiB, peak %.1f MiB, peak - idle %.1f MiB\n",
              idleKiB / 1024.0, peak / 1024.0, (peak - idleKiB) / 1024.0);
}
