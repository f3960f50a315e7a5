// The main window's connection against the scripted server: introduction,
// version check, status texts, retry countdown, watchdog and the settings
// reads that wait for their answer on the same connection.
#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "AppHarness.h"
#include "ClientSocket.h"
#include "SettingsStore.h"
#include "SharedState.h"
#include "USystReg.h"
#include "UDavuAdminMain.h"
#include "Widgets.h"

namespace {

const QString kRed = QColor(255, 0, 0).name();
const QString kGreen = QColor(0, 128, 0).name();
const std::string kFirstRequests =
    "\xA4GETCALLLIST:\xA4\xA4" "ADMIN\xA4\xA4:2:GETCALLLIST\xA4"
    "\xA4GETKLINIKNAMN:\xA4\xA4" "ADMIN\xA4\xA4:2:GETKLINIKNAMN\xA4";

QString circle(const TfrmDAVUAdmin& w) { return w.shServerConnected->brushColor().name(); }

}  // namespace

class ConnectionTest : public QObject {
  Q_OBJECT

 private slots:
  void introductionAndFirstRequestsAreExactBytes();
  void versionIsTestedWithoutDots_data();
  void versionIsTestedWithoutDots();
  void serverHeldClientNameIsReadBeforeTheIntroduction();
  void updateCheckRunsAtConnectWhilePending_data();
  void updateCheckRunsAtConnectWhilePending();
  void hostNameOrAddress_data();
  void hostNameOrAddress();
  void refusedConnectionAsksToEditTheSettings_data();
  void refusedConnectionAsksToEditTheSettings();
  void failedLookupEndsInNeedsSettings();
  void lostConnectionCountsDownAndReconnects_data();
  void lostConnectionCountsDownAndReconnects();
  void savingServerSettingsEndsTheCountdown();
  void countdownDoesNothingWhileConnectionIsActive();
  void errorAfterConnectionOnlyRestartsCountdown();
  void watchdogInterval_data();
  void watchdogInterval();
  void watchdogReplacesASilentConnection();
  void errorReplyDoesNotRearmWatchdog();
  void settingsReadInsideDispatcherIsAnsweredOnSameConnection();
  void busyConnectionAsksForWatchdogSettingsOncePerConnection();
};

void ConnectionTest::introductionAndFirstRequestsAreExactBytes() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "0");

  QCOMPARE(h.status(), QString("Ej ansluten"));
  w.FormActivate();
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
  QVERIFY(h.server.waitForConnection());
  QVERIFY(h.server.waitForReceived(Introduction()));
  QCOMPARE(h.server.received(), Introduction());
  // Connected at the socket, but not before the version is accepted.
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
  QCOMPARE(circle(w), kRed);
  QVERIFY(WasConnected);
  QCOMPARE(ServerSocket, w.ClientSocket1);

  h.server.clearReceived();
  QVERIFY(h.acceptVersion("1.10.6"));
  QVERIFY(h.server.waitForReceived(kFirstRequests));
  QCOMPARE(h.server.received(), kFirstRequests);
  QCOMPARE(circle(w), kGreen);
  QCOMPARE(w.shServerConnected->toolTip(), QString("Serveranslutning: Ansluten"));
  QCOMPARE(ServerVersion, QString("1.10.6"));
}

void ConnectionTest::versionIsTestedWithoutDots_data() {
  QTest::addColumn<QString>("version");
  QTest::addColumn<bool>("accepted");
  QTest::newRow("1.10.1 gives 1101") << "1.10.1" << true;
  QTest::newRow("1.10.4 gives 1104") << "1.10.4" << true;
  QTest::newRow("1.11.0 gives 1110") << "1.11.0" << true;
  QTest::newRow("1.9.12 gives 1912") << "1.9.12" << true;
  QTest::newRow("1.10.1.0 gives 11010") << "1.10.1.0" << true;
  QTest::newRow("1.9.9 gives 199") << "1.9.9" << false;
  QTest::newRow("2.0.0 gives 200") << "2.0.0" << false;
  QTest::newRow("1.10 gives 110") << "1.10" << false;
  QTest::newRow("empty") << "" << false;
  QTest::newRow("not a number") << "1.10.x" << false;
  QTest::newRow("blanks around are trimmed") << "  1.10.1 " << true;
}

