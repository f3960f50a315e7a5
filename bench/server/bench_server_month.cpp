// A month's report over a call log of 1,000,000 calls: the statistics
// window's SQL sent to a davu-server process and timed from the request to
// the last byte of the reply, against the same query in the sqlite3 shell on
// the same file. Prints both medians and their ratio; then the same report
// while three other clients each run a slow query (ratio to alone), and the
// server's peak resident memory under a hostile mix of clients against idle.
//   bench_server_month [calls] [database file]
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "HostileMix.h"
#include "protocol/Catalogue.h"
#include "server/ServerDatabase.h"
#include "support/ServerExchange.h"

using namespace davu;

using namespace davu::server;

namespace {

const char* const kMonthSql =
    "SELECT STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME, CALLLOG.CALLTSTAMP, CALLLOG.CONFIRMTSTAMP, "
    "CALLLOG.SMSSENT FROM STATIONS, CALLABLES, CALLLOG WHERE STATIONS.LOPNR = CALLLOG.STATIONSLOPNR "
    "AND CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR AND CALLTSTAMP >= #2024-05-01# AND CALLTSTAMP < "
    "#2024-06-01#  ORDER BY CALLTSTAMP, STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME";

void Fill(const QString& path, int calls) {
  std::string error;
  auto db = Database::open(path.toStdString(), &error);
  if (!db) qFatal("%s", error.c_str());
  Statement count(db->handle(), "SELECT COUNT(*) FROM CALLLOG");
  count.step();
  if (count.integer(0) >= calls) return;
  Transaction t(*db);
  for (int i = 1; i <= 40; ++i) {
    Statement s(db->handle(), "INSERT INTO STATIONS (NAME, FRIENDLYNAME) VALUES (?, ?)");
    std::string n = std::to_string(i);
    s.bind(1, std::string("PC-").append(n)).bind(2, std::string("Expedition ").append(n)).run();
  }
  for (int i = 1; i <= 60; ++i) {
    Statement s(db->handle(), "INSERT INTO CALLABLES (NAME, FULLNAME) VALUES (?, ?)");
    std::string n = std::to_string(i);
    s.bind(1, std::string("R").append(n)).bind(2, std::string("Mottagningsrum nummer ").append(n)).run();
  }
  // A year of calls, 2023-06-01 to 2024-05-31, in time order.
  std::mt19937 rng(1);
  const QDateTime start(QDate(2023, 6, 1), QTime(0, 0));
  const qint64 span = start.secsTo(QDateTime(QDate(2024, 6, 1), QTime(0, 0)));
  Statement ins(db->handle(),
                "INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, COMINGTSTAMP,"
                " CONFIRMTSTAMP, SMSSENT) VALUES (?, ?, ?, ?, ?, ?)");
  for (int i = 0; i < calls; ++i) {
    QDateTime at = start.addSecs(span * i / calls);
    auto stamp = [](const QDateTime& d) {
      return d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    };
    ins.reset();
    ins.bind(1, std::int64_t(1 + rng() % 40)).bind(2, std::int64_t(1 + rng() % 60));
    ins.bind(3, stamp(at)).bind(4, stamp(at.addSecs(60)));
    if (rng() % 10) ins.bind(5, stamp(at.addSecs(300)));
    else ins.bindNull(5);
    ins.bind(6, std::int64_t(rng() % 5 == 0)).run();
  }
  t.commit();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Sends `request` and reads until `end`; the time in ms.
double Exchange(QTcpSocket& socket, const std::string& request, const char* end,
                std::size_t* bytes = nullptr) {
  const davu::bench::Exchanged e = davu::bench::ExchangeTimed(socket, request, end);
  if (bytes) *bytes = static_cast<std::size_t>(e.reply.size());
  return e.ms;
}

long StatusKiB(qint64 pid, const char* field) {
  QFile f(QStringLiteral("/proc/%1/status").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const int skip = static_cast<int>(std::strlen(field));
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(field)) return line.mid(skip).trimmed().split(' ').value(0).toLong();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int calls = argc > 1 ? std::atoi(argv[1]) : 1000000;
  QTemporaryDir dir;
  const QString db = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath("bench.db");
  QElapsedTimer fillTime;
  fillTime.start();
  Fill(db, calls);
  std::printf("database: %s, %d calls (ready in %.1f s)\n", qPrintable(db), calls,
              fillTime.elapsed() / 1000.0);

  QProcess server;
  server.setProcessChannelMode(QProcess::MergedChannels);
  const QString portFile = dir.filePath("port");
  server.start(DAVU_SERVER_EXE, {"--port", "0", "--db", db, "--port-file", portFile});
  QByteArray log;
  while (!log.contains("listening on") && server.waitForReadyRead(10000)) log += server.readAll();
  QFile pf(portFile);
  if (!pf.open(QIODevice::ReadOnly)) qFatal("davu-server did not start: %s", log.constData());
  const quint16 port = static_cast<quint16>(pf.readAll().trimmed().toUInt());
  const long idleKiB = StatusKiB(server.processId(), "VmRSS:");

  const std::string request = davu::proto::OpenSql("BENCH", kMonthSql);
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  if (!socket.waitForConnected(5000)) qFatal("no connection");

  const int runs = 7;
  std::vector<double> viaServer, viaShell;
  std::size_t replyBytes = 0;
  for (int r = 0; r < runs; ++r) viaServer.push_back(Exchange(socket, request, "#DATAEND#", &replyBytes));

  // The same report while three other clients each run a slow query (a join
  // of the call log with itself, which only the time limit ends).
  const std::string slowRequest = davu::proto::OpenSql(
      "SLOW", "SELECT COUNT(*) FROM CALLLOG A, CALLLOG B WHERE A.CALLTSTAMP < B.CALLTSTAMP");
  std::vector<std::unique_ptr<QTcpSocket>> slow;
  for (int i = 0; i < 3; ++i) {
    slow.push_back(std::make_unique<QTcpSocket>());
    slow.back()->connectToHost(QHostAddress::LocalHost, port);
    if (!slow.back()->waitForConnected(5000)) qFatal("no connection");
    slow.back()->write(slowRequest.data(), static_cast<qint64>(slowRequest.size()));
    slow.back()->waitForBytesWritten(5000);
  }
  std::vector<double> busy;
  for (int r = 0; r < runs; ++r) busy.push_back(Exchange(socket, request, "#DATAEND#"));
  for (auto& s : slow) s->abort();

  QString shellSql = QString::fromLatin1(kMonthSql)
                         .replace("#2024-05-01#", "'2024-05-01 00:00:00'")
                         .replace("#2024-06-01#", "'2024-06-01 00:00:00'");
  std::size_t shellBytes = 0, shellRows = 0;
  for (int r = 0; r < runs; ++r) {
    QProcess shell;
    QElapsedTimer t;
    t.start();
    shell.start("sqlite3", {db, shellSql});
    QByteArray out;
    while (shell.state() != QProcess::NotRunning || shell.bytesAvailable() > 0) {
      shell.waitForReadyRead(60000);
      out += shell.readAllStandardOutput();
      if (shell.state() == QProcess::NotRunning) {
        out += shell.readAllStandardOutput();
        break;
      }
    }
    shell.waitForFinished();
    viaShell.push_back(t.nsecsElapsed() / 1e6);
    shellBytes = static_cast<std::size_t>(out.size());
    shellRows = static_cast<std::size_t>(out.count('\n'));
  }
  const double a = Median(viaServer), b = Median(viaShell), c = Median(busy);
  std::printf("month report 2024-05: %zu rows; RETSQL reply %zu bytes, sqlite3 output %zu bytes\n",
              shellRows, replyBytes, shellBytes);
  std::printf("davu-server end to end: %.1f ms (median of %d)\n", a, runs);
  std::printf("sqlite3 shell:          %.1f ms (median of %d)\n", b, runs);
  std::printf("ratio server/shell:     %.2f\n", a / b);
  std::printf("with 3 slow queries:    %.1f ms (median of %d), ratio to alone %.2f\n", c, runs, c / a);

  HostileMix(port, server.processId(), idleKiB);
  server.terminate();
  server.waitForFinished();
  return 0;
}
