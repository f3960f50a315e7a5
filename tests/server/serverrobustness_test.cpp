// How the server copes with the stream: requests split over reads or run
// together, garbage, endless input, vanished clients, many connections, and
// another connection that holds the database's write lock.
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
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
  void clientTextCannotForgeLogLines_data();
  void clientTextCannotForgeLogLines();
  void updateClientsThatNeverReadHoldOneSliceEach();
  void connectionsFromOneAddressAreCapped();
  void repeatedLogLinesAreSummedUp();
  void closedPeersAreNoticedWhileOverBudget();
  void largestUnfinishedMessagesAreGivenUpFirst_data();
  void largestUnfinishedMessagesAreGivenUpFirst();
  void unfinishedFirstMessagesGetASmallAllowance();
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
  WireClient silent(h.port());  // never a whole message: closed
  WireClient garbage(h.port());
  QCOMPARE(idle.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  stalled.send("\xA4GETSERVERVERSION:A:2:GETSERVERVE");
  garbage.send("hello\r\n");
  QVERIFY(stalled.waitForClose());
  QVERIFY(silent.waitForClose());
  QVERIFY(garbage.waitForClose());
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
  // From four machines: one address may hold at most 100.
  for (int i = 0; i < 200; ++i)
    clients.push_back(std::make_unique<WireClient>(h.port(), QHostAddress(QStringLiteral("127.0.0.%1").arg(2 + i % 4))));
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

void tst_ServerRobustness::clientTextCannotForgeLogLines_data() {
  QTest::addColumn<QByteArray>("request");
  const std::string forged = "2026-12-10 19:00:00 connection from 10.66.66.66:4444 (1 open)";
  QTest::newRow("bracketed identifier in OPENSQL")
      << QByteArray::fromStdString(OpenSql("A", "SELECT [x\n" + forged + "] FROM CALLLOG"));
  QTest::newRow("carriage return and terminal escape in OPENSQL")
      << QByteArray::fromStdString(OpenSql("A", "SELECT [x\r\x1b[2K" + forged + "] FROM CALLLOG"));
  QTest::newRow("client name logged when the connection closes")
      << QByteArray::fromStdString(GetServerVersion("PC\n" + forged + "\n", 2));
}

void tst_ServerRobustness::clientTextCannotForgeLogLines() {
  QFETCH(QByteArray, request);
  QString log;
  davu::server::ServerOptions o;
  o.logSink = [&log](const QString& line) { log += line; };
  auto h = std::make_unique<ServerHarness>(o);
  {
    WireClient c(h->port());
    c.send(request.toStdString());
    // Answered: the request has been handled and logged.
    QVERIFY(!c.exchange(GetKliniknamn("A", "2"), ":RETKLINIKNAMN\xA4").empty());
  }
  QTRY_COMPARE(h->server().connectionCount(), 0);
  QVERIFY(log.endsWith(QLatin1Char('\n')));
  const QStringList lines = log.chopped(1).split(QLatin1Char('\n'));
  QVERIFY(lines.size() >= 2);
  static const QRegularExpression stamped(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "));
  bool quoted = false;
  for (const QString& line : lines) {
    // Every line is the server's own, and holds no control character.
    QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
    QVERIFY2(!line.startsWith(QLatin1String("2026-12-10 19:00:00")), qPrintable(line));
    for (QChar ch : line) QVERIFY2(ch.unicode() >= 0x20 && ch.unicode() != 0x7f, qPrintable(line));
    quoted = quoted || line.contains(QLatin1String("\\x0a2026-12-10 19")) ||
             line.contains(QLatin1String("\\x1b[2K2026-12-10"));
  }
  QVERIFY2(quoted, qPrintable(log));  // the text is still there, escaped
}

void tst_ServerRobustness::updateClientsThatNeverReadHoldOneSliceEach() {
  QTemporaryDir updates;
  std::string program(24 << 20, '\0');
  for (std::size_t i = 0; i < program.size(); ++i) program[i] = static_cast<char>((i * 7919) >> 5);
  {
    QFile f(updates.filePath(QStringLiteral("davu-admin")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(program.data(), static_cast<qint64>(program.size())), qint64(program.size()));
  }
  davu::server::ServerOptions o;
  o.updateDir = updates.path();
  o.memoryBudget = 64u << 20;
  o.programFilePauseMs = 0;
  ServerHarness h(o);
  const long before = ResidentKiB();
  // Twelve update requests (288 MiB of replies) whose clients never read.
  std::vector<std::unique_ptr<WireClient>> idle;
  for (int i = 0; i < 12; ++i) {
    idle.push_back(std::make_unique<WireClient>(h.port()));
    idle.back()->socket().setReadBufferSize(1024);
    idle.back()->send(GetNewClient("davu-admin", "PC" + std::to_string(i), 2));
  }
  QTRY_VERIFY(std::all_of(idle.begin(), idle.end(), [](auto& c) { return c->socket().bytesAvailable() > 0; }));
  QVERIFY2(h.server().bufferedBytes() <= 12u * 300 * 1024,  // a slice each
           qPrintable(QStringLiteral("%1 bytes buffered").arg(h.server().bufferedBytes())));
  const long grewMiB = (ResidentKiB() - before) / 1024;
  QVERIFY2(grewMiB < 32, qPrintable(QStringLiteral("grew %1 MiB").arg(grewMiB)));
  // Another administrator is served, the file byte for byte.
  WireClient next(h.port());
  const std::string got = next.exchange(GetNewClient("davu-admin", "PC99", 2), "#DATAEND#");
  QVERIFY(got == W("#DATASTART#¤RETNEWCLIENT:") + program + W(":RETNEWCLIENT¤#DATAEND#"));
}

void tst_ServerRobustness::connectionsFromOneAddressAreCapped() {
  davu::server::ServerOptions o;
  o.maxPerAddress = 3;
  ServerHarness h(o);
  const QHostAddress host(QStringLiteral("127.0.0.2"));
  std::vector<std::unique_ptr<WireClient>> same;
  for (int i = 0; i < 3; ++i) {
    same.push_back(std::make_unique<WireClient>(h.port(), host));
    QCOMPARE(same.back()->exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  }
  WireClient fourth(h.port(), host);
  QCOMPARE(fourth.waitFor("."), W("ERROR: Servern har för många anslutningar från den här datorn."));
  QVERIFY(fourth.waitForClose());
  // Other machines are served; a slot freed is taken again.
  WireClient other(h.port(), QHostAddress(QStringLiteral("127.0.0.3")));
  QCOMPARE(other.exchange(GetServerVersion("B", 2), kVersionEnd), kVersionReply);
  same.pop_back();
  QTRY_COMPARE(h.server().connectionCount(), 3);
  WireClient again(h.port(), host);
  QCOMPARE(again.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
}

void tst_ServerRobustness::repeatedLogLinesAreSummedUp() {
  QStringList lines;
  davu::server::ServerOptions o;
  o.maxPerAddress = 1;
  o.logBurst = 3;
  o.logWindowMs = 200;
  o.logSink = [&lines](const QString& line) { lines << line; };
  ServerHarness h(o);
  const QHostAddress host(QStringLiteral("127.0.0.2"));
  WireClient first(h.port(), host);
  QCOMPARE(first.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  for (int i = 0; i < 12; ++i) {
    WireClient refused(h.port(), host);
    QVERIFY(refused.waitForClose());
  }
  WireClient other(h.port(), QHostAddress(QStringLiteral("127.0.0.3")));
  QCOMPARE(other.exchange(GetServerVersion("B", 2), kVersionEnd), kVersionReply);
  QTRY_VERIFY(!lines.filter(QStringLiteral("more from 127.0.0.2")).isEmpty());
  QCOMPARE(lines.filter(QStringLiteral("from 127.0.0.2:")).size(), 3);  // the connection and two refusals
  QVERIFY2(lines.filter(QStringLiteral("… and 10 more from 127.0.0.2\n")).size() == 1, qPrintable(lines.join("")));
  QVERIFY(!lines.filter(QStringLiteral("connection from 127.0.0.3:")).isEmpty());  // others are logged
  // A new window writes again.
  WireClient later(h.port(), host);
  QVERIFY(later.waitForClose());
  QTRY_COMPARE(lines.filter(QStringLiteral("from 127.0.0.2:")).size(), 4);
}

namespace {
// Clients that ask for lists and never read: their replies hold the budget.
void AskAndNeverRead(ServerHarness& h, std::vector<std::unique_ptr<WireClient>>& clients) {
  h.db().exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)"
              " INSERT INTO CALLABLES (NAME, FULLNAME) SELECT 'R' || i, 'Mottagningsrum ' || i FROM n");
  std::string burst;
  for (int i = 0; i < 15000; ++i) burst += GetAllCallables("X");
  for (auto& c : clients) {
    c->socket().setReadBufferSize(1024);
    c->send(burst);
  }
}
}  // namespace

void tst_ServerRobustness::closedPeersAreNoticedWhileOverBudget() {
  davu::server::ServerOptions o;
  o.memoryBudget = 6u << 20;
  o.heldOutput = 4u << 20;
  o.unreadOutputMs = 600000;
  o.stalledInputMs = 600000;
  ServerHarness h(o);
  std::vector<std::unique_ptr<WireClient>> flooders, nonReaders;
  for (int i = 0; i < 5; ++i) flooders.push_back(std::make_unique<WireClient>(h.port()));
  for (int i = 0; i < 2; ++i) nonReaders.push_back(std::make_unique<WireClient>(h.port()));
  QTRY_COMPARE(h.server().connectionCount(), 7);
  AskAndNeverRead(h, nonReaders);
  QTRY_VERIFY(h.server().overBudget());
  // More than the server reads ahead, all of it in its system buffers, then gone.
  for (auto& f : flooders) {
    f->send("#DATASTART#\xA4OPENSQL:X:" + std::string(100 * 1024, 'x'));
    QTRY_COMPARE(f->socket().bytesToWrite(), qint64(0));
  }
  flooders.clear();
  QTRY_COMPARE(h.server().connectionCount(), 2);
}

void tst_ServerRobustness::largestUnfinishedMessagesAreGivenUpFirst_data() {
  QTest::addColumn<bool>("memory");
  QTest::newRow("over the memory budget") << true;
  QTest::newRow("over the limit for unfinished messages") << false;
}

void tst_ServerRobustness::largestUnfinishedMessagesAreGivenUpFirst() {
  QFETCH(bool, memory);
  davu::server::ServerOptions o;
  (memory ? o.memoryBudget : o.unfinishedBudget) = 3584u * 1024;
  o.stalledInputMs = 600000;
  ServerHarness h(o);
  WireClient big(h.port()), small(h.port());
  for (WireClient* c : {&big, &small}) QCOMPARE(c->exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  big.send("#DATASTART#\xA4OPENSQL:X:" + std::string(3 << 20, 'x'));
  small.send("#DATASTART#\xA4OPENSQL:X:" + std::string(1 << 20, 'x'));
  QVERIFY(big.waitForClose(10000));
  QVERIFY(small.connected());
  WireClient next(h.port());
  QCOMPARE(next.exchange(GetServerVersion("B", 2), kVersionEnd), kVersionReply);
  QVERIFY(small.connected());
}

void tst_ServerRobustness::unfinishedFirstMessagesGetASmallAllowance() {
  ServerHarness h;
  std::size_t peak = 0;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] { peak = std::max(peak, h.server().bufferedBytes()); });
  sampler.start(1);
  const std::string unfinished = "#DATASTART#\xA4OPENSQL:X:" + std::string(1 << 20, 'x');
  // A client that has introduced itself may send a long request.
  WireClient known(h.port());
  QCOMPARE(known.exchange(GetServerVersion("A", 2), kVersionEnd), kVersionReply);
  known.send(unfinished);
  // Twenty that start with one are closed at 64 KiB.
  std::vector<std::unique_ptr<WireClient>> strangers;
  for (int i = 0; i < 20; ++i) {
    strangers.push_back(std::make_unique<WireClient>(h.port()));
    strangers.back()->send(unfinished);
  }
  for (auto& c : strangers) {
    QVERIFY(c->waitForClose());
    QCOMPARE(c->waitFor("."), W("ERROR: Begäran är för stor eller saknar slutmarkör."));
  }
  QTRY_VERIFY(h.server().bufferedBytes() >= (1u << 20));  // the known client's, all of it
  QVERIFY(known.connected());
  QVERIFY2(peak < 4u << 20, qPrintable(QStringLiteral("%1 bytes buffered").arg(peak)));
}

QTEST_GUILESS_MAIN(tst_ServerRobustness)
#include "serverrobustness_test.moc"