void ConnectionTest::versionIsTestedWithoutDots() {
  QFETCH(QString, version);
  QFETCH(bool, accepted);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "-1");
  QVERIFY(h.connectAndIntroduce());
  h.server.clearReceived();

  // A clinic name in front of the version: the version is still tested
  // first, and a refused one drops the rest of the text.
  h.server.send(Reply("RETKLINIKNAMN", "Kliniken") + Reply("RETSERVERVERSION", version.toStdString()));
  QVERIFY(WaitUntil([&] { return h.status() != QString("Ej ansluten - försöker ansluta..."); }));

  QCOMPARE(ServerVersion, version.trimmed());
  if (accepted) {
    QCOMPARE(h.status(), QString("Ansluten"));
    QCOMPARE(circle(w), kGreen);
    QVERIFY(w.btnStatistik->isEnabled());
    QVERIFY(w.btnKallelser->isEnabled());
    QVERIFY(w.windowTitle().startsWith("DAVU Admin - Kliniken  version: "));
    QVERIFY(h.server.waitForReceived(kFirstRequests));
    QVERIFY(w.ReconnectTimer->isActive());
    QVERIFY(h.fake.dialogs->balloons.empty());
  } else {
    QCOMPARE(h.status(), "Fel serverversion " + version.trimmed() + " INTE ansluten");
    QCOMPARE(circle(w), kRed);
    QCOMPARE(w.shServerConnected->toolTip(), QString("Serveranslutning: Ej ansluten"));
    QVERIFY(!w.btnStatistik->isEnabled());
    QVERIFY(!w.btnKallelser->isEnabled());
    QVERIFY(!w.Timer3->isActive());
    QVERIFY(!w.ReconnectTimer->isActive());
    QVERIFY(!w.ClientSocket1->active());
    QVERIFY(w.windowTitle().startsWith("DAVU Admin  version: "));
    QCOMPARE(int(h.fake.dialogs->balloons.size()), 1);
    QCOMPARE(h.fake.dialogs->balloons[0].text,
             "Fel serverversion!\r\rDAVU-Servern har version " + version.trimmed() +
                 "\rMinst version 1.10.1 krävs!");
    QVERIFY(WaitUntil([&] { return !h.server.hasConnection(); }));
    QCOMPARE(h.server.received(), std::string());
  }
}

void ConnectionTest::serverHeldClientNameIsReadBeforeTheIntroduction() {
  AppHarness h;
  h.create();
  h.storeServer();
  h.storeLocal("DAVU", "ClientNameUseDefault", "0");
  h.serverSettings["DAVU:ClientName"] = "Reception";
  // The connect handler waits for this answer with the event loop running;
  // it must arrive through the main window's own read handler.
  h.w->FormActivate();
  const std::string intro = "\xA4GETSERVERVERSION:Reception:2:GETSERVERVERSION\xA4";
  QVERIFY2(h.server.waitForReceived(intro, 4000), h.server.received().c_str());
  // The answer reached the waiting read, and nothing else asked for a
  // setting in between (that would have taken the answer).
  const std::string received = h.server.received();
  QCOMPARE(received.substr(0, received.find(intro)),
           std::string("\xA4GETINITEXT:RECEPTION01\\DAVU:ClientName:GETINITEXT\xA4"));
  QVERIFY(!SettingReplyTimedOut);
}

void ConnectionTest::updateCheckRunsAtConnectWhilePending_data() {
  QTest::addColumn<QString>("check");  // "none", "stay", "end", "throw"
  QTest::newRow("no check installed: flag kept") << "none";
  QTest::newRow("nothing newer") << "stay";
  QTest::newRow("newer program started") << "end";
  QTest::newRow("check fails") << "throw";
}

