// How the server copes with the stream: requests split over reads or run
// together, garbage, endless input, vanished clients, many connections, and
// another connection that holds the database's write lock.
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <random>
#include <vector>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"

using namespace davu::proto;

namespace {
const std::string kVersionReply = "\xA4RETSERVERVERSION:1.10.6:RETSERVERVERSION\xA4";
const std::string kVersionEnd = ":RETSERVERVERSION\xA4";

// The server's end of its one connection; null until it has taken it.
QTcpSocket* ServerEnd(ServerHarness& h) {
  return h.server().connectionCount() == 1 ? h.server().findChild<QTcpSocket*>() : nullptr;
}

bool Open(const QPointer<QTcpSocket>& end) { return end && end->state() == QAbstractSocket::ConnectedState; }

// SQLite's write lock on the server's database file, taken by a connection of
// the test's own (as a backup or an sqlite3 shell beside the server would).
class WriteLock {
 public:
  explicit WriteLock(ServerHarness& h) {
    sqlite3_open((h.dir() + QStringLiteral("/t.db")).toUtf8().constData(), &db_);
    held_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~WriteLock() {
    release();
    sqlite3_close(db_);
  }
  bool held() const { return held_; }
  void release() {
    if (held_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    held_ = false;
  }

 private:
  sqlite3* db_ = nullptr;
  bool held_ = false;
};

const std::string kBusy =
    W("ERROR: ändringen sparades inte: databasen är upptagen av en annan skrivning.");
}  // namespace

class tst_ServerRobustness : public QObject {
  Q_OBJECT

