// Every request of the catalogue against a real davu-server through a real
// socket, with the replies compared byte for byte. Requests are built with
// the client's own builders, so the server is tested on what the client sends.
#include <QFile>
#include <QTest>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"
#include "protocol/Envelope.h"

using namespace davu::proto;

namespace {
const std::string kBarrierEnd = ":RETSERVERVERSION\xA4";

std::string Callables(WireClient& c) {
  return c.exchange(GetAllCallables("PC1Admin"), ":RETALLCALLABLES\xA4");
}
std::string Machines(WireClient& c) {
  return c.exchange(GetAllMachines("PC1Admin"), ":RETALLMACHINES\xA4");
}
}  // namespace

class tst_DavuServer : public QObject {
  Q_OBJECT

 private slots:
  void versionAndClinicName();
  void resourcesAddChangeSaveDelete();
  void resourceRecordThatCannotBeReadIsRefused();
  void clientsWithConnectedFlag();
  void clientResourcesAndCallList();
  void settingsUnderMachineAndGlobalAddress();
  void smsAccount();
  void reportAndConfirmationSql();
  void queryFailingAfterRowsEndsNoReply();
  void programFileForUpdate();
  void programFileRefusals_data();
  void programFileRefusals();
  void unknownRequestsAreRefused_data();
  void unknownRequestsAreRefused();
};

void tst_DavuServer::versionAndClinicName() {
  davu::server::ServerOptions o;
  o.version = QStringLiteral("1.10.9");
  o.clinic = QStringLiteral("Vårdcentralen Åby");
  ServerHarness h(o);
  WireClient c(h.port());
  // Sent back to back, as the client does after an accepted version.
  c.send(GetServerVersion("PC1Admin", 2) + GetKliniknamn(std::string(kAdminClientName), "2"));
  QCOMPARE(c.waitFor(":RETKLINIKNAMN\xA4"),
           W("¤RETSERVERVERSION:1.10.9:RETSERVERVERSION¤¤RETKLINIKNAMN:Vårdcentralen Åby:RETKLINIKNAMN¤"));
}

void tst_DavuServer::resourcesAddChangeSaveDelete() {
  ServerHarness h;
  WireClient c(h.port());
  QCOMPARE(Callables(c), W("¤RETALLCALLABLES::RETALLCALLABLES¤"));

  CallableUpdate a{-1, W("R1"), W("Dr Åsa Öst"), 255, true, "070-1", true};
  CallableUpdate b{-1, "LAB", "Lab", -5, false, "", false};
  QCOMPARE(c.change(RegisterUpdateCallable(a)), std::string());
  QCOMPARE(c.change(RegisterUpdateCallable(b)), std::string());
  QCOMPARE(Callables(c), W("¤RETALLCALLABLES:R1:1:Dr Åsa Öst:255:-1:070-1:T:LAB:2:Lab:-5:0::F:RETALLCALLABLES¤"));

  // "Spara" on the tab: several records in one message, one ':' more at the end.
  a.lopnr = 1;
  a.active = false;
  b.lopnr = 2;
  b.active = true;
  b.name = W("LÄB");
  QCOMPARE(c.change(RegisterUpdateCallables({a, b})), std::string());
  QCOMPARE(Callables(c), W("¤RETALLCALLABLES:R1:1:Dr Åsa Öst:255:-1:070-1:F:LÄB:2:Lab:-5:0::T:RETALLCALLABLES¤"));

  QCOMPARE(c.change(RegisterDeleteCallable(1, W("Dr Åsa Öst"), 255)), std::string());
  QCOMPARE(Callables(c), W("¤RETALLCALLABLES:LÄB:2:Lab:-5:0::T:RETALLCALLABLES¤"));
  // The deleted resource stays for the call log's sake, hidden from the lists.
  QCOMPARE(h.query("SELECT LOPNR, DELETED FROM CALLABLES ORDER BY LOPNR"), std::string("1|1;2|0"));

  a.lopnr = 1;  // changing a deleted resource
  QVERIFY(c.change(RegisterUpdateCallable(a)).starts_with("ERROR: "));
}