void ConnectionTest::updateCheckRunsAtConnectWhilePending() {
  QFETCH(QString, check);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  int calls = 0;
  if (check != "none") {
    w.CheckForUpdate = [&] {
      ++calls;
      if (check == "throw") throw std::runtime_error("Uppdateringsservern svarar inte");
      return check == "end";
    };
  }
  w.FormActivate();
  QVERIFY(WaitUntil([&] { return WasConnected; }));
  QCOMPARE(UpdateCheckPending, check == "none");
  QCOMPARE(calls, check == "none" ? 0 : 1);
  if (check == "end") {
    QCOMPARE(h.exits, std::vector<int>{1});
    QVERIFY(!w.ClientSocket1->active());
    QVERIFY(WaitUntil([&] { return !h.server.hasConnection(); }));
    QCOMPARE(h.server.received(), std::string());
    return;
  }
  if (check == "throw") {
    QCOMPARE(h.fake.dialogs->infoMessages,
             QStringList{"Error in ClientSocket1Connect!\r\rUppdateringsservern svarar inte"});
    return;
  }
  QVERIFY(h.server.waitForReceived(Introduction()));
  // A later connect of the same run does not check again.
  h.server.dropConnection();
  QVERIFY(WaitUntil([&] { return !w.ClientSocket1->active(); }));
  w.ConnectToServer();
  QVERIFY(h.server.waitForReceived(Introduction()));
  QCOMPARE(calls, check == "none" ? 0 : 1);
}

void ConnectionTest::hostNameOrAddress_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("host");
  QTest::addColumn<QString>("address");
  QTest::newRow("dotted address") << "192.168.1.20" << "" << "192.168.1.20";
  QTest::newRow("host name") << "server1" << "server1" << "";
  QTest::newRow("three numbers") << "10.0.0" << "10.0.0" << "";
  QTest::newRow("number above 255") << "192.168.1.256" << "192.168.1.256" << "";
}

void ConnectionTest::hostNameOrAddress() {
  QFETCH(QString, name);
  QFETCH(QString, host);
  QFETCH(QString, address);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeLocal("ServerSettings", "ServerName", name);
  h.storeLocal("ServerSettings", "ServerPort", "2001");
  // The other of the two is cleared whatever an earlier attempt set.
  w.ClientSocket1->setHost("old");
  w.ClientSocket1->setAddress("10.1.1.1");
  w.ConnectToServer();
  QCOMPARE(w.ClientSocket1->host(), host);
  QCOMPARE(w.ClientSocket1->address(), address);
  QCOMPARE(w.ClientSocket1->port(), 2001);
  w.ClientSocket1->close();
}

void ConnectionTest::refusedConnectionAsksToEditTheSettings_data() {
  QTest::addColumn<bool>("portStored");
  QTest::addColumn<int>("answer");
  QTest::newRow("yes opens the server tab") << true << 6;
  QTest::newRow("no does nothing more") << true << 7;
  QTest::newRow("missing port is port 0") << false << 7;
}

