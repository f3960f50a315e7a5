// The main window's inactivity watchdog: its settings, read once per
// connection and answered on the same connection while the dispatcher runs,
// and the replacement of a silent connection.
#include <QTimer>
#include <QtTest>

#include "AppHarness.h"
#include "app/UDavuAdminMain.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"

class ConnectionWatchdogTest : public QObject {
  Q_OBJECT

 private slots:
  void watchdogInterval_data();
  void watchdogInterval();
  void watchdogReplacesASilentConnection();
  void errorReplyDoesNotRearmWatchdog();
  void settingsReadInsideDispatcherIsAnsweredOnSameConnection();
  void busyConnectionAsksForWatchdogSettingsOncePerConnection();
};

void ConnectionWatchdogTest::watchdogInterval_data() {
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

void ConnectionWatchdogTest::watchdogInterval() {
  QFETCH(QString, refresh);
  QFETCH(QString, minutes);
  QFETCH(int, intervalMs);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  if (refresh != "-") h.storeLocal("DAVU", "RefreshConnection", refresh);
  if (minutes != "-") h.storeLocal("DAVU", "RefreshConnectionTimer", minutes);
  QVERIFY(h.connectAndAccept());
  QCOMPARE(w.ReconnectTimer->isActive(), intervalMs != 0);
  if (intervalMs) QCOMPARE(w.ReconnectTimer->interval(), intervalMs);
}

void ConnectionWatchdogTest::watchdogReplacesASilentConnection() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "-1");
  h.storeLocal("DAVU", "RefreshConnectionTimer", "5");
  QVERIFY(h.connectAndAccept());
  QVERIFY(w.ReconnectTimer->isActive());

  h.fake.random->next = {2000};
  h.server.clearReceived();
  w.ReconnectTimerTimer();
  QVERIFY(!w.ReconnectTimer->isActive());
  // The old connection went with a countdown, and a new one is under way.
  QVERIFY(w.Timer3->isActive());
  QCOMPARE(w.Timer3Tag, 5000);
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
  QCOMPARE(h.state(), ConnectionState::Connecting);
  QVERIFY(h.server.waitForReceived(Introduction()));
  QVERIFY(!w.Timer3->isActive());
  QVERIFY(h.acceptVersion());
  QVERIFY(w.ReconnectTimer->isActive());
}

void ConnectionWatchdogTest::errorReplyDoesNotRearmWatchdog() {
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
  QCOMPARE(h.state(), ConnectionState::Connected);
  QCOMPARE(h.fake.dialogs->balloons.back().text, QString("Servern svarade med följande fel: Tabellen saknas"));
  QVERIFY(!w.ReconnectTimer->isActive());
  // The next text without an error arms it.
  h.server.send(Reply("RETKLINIKNAMN", "K"));
  QVERIFY(WaitUntil([&] { return w.ReconnectTimer->isActive(); }));
}

void ConnectionWatchdogTest::settingsReadInsideDispatcherIsAnsweredOnSameConnection() {
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

void ConnectionWatchdogTest::busyConnectionAsksForWatchdogSettingsOncePerConnection() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.serverSettings["DAVU:RefreshConnection"] = "-1";
  h.serverSettings["DAVU:RefreshConnectionTimer"] = "5";
  QVERIFY(h.connectAndAccept());
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

QTEST_MAIN(ConnectionWatchdogTest)
#include "connection_watchdog_test.moc"