void tst_DavuServer::resourceRecordThatCannotBeReadIsRefused() {
  ServerHarness h;
  WireClient c(h.port());
  CallableUpdate colon{-1, "R:1", "Rum", 0, false, "", true};
  CallableUpdate empty{-1, " ", "Rum", 0, false, "", true};
  CallableUpdate good{-1, "R2", "Rum 2", 0, false, "", true};
  QVERIFY(c.change(RegisterUpdateCallable(colon)).starts_with("ERROR: "));
  QVERIFY(c.change(RegisterUpdateCallable(empty)).starts_with("ERROR: "));
  // All or nothing: a bad record in a save keeps the good one out as well.
  QVERIFY(c.change(RegisterUpdateCallables({good, colon})).starts_with("ERROR: "));
  // So does a delete of a resource that is not there, after the save.
  std::string save = RegisterUpdateCallables({good});
  std::string del = RegisterDeleteCallable(99, "Rum", 0);
  std::string both = save.substr(0, save.size() - ClosingMarker("REGISTERUPATECALLABLE").size()) +
                     del.substr(OpeningMarker("REGISTERUPATECALLABLE").size());
  QVERIFY(c.change(both).starts_with("ERROR: "));
  QCOMPARE(Callables(c), W("¤RETALLCALLABLES::RETALLCALLABLES¤"));
}

void tst_DavuServer::clientsWithConnectedFlag() {
  ServerHarness h;
  WireClient admin(h.port());
  MachineUpdate m{W("KALLA-1"), 0, W("Väntrum"), 12345, "IMEI9", "x", -1};
  QCOMPARE(admin.change(RegisterUpdateMachine(m)), std::string());
  QCOMPARE(Machines(admin), W("¤RETALLMACHINES:KALLA-1:1:Väntrum:12345:0:0:IMEI9:x:RETALLMACHINES¤"));

  {
    // The call client introduces itself (name matched regardless of case).
    WireClient caller(h.port());
    QVERIFY(!caller.exchange(GetServerVersion("kalla-1", 0), kBarrierEnd).empty());
    QCOMPARE(Machines(admin), W("¤RETALLMACHINES:KALLA-1:1:Väntrum:12345:0:-1:IMEI9:x:RETALLMACHINES¤"));
  }
  QTRY_COMPARE(h.server().connectionCount(), 1);
  QCOMPARE(Machines(admin), W("¤RETALLMACHINES:KALLA-1:1:Väntrum:12345:0:0:IMEI9:x:RETALLMACHINES¤"));

  m.lopnr = 1;
  m.machineType = 1;
  m.friendlyName = W("Entrén");
  QCOMPARE(admin.change(RegisterUpdateMachine(m)), std::string());
  MachineUpdate twin{W("KALLA-1"), 0, "Annan", 0, "", "", -1};
  QVERIFY(admin.change(RegisterUpdateMachine(twin)).starts_with("ERROR: "));
  QCOMPARE(Machines(admin), W("¤RETALLMACHINES:KALLA-1:1:Entrén:12345:1:0:IMEI9:x:RETALLMACHINES¤"));

  QCOMPARE(admin.change(RegisterDeleteMachine(W("KALLA-1"), 1, 12345)), std::string());
  QCOMPARE(Machines(admin), W("¤RETALLMACHINES::RETALLMACHINES¤"));
}

