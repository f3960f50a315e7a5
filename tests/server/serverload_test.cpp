// The server under hostile load: a statement that runs long must not keep
// other clients waiting, SQL cannot build what would stall a single function
// call, and clients that never read cannot make the server's memory grow.
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"

using namespace davu::proto;

namespace {
const std::string kVersionReply = "\xA4RETSERVERVERSION:1.10.6:RETSERVERVERSION\xA4";
const std::string kVersionEnd = ":RETSERVERVERSION\xA4";

void FillCallLog(ServerHarness& h, int calls) {
  h.db().exec("INSERT INTO STATIONS (LOPNR, NAME) VALUES (3, 'PC3');"
              "INSERT INTO CALLABLES (LOPNR, NAME) VALUES (7, 'R7');");
  h.db().exec(("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
               std::to_string(calls) +
               ") INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP)"
               " SELECT 3, 7, '2024-05-03 09:00:00' FROM n")
                  .c_str());
}

// A string of 2^n copies of `seed`, as an SQL expression.
std::string Doubled(const std::string& seed, int n) {
  return "(WITH RECURSIVE s(x, k) AS (SELECT '" + seed +
         "', 0 UNION ALL SELECT x || x, k + 1 FROM s WHERE k < " + std::to_string(n) +
         ") SELECT x FROM s WHERE k = " + std::to_string(n) + ")";
}
}  // namespace

class tst_ServerLoad : public QObject {
  Q_OBJECT

 private slots:
  void longStatementDoesNotBlockOthers();
  void stallingFunctionCallsAreBoundedOrRefused_data();
  void stallingFunctionCallsAreBoundedOrRefused();
  void nonReadingClientsDoNotGrowMemory();
  void overTheMemoryBudgetNewConnectionsAreTurnedAway();
  void largeReportArrivesWholeInPieces();
  void droppedClientCancelsItsStatement();
};

void tst_ServerLoad::longStatementDoesNotBlockOthers() {
  davu::server::ServerOptions o;
  o.sqlTimeLimitMs = 4000;
  ServerHarness h(o);
  FillCallLog(h, 3000);
  WireClient slow(h.port()), other(h.port());
  slow.send(OpenSql("PC1Admin", "SELECT COUNT(*) FROM CALLLOG A, CALLLOG B, CALLLOG C"));
  QTRY_COMPARE(h.server().sqlJobsRunning(), 1);
  QElapsedTimer t;
  t.start();
  QCOMPARE(other.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
  // The statement still ends at its time limit, and its client is served after it.
  std::string r = slow.waitFor("datumintervall.", 15000);
  QVERIFY2(r.starts_with("ERROR: ") && r.find(W("för lång tid")) != std::string::npos, r.c_str());
  QCOMPARE(slow.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
}

void tst_ServerLoad::stallingFunctionCallsAreBoundedOrRefused_data() {
  QTest::addColumn<QString>("sql");
  QTest::addColumn<bool>("refused");
  // 768 KiB of "a", and 256 KiB of "a" then a "b": the built-ins compare
  // the whole needle at every place.
  const std::string a19 = Doubled("a", 19) + " || " + Doubled("a", 18);
  const std::string ab17 = Doubled("a", 18) + " || 'b'";
  QTest::newRow("instr over 4 MiB strings")
      << QString::fromStdString("SELECT instr(x, x || 'c') FROM (SELECT " + Doubled("ab", 21) +
                                " AS x) JOIN CALLLOG LIMIT 1")
      << true;
  QTest::newRow("instr, needle of repeats")
      << QString::fromStdString("SELECT instr(" + a19 + ", " + ab17 + ")") << false;
  QTest::newRow("replace, pattern of repeats")
      << QString::fromStdString("SELECT length(replace(" + a19 + ", " + ab17 + ", 'x'))") << false;
  QTest::newRow("ltrim over two 64 KiB strings")
      << QString::fromStdString("SELECT length(ltrim(" + Doubled("a", 16) + ", " +
                                Doubled("b", 16) + " || 'a'))")
      << false;
  QTest::newRow("replace that grows past the limit")
      << QString::fromStdString("SELECT length(replace(" + Doubled("a", 12) + ", 'a', " +
                                Doubled("b", 12) + "))")
      << true;
  QTest::newRow("long LIKE pattern")
      << QString::fromStdString("SELECT " + a19 + " LIKE '" + std::string(300, '%') + "b'") << true;
  std::string compound = "SELECT 1";
  for (int i = 0; i < 80; ++i) compound += " UNION ALL SELECT 1";
  QTest::newRow("many compound selects") << QString::fromStdString(compound) << true;
}

void tst_ServerLoad::stallingFunctionCallsAreBoundedOrRefused() {
  QFETCH(QString, sql);
  QFETCH(bool, refused);
  ServerHarness h;
  FillCallLog(h, 2);
  WireClient c(h.port());
  // Each of these held the server for tens of seconds or more when the
  // built-in functions ran them.
  std::string r = c.change(OpenSql("PC1Admin", sql.toStdString()));
  if (refused) {
    QVERIFY2(r.starts_with("ERROR: "), r.substr(0, 200).c_str());
  } else {
    QVERIFY2(r.starts_with("#DATASTART#") && r.ends_with("#DATAEND#"), r.substr(0, 200).c_str());
  }
}

void tst_ServerLoad::nonReadingClientsDoNotGrowMemory() {
  davu::server::ServerOptions o;
  o.unreadOutputMs = 1500;
  ServerHarness h(o);
  // A register whose list is about 40 KB: each small request asks for it.
  h.db().exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)"
              " INSERT INTO CALLABLES (NAME, FULLNAME) SELECT 'R' || i, 'Mottagningsrum ' || i FROM n");
  const long before = ResidentKiB();
  long peak = before;
  std::size_t peakBuffered = 0;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    peak = std::max(peak, ResidentKiB());
    peakBuffered = std::max(peakBuffered, h.server().bufferedBytes());
  });
  sampler.start(5);

  // Three clients ask for 15,000 lists each (600 MB of replies) and never read.
  std::string burst;
  for (int i = 0; i < 15000; ++i) burst += GetAllCallables("X");
  std::vector<std::unique_ptr<WireClient>> hostile;
  for (int i = 0; i < 3; ++i) {
    hostile.push_back(std::make_unique<WireClient>(h.port()));
    hostile.back()->socket().setReadBufferSize(1024);
    hostile.back()->send(burst);
  }
  // A client that reads is served all along.
  WireClient good(h.port());
  for (int i = 0; i < 5; ++i)
    QCOMPARE(good.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  // The ones that never read are closed, and their buffers are freed.
  QTRY_COMPARE_WITH_TIMEOUT(h.server().connectionCount(), 1, 20000);
  QTRY_VERIFY(h.server().bufferedBytes() < 64 * 1024);
  QCOMPARE(good.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  sampler.stop();
  const long grewMiB = (peak - before) / 1024;
  QVERIFY2(grewMiB < 64, qPrintable(QStringLiteral("grew %1 MiB").arg(grewMiB)));
  QVERIFY2(peakBuffered < 16u * 1024 * 1024,
           qPrintable(QStringLiteral("%1 bytes buffered").arg(peakBuffered)));
}

void tst_ServerLoad::overTheMemoryBudgetNewConnectionsAreTurnedAway() {
  davu::server::ServerOptions o;
  o.memoryBudget = 512 * 1024;
  o.heldOutput = std::size_t(64) << 20;  // only the budget holds this client back
  o.unreadOutputMs = 1500;
  ServerHarness h(o);
  h.db().exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)"
              " INSERT INTO CALLABLES (NAME, FULLNAME) SELECT 'R' || i, 'Mottagningsrum ' || i FROM n");
  WireClient flood(h.port());
  flood.socket().setReadBufferSize(1024);
  std::string burst;
  for (int i = 0; i < 3000; ++i) burst += GetAllCallables("X");
  flood.send(burst);
  QTRY_VERIFY(h.server().bufferedBytes() > o.memoryBudget);
  WireClient late(h.port());
  QCOMPARE(late.waitFor("."), W("ERROR: Servern är hårt belastad."));
  QVERIFY(late.waitForClose());
  // Past the budget nothing more is taken on: one reply at most.
  QVERIFY(h.server().bufferedBytes() < o.memoryBudget + 256 * 1024);
  // The client that does not read is closed, and then others are served.
  QTRY_COMPARE_WITH_TIMEOUT(h.server().connectionCount(), 0, 10000);
  WireClient next(h.port());
  QCOMPARE(next.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
}