void ConnectionTest::refusedConnectionAsksToEditTheSettings() {
  QFETCH(bool, portStored);
  QFETCH(int, answer);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  const quint16 port = h.server.port();
  h.server.stopListening();
  h.storeLocal("ServerSettings", "ServerName", "127.0.0.1");
  if (portStored) h.storeLocal("ServerSettings", "ServerPort", QString::number(port));
  h.fake.dialogs->answers.push_back(answer);

  w.FormActivate();
  QVERIFY(WaitUntil([&] { return !h.fake.dialogs->questions.isEmpty(); }));
  const QString question = h.fake.dialogs->questions.first();
  if (portStored) {
    QCOMPARE(question, "Det gick inte att ansluta till 127.0.0.1 på port " + QString::number(port) +
                           "!\r\rFelkoden är: 111\r\rRedigera serverinställningarna?");
  } else {
    QVERIFY2(question.startsWith("Det gick inte att ansluta till 127.0.0.1 på port 0!\r\rFelkoden är: "),
             qPrintable(question));
  }
  // Nothing tries any more, whatever the answer: the status says so.
  QCOMPARE(h.status(), QString("Ej ansluten - kontrollera Serverinställningarna i Systemregistret"));
  QCOMPARE(circle(w), kRed);
  QVERIFY(!w.Timer3->isActive());
  QVERIFY(!WasConnected);
  if (answer == 6) {
    QCOMPARE(int(h.modals.size()), 1);
    QCOMPARE(h.modals[0].dialog, static_cast<QDialog*>(w.frmSystreg));
    QCOMPARE(h.modals[0].page, w.frmSystreg->tsServersettings);
  } else {
    QVERIFY(h.modals.empty());
  }
}

void ConnectionTest::failedLookupEndsInNeedsSettings() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeLocal("ServerSettings", "ServerName", "nosuchhost.invalid");
  h.storeLocal("ServerSettings", "ServerPort", "2001");
  w.FormActivate();
  // The question, then the disconnect event.
  QVERIFY(WaitUntil(
      [&] { return h.status() == QString("Ej ansluten - kontrollera Serverinställningarna i Systemregistret"); },
      15000));
  QCOMPARE(h.fake.dialogs->questions.size(), 1);
  QVERIFY(h.fake.dialogs->questions[0].startsWith("Det gick inte att ansluta till nosuchhost.invalid på port 2001!"));
  QCOMPARE(circle(w), kRed);
  QVERIFY(!w.Timer3->isActive());
}

void ConnectionTest::lostConnectionCountsDownAndReconnects_data() {
  QTest::addColumn<int>("random");
  QTest::addColumn<int>("seconds");
  QTest::newRow("lowest draw") << 0 << 3;
  QTest::newRow("middle") << 7500 << 10;
  QTest::newRow("highest draw") << 14999 << 17;
}

void ConnectionTest::lostConnectionCountsDownAndReconnects() {
  QFETCH(int, random);
  QFETCH(int, seconds);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "0");
  QVERIFY(h.connectAndIntroduce());
  QVERIFY(h.acceptVersion());

  h.fake.random->next = {random, 4000};
  h.server.dropConnection();
  QVERIFY(WaitUntil([&] { return !w.ClientSocket1->active(); }));
  QCOMPARE(h.status(), QString("Ej ansluten - nästa försök om %1 sekunder").arg(seconds));
  QCOMPARE(circle(w), kRed);
  QCOMPARE(w.shServerConnected->toolTip(), QString("Serveranslutning: Ej ansluten"));
  QVERIFY(w.Timer3->isActive());
  QCOMPARE(w.Timer3->interval(), 1000);
  QCOMPARE(w.Timer3Tag, seconds * 1000);
  // The buttons stay enabled for the rest of the run.
  QVERIFY(w.btnStatistik->isEnabled());

  for (int left = seconds - 1; left >= 0; --left) {
    w.Timer3Timer();
    QCOMPARE(h.status(), QString("Ej ansluten - nästa försök om %1 sekunder").arg(left));
    QVERIFY(w.Timer3->isActive());
  }
  QVERIFY(!h.server.hasConnection());
  // One tick after 0 is shown the attempt starts, and a fresh countdown runs
  // while it is pending.
  w.Timer3Timer();
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
  QCOMPARE(w.Timer3Tag, 7000);
  QVERIFY(w.Timer3->isActive());
  QVERIFY(h.server.waitForConnection());
  QVERIFY(h.server.waitForReceived(Introduction()));
  QVERIFY(!w.Timer3->isActive());
  QVERIFY(h.acceptVersion());
}