void tst_DavuServer::clientResourcesAndCallList() {
  ServerHarness h;
  WireClient c(h.port());
  for (const char* n : {"R1", "R2", "R3"})
    QCOMPARE(c.change(RegisterUpdateCallable({-1, n, std::string("Rum ") + n, 7, false, "", true})),
             std::string());
  QCOMPARE(c.change(RegisterUpdateMachine({"PC-A", 0, "Exp", 0, "", "", -1})), std::string());

  QCOMPARE(c.change(PostCallablesList("PC1Admin", 2, 1, {3, 1, 2})), std::string());
  QCOMPARE(c.exchange(GetStationCallables("PC-A"), ":RETSTATIONCALLABLES\xA4"),
           W("¤RETSTATIONCALLABLES:3:0:1:1:2:2:RETSTATIONCALLABLES¤"));
  // The older list: ten "~"-separated fields per resource, the number second.
  QCOMPARE(c.exchange(GetCallList("PC-A", "0"), "~RETCALLLIST\xA4"),
           W("¤RETCALLLIST~R3~3~Rum R3~7~0~~T~0~1~PC-A~R1~1~Rum R1~7~0~~T~1~1~PC-A~"
             "R2~2~Rum R2~7~0~~T~2~1~PC-A~RETCALLLIST¤"));
  QCOMPARE(c.exchange(GetCallList(std::string(kAdminClientName), "2"), "~RETCALLLIST\xA4"),
           W("¤RETCALLLIST~~RETCALLLIST¤"));

  // A deleted resource leaves the client's list; an unknown client has none.
  QCOMPARE(c.change(RegisterDeleteCallable(1, "Rum R1", 7)), std::string());
  QCOMPARE(c.exchange(GetStationCallables("PC-A"), ":RETSTATIONCALLABLES\xA4"),
           W("¤RETSTATIONCALLABLES:3:0:2:1:RETSTATIONCALLABLES¤"));
  QCOMPARE(c.exchange(GetStationCallables("NOSUCH"), ":RETSTATIONCALLABLES\xA4"),
           W("¤RETSTATIONCALLABLES::RETSTATIONCALLABLES¤"));

  // A position that is not a whole number leaves the resource where it
  // stands in the list: "9x" is not read as 9.
  QCOMPARE(c.change(W("¤POSTCALLABLESLIST:PC1Admin:2:1:3:9x:2:1:POSTCALLABLESLIST¤")), std::string());
  QCOMPARE(c.exchange(GetStationCallables("PC-A"), ":RETSTATIONCALLABLES\xA4"),
           W("¤RETSTATIONCALLABLES:3:0:2:1:RETSTATIONCALLABLES¤"));

  QCOMPARE(c.change(PostCallablesList("PC1Admin", 2, 1, {})), std::string());
  QCOMPARE(c.exchange(GetStationCallables("PC-A"), ":RETSTATIONCALLABLES\xA4"),
           W("¤RETSTATIONCALLABLES::RETSTATIONCALLABLES¤"));
  QVERIFY(c.change(PostCallablesList("PC1Admin", 2, 99, {2})).starts_with("ERROR: "));
}

void tst_DavuServer::settingsUnderMachineAndGlobalAddress() {
  ServerHarness h;
  WireClient c(h.port());
  auto read = [&](const std::string& req) { return c.exchange(req, ":RETINITEXT\xA4"); };
  QCOMPARE(c.change(SetIniTextForMachine("PC1", "DAVU", "RefreshConnection", "-1")), std::string());
  QCOMPARE(c.change(SetIniTextGlobal("ServerSettings", "UpdateServerPort", "4001")), std::string());
  QCOMPARE(c.change(SetIniTextGlobal("KlientSettings", "Style", W("Blå:mörk"))), std::string());

  QCOMPARE(read(GetIniTextForMachine("PC1", "DAVU", "RefreshConnection")),
           W("¤RETINITEXT:-1:RETINITEXT¤"));
  QCOMPARE(read(GetIniTextForMachine("pc1", "davu", "refreshconnection")),
           W("¤RETINITEXT:-1:RETINITEXT¤"));
  QCOMPARE(read(GetIniTextGlobal("DAVU", "RefreshConnection")), W("¤RETINITEXT::RETINITEXT¤"));
  QCOMPARE(read(GetIniTextForMachine("PC2", "ServerSettings", "UpdateServerPort")),
           W("¤RETINITEXT::RETINITEXT¤"));
  QCOMPARE(read(GetIniTextGlobal("ServerSettings", "UpdateServerPort")),
           W("¤RETINITEXT:4001:RETINITEXT¤"));
  // A value is stored whole; the client reads it up to its first ':'.
  QCOMPARE(h.query("SELECT VALUE FROM SETTINGS WHERE KEYNAME = 'Style'"), std::string("Blå:mörk"));
  QCOMPARE(read(GetIniTextGlobal("KlientSettings", "Style")), W("¤RETINITEXT:Blå:mörk:RETINITEXT¤"));
}

void tst_DavuServer::smsAccount() {
  ServerHarness h;
  WireClient c(h.port());
  auto get = [&] { return c.exchange(GetSmsSettings("PC1Admin"), ":RETSMSSETTINGS\xA4"); };
  QCOMPARE(get(), W("¤RETSMSSETTINGS::::RETSMSSETTINGS¤"));
  QCOMPARE(c.change(PostSmsSettings("anv", W("lösen"), "12345")), std::string());
  QCOMPARE(get(), W("¤RETSMSSETTINGS:anv:lösen:12345:RETSMSSETTINGS¤"));
  QVERIFY(c.change(PostSmsSettings("anv", "a:b", "1")).starts_with("ERROR: "));
  QCOMPARE(get(), W("¤RETSMSSETTINGS:anv:lösen:12345:RETSMSSETTINGS¤"));
}

