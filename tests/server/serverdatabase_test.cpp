// What one client may do to the database, and to the other clients' share of
// it: how much it may store in the settings, how long it may hold the write
// lock, and how many SQL workers its reports may take.
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"

using namespace davu::proto;

class tst_ServerDatabase : public QObject {
  Q_OBJECT

 private slots:
  void settingsAreBounded_data();
  void settingsAreBounded();
  void oneClientsSlowReportsLeaveRoomForAnother();
};

void tst_ServerDatabase::settingsAreBounded_data() {
  QTest::addColumn<std::string>("key");
  QTest::addColumn<std::string>("value");
  QTest::addColumn<QString>("refusal");  // a piece of the ERROR reply; empty: saved
  const std::string big(64 * 1024, 'v');
  QTest::newRow("64 KiB") << std::string("Ny") << big << "";
  QTest::newRow("a byte more") << std::string("Ny") << big + "v" << "högst 64 KiB";
  QTest::newRow("7 MiB") << std::string("Ny") << std::string(7 << 20, 'v') << "högst 64 KiB";
  QTest::newRow("a new key in a full section") << std::string("Ny") << std::string("1") << "har redan 1000 nycklar";
  QTest::newRow("a key it holds, in a full section") << std::string("K7") << std::string("1") << "";
  QTest::newRow("a key name of 1025 characters") << std::string(1025, 'k') << std::string("1") << "högst 1024 tecken";
}

void tst_ServerDatabase::settingsAreBounded() {
  QFETCH(std::string, key);
  QFETCH(std::string, value);
  QFETCH(QString, refusal);
  ServerHarness h;
  const bool full = QByteArray(QTest::currentDataTag()).contains("full section");
  if (full)
    h.db().exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999)"
                " INSERT INTO SETTINGS SELECT 'DAVU', 'K' || i, 'x' FROM n");
  WireClient c(h.port());
  // Introduced first, as the admin is: a stranger's first message gets a small allowance.
  QVERIFY(!c.exchange(GetServerVersion("A", 2), ":RETSERVERVERSION\xA4").empty());
  const std::string got = c.change(SetIniTextGlobal("DAVU", key, value));
  const std::string stored = h.query(("SELECT length(VALUE) FROM SETTINGS WHERE ADDRESS = 'DAVU' AND KEYNAME = '" +
                                      key + "'").c_str());
  if (refusal.isEmpty()) {
    QCOMPARE(got, std::string());
    QCOMPARE(stored, std::to_string(value.size()));
  } else {
    QVERIFY2(got.starts_with("ERROR: ") && got.find(W(refusal.toStdString())) != std::string::npos, got.c_str());
    QCOMPARE(stored, std::string());
  }
  QCOMPARE(h.query("SELECT COUNT(*) FROM SETTINGS"), std::to_string(full ? 1000 : refusal.isEmpty() ? 1 : 0));
}

// One machine (127.0.0.2) sends three reports that run to the time limit,
// each on a connection of its own; another machine's short report is answered
// at once from the second worker, not after the first machine's reports.
void tst_ServerDatabase::oneClientsSlowReportsLeaveRoomForAnother() {
  davu::server::ServerOptions o;
  o.maxSqlJobs = 2;
  o.sqlTimeLimitMs = 60000;
  ServerHarness h(o);
  h.db().exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
              " INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP)"
              " SELECT 3, 7, '2024-05-03 09:00:00' FROM n");
  const std::string slow = OpenSql("PC1Admin", "SELECT COUNT(*) FROM CALLLOG A, CALLLOG B, CALLLOG C");
  std::vector<std::unique_ptr<WireClient>> first;
  for (int i = 0; i < 3; ++i) {
    first.push_back(std::make_unique<WireClient>(h.port(), QHostAddress("127.0.0.2")));
    first.back()->send(slow);
    if (i == 0) QTRY_COMPARE(h.server().sqlJobsRunning(), 1);
  }
  // The server answers in the order it reads: once this reply is back, it has
  // taken the three reports.
  WireClient barrier(h.port(), QHostAddress("127.0.0.4"));
  QVERIFY(!barrier.exchange(GetServerVersion("X", 2), ":RETSERVERVERSION\xA4").empty());
  WireClient other(h.port(), QHostAddress("127.0.0.3"));
  QCOMPARE(other.exchange(OpenSql("PC2Admin", "SELECT COUNT(*) AS N FROM CALLLOG WHERE LOPNR = 1"), "#DATAEND#"),
           W("#DATASTART#¤RETSQL:¤%N|1~%¤:RETSQL¤#DATAEND#"));
  QCOMPARE(h.server().sqlJobsRunning(), 1);  // the first machine's one report, still running
}

QTEST_GUILESS_MAIN(tst_ServerDatabase)
#include "serverdatabase_test.moc"
