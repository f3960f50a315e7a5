// What the "Idag" window costs. Against a davu-server process on a call log
// of a year's history (100,000 calls), a day of 2N calls and the busy day of
// N calls (5,000 by default) last, every tenth call still open:
//  - a refresh with nothing new, against a clinic-name request and against
//    the least query there is, sent in turn: the round trip (median of many),
//    the server's CPU time per request (the scheduler's count of all its
//    threads) and the bytes each way;
//    with 10 calls open and with 500 (a bounded number asked about per
//    refresh, so the two should cost the same);
//  - the first fill of the busy day: the server's reply and the window's
//    figures (TodayCalls::apply) separately, and the memory the figures take,
//    against the same for a day of 2N calls.
//   idag_bench [calls]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "calllog/CallLogSql.h"
#include "calllog/TodayCalls.h"
#include "protocol/Catalogue.h"
#include "support/ServerExchange.h"

using davu::calllog::TodayCalls;

namespace {

// The busy day is the last in the log: what a refresh on it finds new is
// what came after its last call, which is nothing.
const QDate kBusier(2024, 5, 2), kBusy(2024, 5, 3);

std::string Stamp(const QDateTime& d) { return d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(); }

void Run(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) qFatal("%s", sqlite3_errmsg(db));
}

// `calls` calls spread over `day` from 07:00 to 17:00; every tenth open.
void FillDay(sqlite3* db, const QDate& day, int calls, std::mt19937& rng) {
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, CONFIRMTSTAMP) VALUES (?, ?, ?, ?)",
                     -1, &ins, nullptr);
  const QDateTime start(day, QTime(7, 0));
  for (int i = 0; i < calls; ++i) {
    const QDateTime at = start.addSecs(36000LL * i / calls);
    const std::string called = Stamp(at), confirmed = Stamp(at.addSecs(60 + rng() % 600));
    sqlite3_reset(ins);
    sqlite3_bind_int64(ins, 1, 1 + rng() % 40);
    sqlite3_bind_int64(ins, 2, 1 + rng() % 60);
    sqlite3_bind_text(ins, 3, called.c_str(), -1, SQLITE_TRANSIENT);
    if (i % 10) sqlite3_bind_text(ins, 4, confirmed.c_str(), -1, SQLITE_TRANSIENT);
    else sqlite3_bind_null(ins, 4);
    if (sqlite3_step(ins) != SQLITE_DONE) qFatal("%s", sqlite3_errmsg(db));
  }
  sqlite3_finalize(ins);
}

// The schema is davu-server's own: it made the file.
void Fill(const QString& path, int busy) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) qFatal("cannot open %s", qPrintable(path));
  Run(db, "BEGIN");
  for (int i = 1; i <= 40; ++i)
    Run(db, ("INSERT INTO STATIONS (NAME, FRIENDLYNAME) VALUES ('PC-" + std::to_string(i) + "', 'Expedition " +
             std::to_string(i) + "')").c_str());
  for (int i = 1; i <= 60; ++i)
    Run(db, ("INSERT INTO CALLABLES (NAME, FULLNAME) VALUES ('R" + std::to_string(i) +
             "', 'Mottagningsrum nummer " + std::to_string(i) + "')").c_str());
  std::mt19937 rng(1);
  for (int d = 250; d >= 1; --d) FillDay(db, kBusier.addDays(-d), 400, rng);  // history
  FillDay(db, kBusier, 2 * busy, rng);
  FillDay(db, kBusy, busy, rng);
  Run(db, "COMMIT");
  sqlite3_close(db);
}

// Starts davu-server on `db`; its port, or 0.
quint16 StartServer(QProcess& server, const QString& db, const QString& portFile) {
  QFile::remove(portFile);
  server.setProcessChannelMode(QProcess::MergedChannels);
  server.start(DAVU_SERVER_EXE, {"--port", "0", "--db", db, "--port-file", portFile});
  QByteArray log;
  while (!log.contains("listening on") && server.waitForReadyRead(10000)) log += server.readAll();
  QFile pf(portFile);
  if (!pf.open(QIODevice::ReadOnly)) qFatal("davu-server did not start: %s", log.constData());
  return static_cast<quint16>(pf.readAll().trimmed().toUInt());
}