void tst_DavuServer::reportAndConfirmationSql() {
  ServerHarness h;
  h.db().exec(
      "INSERT INTO STATIONS (LOPNR, NAME, FRIENDLYNAME) VALUES (3, 'PC3', 'Reception'), (5, 'PC5', 'Väntrum');"
      "INSERT INTO CALLABLES (LOPNR, NAME, FULLNAME) VALUES (7, 'R7', 'Rum 7'), (8, 'R8', 'Rum 8');"
      "INSERT INTO CALLLOG (LOPNR, STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, COMINGTSTAMP, CONFIRMTSTAMP, SMSSENT) VALUES"
      " (10, 3, 7, '2024-04-30 23:59:59', NULL, '2024-05-01 00:01:00', 0),"
      " (11, 5, 7, '2024-05-01 00:00:00', NULL, '2024-05-01 00:02:00', 1),"
      " (12, 3, 7, '2024-05-03 09:00:00', '2024-05-03 09:01:00', NULL, 0),"
      " (13, 3, 8, '2024-05-03 08:00:00', NULL, '2024-05-03 08:05:00', 0),"
      " (14, 3, 7, '2024-05-31 23:59:59', NULL, '2024-06-01 00:00:00', 0),"
      " (15, 5, 7, '2024-05-03 10:00:00', NULL, NULL, 1),"
      " (16, 3, 7, '2024-06-01 00:00:00', NULL, '2024-06-01 00:00:01', 0);");
  WireClient c(h.port());
  const std::string head =
      "SELECT STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME, CALLLOG.CALLTSTAMP, CALLLOG.CONFIRMTSTAMP, "
      "CALLLOG.SMSSENT FROM STATIONS, CALLABLES, CALLLOG WHERE STATIONS.LOPNR = CALLLOG.STATIONSLOPNR "
      "AND CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR";
  // The statistics window's example: clients 3 and 5, resource 7, May, confirmed only.
  std::string stats = head +
      " AND ( STATIONS.LOPNR = 3 OR  STATIONS.LOPNR = 5) AND ( CALLABLES.LOPNR = 7) AND CALLTSTAMP >= "
      "#2024-05-01# AND CALLTSTAMP < #2024-06-01#  AND NOT CONFIRMTSTAMP IS NULL ORDER BY CALLTSTAMP, "
      "STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME";
  QCOMPARE(c.exchange(OpenSql("PC1Admin", W(stats)), "#DATAEND#"),
           W("#DATASTART#¤RETSQL:"
             "¤%FRIENDLYNAME|Väntrum~FULLNAME|Rum 7~CALLTSTAMP|2024-05-01 00:00:00~"
             "CONFIRMTSTAMP|2024-05-01 00:02:00~SMSSENT|Ja~%¤:"
             "¤%FRIENDLYNAME|Reception~FULLNAME|Rum 7~CALLTSTAMP|2024-05-31 23:59:59~"
             "CONFIRMTSTAMP|2024-06-01 00:00:00~SMSSENT|Nej~%¤"
             ":RETSQL¤#DATAEND#"));

  // The active-calls window on 2024-05-03, then the confirmation of 12 and 15.
  const std::string active =
      "SELECT STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME, CALLLOG.LOPNR, CALLLOG.CALLTSTAMP, "
      "CALLLOG.COMINGTSTAMP, CALLLOG.SMSSENT FROM STATIONS, CALLABLES, CALLLOG WHERE STATIONS.LOPNR = "
      "CALLLOG.STATIONSLOPNR AND CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR AND CALLLOG.CONFIRMTSTAMP IS "
      "NULL  AND CALLTSTAMP >= #2024-05-03# AND CALLTSTAMP < #2024-05-04#  ORDER BY CALLTSTAMP, "
      "STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME";
  QCOMPARE(c.exchange(OpenSql("PC1Admin", active), "#DATAEND#"),
           W("#DATASTART#¤RETSQL:"
             "¤%FRIENDLYNAME|Reception~FULLNAME|Rum 7~LOPNR|12~CALLTSTAMP|2024-05-03 09:00:00~"
             "COMINGTSTAMP|2024-05-03 09:01:00~SMSSENT|Nej~%¤:"
             "¤%FRIENDLYNAME|Väntrum~FULLNAME|Rum 7~LOPNR|15~CALLTSTAMP|2024-05-03 10:00:00~"
             "COMINGTSTAMP|~SMSSENT|Ja~%¤"
             ":RETSQL¤#DATAEND#"));
  QCOMPARE(c.change(ExecSql("PC1Admin",
                            "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 10:22:33# WHERE  ( LOPNR = 12 OR  LOPNR = 15 )")),
           std::string());
  QCOMPARE(h.query("SELECT LOPNR, CONFIRMTSTAMP FROM CALLLOG WHERE LOPNR IN (12, 15) ORDER BY LOPNR"),
           std::string("12|2024-05-03 10:22:33;15|2024-05-03 10:22:33"));
  QCOMPARE(c.exchange(OpenSql("PC1Admin", active), "#DATAEND#"),
           W("#DATASTART#¤RETSQL::RETSQL¤#DATAEND#"));
  // A midnight confirmation comes without its time of day.
  QCOMPARE(c.change(ExecSql("PC1Admin", "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-04# WHERE  ( LOPNR = 12 )")),
           std::string());
  QCOMPARE(h.query("SELECT CONFIRMTSTAMP FROM CALLLOG WHERE LOPNR = 12"), std::string("2024-05-04 00:00:00"));
}