 private slots:
  void requestSplitOverReads_data();
  void requestSplitOverReads();
  void requestsRunTogetherAreAnsweredInOrder();
  void garbageAndUnknownTagsDoNotStopTheConnection();
  void endlessInputIsCutOff();
  void vanishedClientIsCleanedUp();
  void halfMessageThatStallsIsCutOff();
  void connectionsBeyondTheLimitAreTurnedAway();
  void twoHundredConnectionsAtOnce();
  void randomBytesNeverCrash();
  void changeWaitingForTheWriteLockHoldsNobodyElse();
  void changeThatCannotTakeTheWriteLockIsRefused_data();
  void changeThatCannotTakeTheWriteLockIsRefused();
};

void tst_ServerRobustness::requestSplitOverReads_data() {
  QTest::addColumn<int>("chunk");
  QTest::newRow("byte by byte") << 1;
  QTest::newRow("3 bytes") << 3;
  QTest::newRow("17 bytes") << 17;
}

void tst_ServerRobustness::requestSplitOverReads() {
  QFETCH(int, chunk);
  ServerHarness h;
  h.db().exec("INSERT INTO STATIONS (LOPNR, NAME) VALUES (1, 'PC')");
  WireClient c(h.port());
  QPointer<QTcpSocket> end;
  QTRY_VERIFY((end = ServerEnd(h)));
  QSignalSpy reads(end.data(), &QIODevice::readyRead);
  // A framed SQL request with ':' in its text, cut at every possible place.
  std::string req = OpenSql("PC1Admin", "SELECT NAME FROM STATIONS WHERE NAME <> '#:¤' ");
  for (std::size_t i = 0; i < req.size(); i += static_cast<std::size_t>(chunk)) {
    c.send(req.substr(i, static_cast<std::size_t>(chunk)));
    QVERIFY(reads.wait());  // the server reads each piece on its own
  }
  QCOMPARE(c.waitFor("#DATAEND#"), W("#DATASTART#¤RETSQL:¤%NAME|PC~%¤:RETSQL¤#DATAEND#"));
}

void tst_ServerRobustness::requestsRunTogetherAreAnsweredInOrder() {
  ServerHarness h;
  WireClient c(h.port());
  c.send(GetSmsSettings("A") + GetServerVersion("A", 2) + GetCallList(std::string(kAdminClientName), "2") +
         GetKliniknamn(std::string(kAdminClientName), "2"));
  QCOMPARE(c.waitFor(":RETKLINIKNAMN\xA4"),
           W("¤RETSMSSETTINGS::::RETSMSSETTINGS¤¤RETSERVERVERSION:1.10.6:RETSERVERVERSION¤"
             "¤RETCALLLIST~~RETCALLLIST¤¤RETKLINIKNAMN:Kliniken:RETKLINIKNAMN¤"));
}

void tst_ServerRobustness::garbageAndUnknownTagsDoNotStopTheConnection() {
  ServerHarness h;
  WireClient c(h.port());
  QCOMPARE(c.exchange("hello\r\n\xA4\xA4:" + GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  std::string unknown = c.change("\xA4GETFOO:x:GETFOO\xA4");
  QVERIFY2(unknown.starts_with("ERROR: "), unknown.c_str());
  QVERIFY(unknown.find("GETFOO") != std::string::npos);
  // A tag whose separator is wrong is not taken for the request.
  QVERIFY(c.change("\xA4GETSERVERVERSION$A$2$GETSERVERVERSION\xA4").starts_with("ERROR: "));
  QVERIFY(c.connected());
}

void tst_ServerRobustness::endlessInputIsCutOff() {
  davu::server::ServerOptions o;
  o.inputLimit = 64 * 1024;
  ServerHarness h(o);
  WireClient c(h.port());
  QPointer<QTcpSocket> end;
  QTRY_VERIFY((end = ServerEnd(h)));
  const std::string junk(16 * 1024, 'x');
  c.send("#DATASTART#\xA4OPENSQL:A:SELECT ");
  // Piece by piece, each read by the server, until it closes the connection.
  for (int i = 0; i < 16 && c.connected() && Open(end); ++i) {
    QSignalSpy reads(end.data(), &QIODevice::readyRead);
    c.send(junk);
    QTRY_VERIFY(!reads.isEmpty() || !Open(end));
  }
  QVERIFY(c.waitForClose());
  QTRY_COMPARE(h.server().connectionCount(), 0);
  QCOMPARE(c.waitFor("."), W("ERROR: Begäran är för stor eller saknar slutmarkör."));
  // Others are served as before.
  WireClient next(h.port());
  QCOMPARE(next.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
}

void tst_ServerRobustness::vanishedClientIsCleanedUp() {
  ServerHarness h;
  {
    WireClient c(h.port());
    c.send("#DATASTART#\xA4OPENSQL:A:SELECT LOPNR FR");
    QTRY_COMPARE(h.server().connectionCount(), 1);
    c.socket().abort();
  }
  QTRY_COMPARE(h.server().connectionCount(), 0);
}

void tst_ServerRobustness::halfMessageThatStallsIsCutOff() {
  davu::server::ServerOptions o;
  o.stalledInputMs = 100;
  ServerHarness h(o);
  WireClient idle(h.port());  // idle between messages: kept
  WireClient stalled(h.port());
  QCOMPARE(idle.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  stalled.send("\xA4GETSERVERVERSION:A:2:GETSERVERVE");
  QVERIFY(stalled.waitForClose());
  QCOMPARE(idle.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
}

void tst_ServerRobustness::connectionsBeyondTheLimitAreTurnedAway() {
  davu::server::ServerOptions o;
  o.maxConnections = 2;
  ServerHarness h(o);
  WireClient a(h.port()), b(h.port());
  QCOMPARE(a.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  QCOMPARE(b.exchange(GetServerVersion("B", 2), kVersionEnd), kVersionReply);
  WireClient c(h.port());
  QCOMPARE(c.waitFor("."), W("ERROR: Servern har för många anslutningar."));
  QVERIFY(c.waitForClose());
  QCOMPARE(a.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
}

void tst_ServerRobustness::twoHundredConnectionsAtOnce() {
  ServerHarness h;
  std::vector<std::unique_ptr<WireClient>> clients;
  for (int i = 0; i < 200; ++i) clients.push_back(std::make_unique<WireClient>(h.port()));
  for (int i = 0; i < 200; ++i) clients[static_cast<std::size_t>(i)]->send(GetServerVersion("PC" + std::to_string(i), 0));
  for (auto& c : clients) QCOMPARE(c->waitFor(kVersionEnd), kVersionReply);
  QCOMPARE(h.server().connectionCount(), 200);
  clients.clear();
  QTRY_COMPARE(h.server().connectionCount(), 0);
}

void tst_ServerRobustness::randomBytesNeverCrash() {
  ServerHarness h;
  std::mt19937 rng(7);
  const std::vector<std::string> pieces = {
      "\xA4", ":", "$", "~", "%\xA4", "\xA4%", "#DATASTART#", "#DATAEND#", "GETALLCALLABLES",
      "REGISTERUPATECALLABLE", "REGISTERUPATEMACHINE", "POSTCALLABLESLIST", "OPENSQL", "EXECSQL",
      "SETINITEXT", "GETINITEXT", "\xA4" "DELETE_ME\xA4", "-1", "17", "SELECT * FROM CALLLOG", "#2024-01-01#", "x"};
  for (int round = 0; round < 50; ++round) {
    WireClient c(h.port());
    std::string junk;
    int n = std::uniform_int_distribution<int>(1, 60)(rng);
    for (int i = 0; i < n; ++i) {
      if (rng() % 4 == 0) junk += static_cast<char>(rng() % 256);
      else junk += pieces[rng() % pieces.size()];
    }
    c.send(junk);
    c.socket().disconnectFromHost();  // the server still reads what was sent
    QVERIFY(c.waitForClose());
  }
  QTRY_COMPARE(h.server().connectionCount(), 0);
  WireClient c(h.port());
  QCOMPARE(c.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
}

void tst_ServerRobustness::changeWaitingForTheWriteLockHoldsNobodyElse() {
  davu::server::ServerOptions o;
  o.writeLockWaitMs = 60000;  // the changes wait for the lock as long as the test holds it
  ServerHarness h(o);
  h.db().exec("INSERT INTO STATIONS (LOPNR, NAME) VALUES (1, 'PC')");
  WriteLock lock(h);
  QVERIFY(lock.held());
  {
    // A client that leaves while its change waits (the change holds its
    // share of the buffers): the change is still made.
    WireClient gone(h.port());
    gone.send(SetIniTextGlobal("Fonster", "Hojd", "480"));
    QTRY_VERIFY(h.server().bufferedBytes() > 0);
    gone.socket().abort();
    QTRY_COMPARE(h.server().connectionCount(), 0);
  }
  // Each saver asks for a change, then reads what it changed and its version.
  WireClient setting(h.port()), resource(h.port()), other(h.port()), report(h.port());
  setting.send(SetIniTextGlobal("Fonster", "Bredd", "640") + GetIniTextGlobal("Fonster", "Bredd") +
               GetServerVersion("S", 2));
  resource.send(RegisterUpdateCallable({-1, "Rum 1", "Rum ett", 255, false, "", true}) +
                GetAllCallables("R") + GetServerVersion("R", 2));
  // Others are served while both changes wait: version requests, and a
  // report, which reads beside the writer.
  for (int i = 0; i < 20; ++i) QCOMPARE(other.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  QCOMPARE(report.exchange(OpenSql("PC1Admin", "SELECT NAME FROM STATIONS"), "#DATAEND#"),
           W("#DATASTART#¤RETSQL:¤%NAME|PC~%¤:RETSQL¤#DATAEND#"));
  // Nothing the savers asked after their changes has been answered before them.
  QCOMPARE(setting.socket().bytesAvailable(), 0);
  QCOMPARE(resource.socket().bytesAvailable(), 0);
  QCOMPARE(h.query("SELECT COUNT(*) FROM SETTINGS"), "0");

  lock.release();
  QCOMPARE(setting.waitFor(kVersionEnd), W("¤RETINITEXT:640:RETINITEXT¤") + kVersionReply);
  QTRY_COMPARE(h.query("SELECT KEYNAME || '=' || VALUE FROM SETTINGS ORDER BY KEYNAME"), "Bredd=640;Hojd=480");
  const std::string resources = resource.waitFor(kVersionEnd);
  QVERIFY2(resources.starts_with(W("¤RETALLCALLABLES")) && resources.find(W("Rum ett")) != std::string::npos &&
               resources.ends_with(kVersionReply),
           resources.c_str());
}

void tst_ServerRobustness::changeThatCannotTakeTheWriteLockIsRefused_data() {
  QTest::addColumn<std::string>("change");
  QTest::addColumn<QString>("unchanged");  // counts no rows while the change is not made
  QTest::newRow("setting") << SetIniTextGlobal("Fonster", "Bredd", "640")
                           << "SELECT COUNT(*) FROM SETTINGS";
  QTest::newRow("SMS account") << PostSmsSettings("konto", "hemligt", "17")
                               << "SELECT COUNT(*) FROM SMSSETTINGS";
  QTest::newRow("resource") << RegisterUpdateCallable({-1, "Rum 1", "Rum ett", 255, false, "", true})
                            << "SELECT COUNT(*) FROM CALLABLES WHERE NAME = 'Rum 1'";
  QTest::newRow("client") << RegisterUpdateMachine({"PC2", 0, "Reception", 255, "", "", -1})
                          << "SELECT COUNT(*) FROM STATIONS WHERE NAME = 'PC2'";
  QTest::newRow("client's resources") << PostCallablesList(kAdminClientName, 2, 1, {7})
                                      << "SELECT COUNT(*) FROM STATIONCALLABLES";
}

void tst_ServerRobustness::changeThatCannotTakeTheWriteLockIsRefused() {
  QFETCH(std::string, change);
  QFETCH(QString, unchanged);
  davu::server::ServerOptions o;
  o.writeLockWaitMs = 100;
  ServerHarness h(o);
  h.db().exec("INSERT INTO STATIONS (LOPNR, NAME) VALUES (1, 'PC');"
              "INSERT INTO CALLABLES (LOPNR, NAME) VALUES (7, 'R7');");
  {
    WriteLock lock(h);
    QVERIFY(lock.held());
    WireClient c(h.port());
    // The refusal says why in Swedish, and the request after the change is
    // answered after it.
    c.send(change + GetServerVersion("A", 2));
    QCOMPARE(c.waitFor("."), kBusy);
    QCOMPARE(c.waitFor(kVersionEnd), W(" Försök igen om en stund.") + kVersionReply);
    QCOMPARE(h.query(unchanged.toUtf8().constData()), "0");
  }
  // Once the lock is free the same change is made on the same kind of connection.
  WireClient c(h.port());
  QCOMPARE(c.change(change), "");
  QCOMPARE(h.query(unchanged.toUtf8().constData()), "1");
}

QTEST_GUILESS_MAIN(tst_ServerRobustness)
#include "serverrobustness_test.moc"