struct Exchanged {
  double ms;
  std::size_t sent, received;
  std::string reply;
};

Exchanged Exchange(QTcpSocket& socket, const std::string& request, const char* end) {
  const davu::bench::Exchanged e = davu::bench::ExchangeTimed(socket, request, end);
  return {e.ms, request.size(), static_cast<std::size_t>(e.reply.size()), e.reply.toStdString()};
}

// The server's CPU time so far, all its threads, in ms: the scheduler's own
// count in ns, fine enough to charge a few requests.
double CpuMs(qint64 pid) {
  double ns = 0;
  const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
  for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile f(tasks + '/' + tid + QStringLiteral("/schedstat"));
    if (f.open(QIODevice::ReadOnly)) ns += f.readAll().split(' ').value(0).toDouble();
  }
  return ns / 1e6;
}

// What the heap holds, in KiB.
long HeapKiB() { return static_cast<long>(mallinfo2().uordblks / 1024); }

struct Cost {
  double medianMs = 0, cpuMs = 0;
  std::size_t sent = 0, received = 0;
};

// One kind of request; `next` makes the next one to send (the same, or the
// next refresh's).
struct Kind {
  Kind(std::function<std::string()> make, const char* endMarker) : next(std::move(make)), end(endMarker) {}
  std::function<std::string()> next;
  const char* end;
  std::vector<double> ms;
  double cpuMs = 0;
  Cost cost;
};

// Sends the kinds in turn, a few of each at a time, so that whatever else
// the machine does weighs on all of them alike; the bytes are the last
// request's.
void MeasureInTurn(QTcpSocket& socket, qint64 pid, std::vector<Kind*> kinds, int runs) {
  const int block = 10;
  for (int done = 0; done < runs; done += block)
    for (Kind* k : kinds) {
      std::vector<std::string> requests;
      for (int i = 0; i < block; ++i) requests.push_back(k->next());
      const double before = CpuMs(pid);
      Exchanged last{};
      for (const std::string& request : requests) {
        last = Exchange(socket, request, k->end);
        k->ms.push_back(last.ms);
      }
      k->cpuMs += CpuMs(pid) - before;
      k->cost.sent = last.sent;
      k->cost.received = last.received;
    }
  for (Kind* k : kinds) {
    std::sort(k->ms.begin(), k->ms.end());
    k->cost.medianMs = k->ms[k->ms.size() / 2];
    k->cost.cpuMs = k->cpuMs / static_cast<double>(k->ms.size());
  }
}

void PrintRatio(const Cost& c, const Cost& to, const char* what = "  ratio to the clinic-name request") {
  std::printf("%-44s %7.2f round trip, %6.2f server CPU\n", what, c.medianMs / to.medianMs, c.cpuMs / to.cpuMs);
}

// The figures of a day read whole: the reply from the server, then apply.
TodayCalls FirstFill(QTcpSocket& socket, const QDate& day, double& serverMs, double& applyMs, long& kib) {
  const Exchanged e = Exchange(socket, davu::proto::OpenSql("BENCH", davu::calllog::TodayQuery(day).toStdString()),
                               "#DATAEND#");
  serverMs = e.ms;
  const std::string_view whole(e.reply);
  const std::size_t from = whole.find("\xA4RETSQL:");
  const std::size_t to = whole.rfind(":RETSQL\xA4");
  const long before = HeapKiB();
  QElapsedTimer t;
  t.start();
  TodayCalls calls(day);
  calls.apply(whole.substr(from, to + 1 - from), true);
  applyMs = t.nsecsElapsed() / 1e6;
  kib = HeapKiB() - before;  // the reply's buffer was there before
  return calls;
}