// Saving the server settings while a retry countdown runs ends the
// countdown: a new server that fails is asked about once, not once more for
// every attempt the countdown would have started.
void ConnectionTest::savingServerSettingsEndsTheCountdown() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "0");
  QVERIFY(h.connectAndIntroduce());
  QVERIFY(h.acceptVersion());
  h.server.dropConnection();
  QVERIFY(WaitUntil([&] { return w.Timer3->isActive(); }));
  h.server.stopListening();

  w.frmSystreg->SetTabs(w.frmSystreg->tsServersettings);
  w.frmSystreg->btnSaveClick();
  QVERIFY(!WasConnected);
  QVERIFY(WaitUntil([&] { return h.fake.dialogs->questions.size() == 1; }));
  for (int tick = 0; tick < 20; ++tick) w.Timer3Timer();
  QVERIFY(!w.Timer3->isActive());
  // The question was answered and nothing tries any more: the status says so.
  QCOMPARE(h.status(), QString("Ej ansluten - kontrollera Serverinställningarna i Systemregistret"));
  QCOMPARE(h.fake.dialogs->questions.size(), 1);
}

void ConnectionTest::countdownDoesNothingWhileConnectionIsActive() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndIntroduce());
  w.Timer3Tag = 0;
  w.Timer3Timer();
  QVERIFY(!w.Timer3->isActive());
  w.Timer3Tag = -1000;
  w.Timer3Timer();
  QVERIFY(!w.Timer3->isActive());
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
}

void ConnectionTest::errorAfterConnectionOnlyRestartsCountdown() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndIntroduce());
  h.fake.random->next = {1000};
  emit w.ClientSocket1->errorOccurred(104);
  QVERIFY(h.fake.dialogs->questions.isEmpty());
  QCOMPARE(h.status(), QString("Ej ansluten - nästa försök om 4 sekunder"));
  QVERIFY(w.Timer3->isActive());
}

void ConnectionTest::watchdogInterval_data() {
  QTest::addColumn<QString>("refresh");  // "-" means not stored
  QTest::addColumn<QString>("minutes");
  QTest::addColumn<int>("intervalMs");   // 0 means the watchdog does not run
  QTest::newRow("missing: off") << "-" << "5" << 0;
  QTest::newRow("0: off") << "0" << "5" << 0;
  QTest::newRow("False: off") << "False" << "5" << 0;
  QTest::newRow("not a boolean: off") << "ja" << "5" << 0;
  QTest::newRow("-1 and 5 minutes") << "-1" << "5" << 300000;
  QTest::newRow("True, minutes missing: 1") << "True" << "-" << 60000;
  QTest::newRow("1, minutes not a number: 1") << "1" << "fem" << 60000;
  QTest::newRow("0 minutes never fires") << "-1" << "0" << 0;
}

void ConnectionTest::watchdogInterval() {
  QFETCH(QString, refresh);
  QFETCH(QString, minutes);
  QFETCH(int, intervalMs);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  if (refresh != "-") h.storeLocal("DAVU", "RefreshConnection", refresh);
  if (minutes != "-") h.storeLocal("DAVU", "RefreshConnectionTimer", minutes);
  QVERIFY(h.connectAndIntroduce());
  QVERIFY(h.acceptVersion());
  QCOMPARE(w.ReconnectTimer->isActive(), intervalMs != 0);
  if (intervalMs) QCOMPARE(w.ReconnectTimer->interval(), intervalMs);
}

void ConnectionTest::watchdogReplacesASilentConnection() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "-1");
  h.storeLocal("DAVU", "RefreshConnectionTimer", "5");
  QVERIFY(h.connectAndIntroduce());
  QVERIFY(h.acceptVersion());
  QVERIFY(w.ReconnectTimer->isActive());

  h.fake.random->next = {2000};
  h.server.clearReceived();
  w.ReconnectTimerTimer();
  QVERIFY(!w.ReconnectTimer->isActive());
  // The old connection went with a countdown, and a new one is under way.
  QVERIFY(w.Timer3->isActive());
  QCOMPARE(w.Timer3Tag, 5000);
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
  QVERIFY(h.server.waitForReceived(Introduction()));
  QVERIFY(!w.Timer3->isActive());
  QVERIFY(h.acceptVersion());
  QVERIFY(w.ReconnectTimer->isActive());
}