void tst_ServerLoad::largeReportArrivesWholeInPieces() {
  ServerHarness h;
  FillCallLog(h, 40000);  // about 2.4 MB of RETSQL, so several pieces
  WireClient direct(h.port());
  std::string whole = direct.exchange(
      OpenSql("PC1Admin", "SELECT LOPNR, CALLTSTAMP FROM CALLLOG ORDER BY LOPNR"), "#DATAEND#");
  QVERIFY(whole.starts_with("#DATASTART#\xA4RETSQL:\xA4%LOPNR|1~CALLTSTAMP|2024-05-03 09:00:00~%\xA4"));
  QVERIFY(whole.ends_with("%\xA4:RETSQL\xA4#DATAEND#"));
  QCOMPARE(std::count(whole.begin(), whole.end(), '\xA4'), std::ptrdiff_t(2 * 40000 + 2));
  QCOMPARE(whole.find("#DATASTART#", 1), std::string::npos);
  // The next reply comes after it, never inside it.
  QCOMPARE(direct.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
}

void tst_ServerLoad::droppedClientCancelsItsStatement() {
  davu::server::ServerOptions o;
  o.sqlTimeLimitMs = 60000;
  o.maxSqlJobs = 1;
  ServerHarness h(o);
  FillCallLog(h, 3000);
  {
    WireClient slow(h.port());
    slow.send(OpenSql("PC1Admin", "SELECT COUNT(*) FROM CALLLOG A, CALLLOG B, CALLLOG C"));
    QTRY_COMPARE(h.server().sqlJobsRunning(), 1);
    slow.socket().abort();
  }
  QTRY_COMPARE(h.server().connectionCount(), 0);
  // The statement stopped with its client: the next one is not kept waiting
  // for a free thread, even with every thread asked for at once.
  std::vector<std::unique_ptr<WireClient>> clients;
  for (int i = 0; i < 6; ++i) {
    clients.push_back(std::make_unique<WireClient>(h.port()));
    clients.back()->send(OpenSql("PC1Admin", "SELECT COUNT(*) FROM CALLLOG"));
  }
  for (auto& c : clients) QCOMPARE(c->waitFor("#DATAEND#"), W("#DATASTART#¤RETSQL:¤%COUNT(*)|3000~%¤:RETSQL¤#DATAEND#"));
}

QTEST_GUILESS_MAIN(tst_ServerLoad)
#include "serverload_test.moc"