void Print(const char* what, const Cost& c) {
  std::printf("%-44s %7.3f ms round trip, %6.3f ms server CPU, %5zu bytes sent, %5zu received\n", what,
              c.medianMs, c.cpuMs, c.sent, c.received);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int busy = argc > 1 ? std::atoi(argv[1]) : 5000;
  QTemporaryDir dir;
  const QString db = dir.filePath("idag.db");
  const QString portFile = dir.filePath("port");
  {
    QProcess maker;  // makes the file with its schema
    StartServer(maker, db, portFile);
    maker.terminate();
    maker.waitForFinished();
  }
  Fill(db, busy);
  QProcess server;
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, StartServer(server, db, portFile));
  if (!socket.waitForConnected(5000)) qFatal("no connection");
  const qint64 pid = server.processId();
  std::printf("call log: 100,000 calls of history, a day of %d, the busy day of %d last; "
              "every tenth call open\n\n", 2 * busy, busy);

  double serverMs = 0, applyMs = 0;
  long kib = 0;
  const TodayCalls day = FirstFill(socket, kBusy, serverMs, applyMs, kib);
  std::printf("first fill of the busy day:  %8.1f ms server reply, %6.1f ms figures, %5ld KiB memory (%d calls)\n",
              serverMs, applyMs, kib, day.calls());
  double serverMs2 = 0, applyMs2 = 0;
  long kib2 = 0;
  const TodayCalls day2 = FirstFill(socket, kBusier, serverMs2, applyMs2, kib2);
  std::printf("first fill of a day of 2N:   %8.1f ms server reply, %6.1f ms figures, %5ld KiB memory (%d calls)\n",
              serverMs2, applyMs2, kib2, day2.calls());
  std::printf("ratio 2N/N:                  %8.2f server, %12.2f figures\n\n", serverMs2 / serverMs, applyMs2 / applyMs);

  const int runs = 2000;
  Kind clinicName{[] { return davu::proto::GetKliniknamn("BENCH", "2"); }, ":RETKLINIKNAMN\xA4"};
  // What any OPENSQL costs this server, whatever it asks: a query that finds
  // one missing number.
  Kind least{[] { return davu::proto::OpenSql("BENCH", "SELECT CALLLOG.LOPNR FROM CALLLOG WHERE CALLLOG.LOPNR = -1"); },
             "#DATAEND#"};
  // The usual case: all but a few calls confirmed. The busy day's open
  // calls are every tenth from its first; ten of them are open.
  const qint64 first = day.lastSeen() - busy + 1;
  std::vector<qint64> tenOpen;
  for (int i = 0; i < 10; ++i) tenOpen.push_back(first + 10 * i);
  const std::string tenSql =
      davu::proto::OpenSql("BENCH", davu::calllog::TodayChangesQuery(kBusy, day.lastSeen(), tenOpen).toStdString());
  Kind few{[&] { return tenSql; }, "#DATAEND#"};
  // Every refresh as the window sends it: the newest open calls and the
  // next older ones in turn.
  TodayCalls open = day;
  Kind many{[&] { return davu::proto::OpenSql("BENCH", open.nextQuery().toStdString()); }, "#DATAEND#"};
  MeasureInTurn(socket, pid, {&clinicName, &least, &few, &many}, runs);

  Print("clinic-name request (GETKLINIKNAMN)", clinicName.cost);
  Print("least query (one missing number)", least.cost);
  PrintRatio(least.cost, clinicName.cost);
  std::printf("(10 open, all asked about)\n");
  Print("refresh, nothing new, 10 calls open", few.cost);
  PrintRatio(few.cost, clinicName.cost);
  std::printf("(%d open, %zu asked about per refresh)\n", open.openCalls(),
              std::min<std::size_t>(open.openCalls(), TodayCalls::kMostAsked));
  Print("refresh, nothing new, busy day", many.cost);
  PrintRatio(many.cost, clinicName.cost);
  PrintRatio(many.cost, few.cost, "  ratio to the refresh with 10 open");
  server.terminate();
  server.waitForFinished();
  return 0;
}