void ConnectionTest::errorReplyDoesNotRearmWatchdog() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "-1");
  QVERIFY(h.connectAndIntroduce());
  // Version and error in one text: the version is handled, the error shown,
  // and the watchdog is not armed for that text.
  h.server.send(Reply("RETSERVERVERSION", "1.10.6") + "ERROR: Tabellen saknas");
  QVERIFY(WaitUntil([&] { return !h.fake.dialogs->balloons.empty(); }));
  QCOMPARE(h.status(), QString("Ansluten"));
  QCOMPARE(h.fake.dialogs->balloons.back().text, QString("Servern svarade med följande fel: Tabellen saknas"));
  QVERIFY(!w.ReconnectTimer->isActive());
  // The next text without an error arms it.
  h.server.send(Reply("RETKLINIKNAMN", "K"));
  QVERIFY(WaitUntil([&] { return w.ReconnectTimer->isActive(); }));
}

void ConnectionTest::settingsReadInsideDispatcherIsAnsweredOnSameConnection() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  // Held by the server only: arming the watchdog after the version reply
  // asks for them while the dispatcher is running.
  h.serverSettings["DAVU:RefreshConnection"] = "-1";
  h.serverSettings["DAVU:RefreshConnectionTimer"] = "7";
  QVERIFY(h.connectAndIntroduce());
  h.server.send(Reply("RETSERVERVERSION", "1.10.6"));
  // Armed with the server's values: the answers reached the waiting read. Had
  // they waited for the dispatcher to return, the reads would have timed out
  // and left the watchdog off.
  QVERIFY(WaitUntil([&] { return w.ReconnectTimer->isActive(); }, 4000));
  QCOMPARE(w.ReconnectTimer->interval(), 7 * 60000);
  QVERIFY(!SettingReplyTimedOut);
  QCOMPARE(h.server.countReceived("GETINITEXT:RECEPTION01\\DAVU:RefreshConnection:"), 1);
  QCOMPARE(h.server.countReceived("GETINITEXT:RECEPTION01\\DAVU:RefreshConnectionTimer:"), 1);
  QCOMPARE(h.server.countReceived("GETINITEXT:\\"), 0);
}

void ConnectionTest::busyConnectionAsksForWatchdogSettingsOncePerConnection() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.serverSettings["DAVU:RefreshConnection"] = "-1";
  h.serverSettings["DAVU:RefreshConnectionTimer"] = "5";
  QVERIFY(h.connectAndIntroduce());
  QVERIFY(h.acceptVersion());
  QVERIFY(WaitUntil([&] { return w.ReconnectTimer->isActive(); }));

  for (int i = 0; i < 100; ++i) h.server.send(Reply("RETKLINIKNAMN", "Klinik " + std::to_string(i)));
  QVERIFY(WaitUntil([&] { return w.windowTitle().startsWith("DAVU Admin - Klinik 99 "); }));
  QCOMPARE(h.server.countReceived("\xA4GETINITEXT:"), 2);
  QVERIFY(w.ReconnectTimer->isActive());
  QCOMPARE(w.ReconnectTimer->interval(), 300000);

  // A new connection reads them again, once.
  h.server.dropConnection();
  QVERIFY(WaitUntil([&] { return !w.ClientSocket1->active(); }));
  h.server.clearReceived();
  w.ConnectToServer();
  QVERIFY(h.server.waitForReceived(Introduction()));
  QVERIFY(h.acceptVersion());
  QVERIFY(WaitUntil([&] { return h.server.countReceived("\xA4GETINITEXT:") == 2; }));
  QVERIFY(w.ReconnectTimer->isActive());
}

QTEST_MAIN(ConnectionTest)
#include "connection_test.moc"