// A query that fails after rows went out: those rows end their frame but
// never their reply, and the error follows. However a client's reads cut
// the bytes, it never holds a finished reply of a query that failed.
void tst_DavuServer::queryFailingAfterRowsEndsNoReply() {
  ServerHarness h;
  std::string calls = "INSERT INTO CALLLOG (LOPNR, STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) VALUES ";
  for (int i = 1; i <= 3000; ++i)
    calls += (i > 1 ? ", (" : "(") + std::to_string(i) + ", 3, 7, '2024-05-03 09:00:00')";
  h.db().exec((std::string("INSERT INTO STATIONS (LOPNR, NAME, FRIENDLYNAME) VALUES (3, 'PC3', '") +
               std::string(200, 'R') + "'); INSERT INTO CALLABLES (LOPNR, NAME, FULLNAME) VALUES (7, 'R7', 'Rum 7'); " +
               calls + ";")
                  .c_str());
  WireClient c(h.port());
  // Rows of 2,900 calls (over 600 kB, sent as they come), then an integer
  // overflow.
  const std::string got = c.change(OpenSql(
      "PC1Admin",
      "SELECT STATIONS.FRIENDLYNAME, abs(CASE WHEN CALLLOG.LOPNR < 2900 THEN 1 ELSE -9223372036854775807 - 1 END) "
      "FROM STATIONS, CALLLOG WHERE STATIONS.LOPNR = CALLLOG.STATIONSLOPNR"));
  QVERIFY2(got.starts_with(W("#DATASTART#¤RETSQL:¤%FRIENDLYNAME|")), got.substr(0, 100).c_str());
  QVERIFY(got.size() > 600000);
  QVERIFY(got.find(W(":RETSQL¤")) == std::string::npos);
  const std::size_t end = got.find("#DATAEND#");
  QVERIFY(end != std::string::npos);
  QVERIFY2(got.substr(end + 9).starts_with("ERROR: "), got.substr(end).c_str());
}

void tst_DavuServer::programFileForUpdate() {
  QTemporaryDir updates;
  std::string program;
  for (int i = 0; i < 256; ++i) program += static_cast<char>(i);  // every byte value travels raw
  program += std::string(300000, 'x');
  {
    QFile f(updates.filePath(QStringLiteral("davu-admin")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(program.data(), static_cast<qint64>(program.size()));
  }
  davu::server::ServerOptions o;
  o.updateDir = updates.path();
  ServerHarness h(o);
  WireClient c(h.port());
  // The update check sends both requests at once.
  c.send(GetServerVersion("PC1Admin", 2) + GetNewClient("davu-admin", "PC1Admin", 2));
  std::string got = c.waitFor("#DATAEND#", 10000);
  QCOMPARE(got, W("¤RETSERVERVERSION:1.10.6:RETSERVERVERSION¤#DATASTART#¤RETNEWCLIENT:") + program +
                    W(":RETNEWCLIENT¤#DATAEND#"));
  // A file replaced while the server runs is served as it is now.
  {
    QFile f(updates.filePath(QStringLiteral("davu-admin")));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("ny version");
  }
  QCOMPARE(c.exchange(GetNewClient("davu-admin", "PC1Admin", 2), "#DATAEND#"),
           W("#DATASTART#¤RETNEWCLIENT:ny version:RETNEWCLIENT¤#DATAEND#"));
}

void tst_DavuServer::programFileRefusals_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<bool>("withFolder");
  QTest::newRow("no update folder") << "davu-admin" << QByteArray("x") << false;
  QTest::newRow("missing file") << "davu-admin.exe" << QByteArray("x") << true;
  QTest::newRow("parent folder") << "../t.db" << QByteArray("x") << true;
  QTest::newRow("sub folder") << "sub/davu-admin" << QByteArray("x") << true;
  QTest::newRow("hidden file") << ".davu-admin" << QByteArray("x") << true;
  QTest::newRow("holds end marker") << "davu-admin" << QByteArray("ab#DATAEND#cd") << true;
  QTest::newRow("holds start marker") << "davu-admin" << QByteArray("#DATASTART#") << true;
  QTest::newRow("holds opening tag") << "davu-admin" << QByteArray("x\xA4RETNEWCLIENT:y") << true;
  QTest::newRow("holds closing tag") << "davu-admin" << QByteArray("x:RETNEWCLIENT\xA4y") << true;
  // The file is read for markers a slice (1 MiB) at a time: one across two.
  QTest::newRow("marker across read slices") << "davu-admin" << QByteArray((1 << 20) - 4, 'x') + "#DATAEND#y" << true;
  QTest::newRow("link out of the folder") << "outside" << QByteArray("x") << true;
}

void tst_DavuServer::programFileRefusals() {
  QFETCH(QString, file);
  QFETCH(QByteArray, content);
  QFETCH(bool, withFolder);
  QTemporaryDir updates;
  QDir().mkpath(updates.filePath(QStringLiteral("sub")));
  for (const char* n : {"davu-admin", "sub/davu-admin", ".davu-admin"}) {
    QFile f(updates.filePath(QString::fromLatin1(n)));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
  }
  QTemporaryDir elsewhere;
  {
    QFile f(elsewhere.filePath(QStringLiteral("davu-admin")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
  }
  QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("davu-admin")), updates.filePath(QStringLiteral("outside"))));
  davu::server::ServerOptions o;
  if (withFolder) o.updateDir = updates.path();
  ServerHarness h(o);
  WireClient c(h.port());
  std::string got = c.change(GetNewClient(file.toStdString(), "PC1Admin", 2));
  QVERIFY2(got.starts_with("ERROR: "), got.c_str());
  QVERIFY(got.find("RETNEWCLIENT") == std::string::npos);
  if (withFolder) QVERIFY2(got.find(file.toStdString()) != std::string::npos, got.c_str());
}

void tst_DavuServer::unknownRequestsAreRefused_data() {
  QTest::addColumn<QByteArray>("request");
  QTest::addColumn<QByteArray>("tag");
  QTest::newRow("unknown tag") << QByteArray("\xA4GETFOO:x:GETFOO\xA4") << QByteArray("GETFOO");
  // The wire's tag is spelt REGISTERUPATECALLABLE.
  QTest::newRow("tag spelt right") << QByteArray("\xA4REGISTERUPDATECALLABLE:1:x:REGISTERUPDATECALLABLE\xA4")
                                   << QByteArray("REGISTERUPDATECALLABLE");
  QTest::newRow("EXECSQL with colon") << QByteArray("\xA4" "EXECSQL:PC1:DELETE FROM CALLS:EXECSQL\xA4")
                                      << QByteArray("EXECSQL");
  QTest::newRow("OPENSQL with dollar") << QByteArray("\xA4OPENSQL$PC1$SELECT 1$OPENSQL\xA4")
                                       << QByteArray("OPENSQL");
  QTest::newRow("GETKLINIKNAMN with tilde") << QByteArray("\xA4GETKLINIKNAMN~x~GETKLINIKNAMN\xA4")
                                            << QByteArray("GETKLINIKNAMN");
}

void tst_DavuServer::unknownRequestsAreRefused() {
  QFETCH(QByteArray, request);
  QFETCH(QByteArray, tag);
  ServerHarness h;
  WireClient c(h.port());
  const std::string got = c.change(request.toStdString());
  QCOMPARE(got,
           W("ERROR: okänd begäran " + tag.toStdString() + ". Uppdatera servern eller klienten."));
  // Nothing was run: the server still serves the same connection.
  QCOMPARE(Callables(c), W("¤RETALLCALLABLES::RETALLCALLABLES¤"));
}

QTEST_GUILESS_MAIN(tst_DavuServer)
#include "davuserver_test.moc"
