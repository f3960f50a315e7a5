// The main window's retry countdown after a lost connection, driven tick by
// tick.
#include <QTimer>
#include <QtTest>

#include "AppHarness.h"
#include "Controls.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "register/USystReg.h"

using namespace davu;

using davu::test::Control;

class ConnectionCountdownTest : public QObject {
  Q_OBJECT

 private slots:
  void lostConnectionCountsDownAndReconnects_data();
  void lostConnectionCountsDownAndReconnects();
  void savingServerSettingsEndsTheCountdown();
  void countdownDoesNothingWhileConnectionIsActive();
};

void ConnectionCountdownTest::lostConnectionCountsDownAndReconnects_data() {
  QTest::addColumn<int>("random");
  QTest::addColumn<int>("seconds");
  QTest::newRow("lowest draw") << 0 << 3;
  QTest::newRow("middle") << 7500 << 10;
  QTest::newRow("highest draw") << 14999 << 17;
}

void ConnectionCountdownTest::lostConnectionCountsDownAndReconnects() {
  QFETCH(int, random);
  QFETCH(int, seconds);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "0");
  QVERIFY(h.connectAndAccept());

  h.fake.random->next = {random, 4000};
  h.server.dropConnection();
  QVERIFY(WaitUntil([&] { return !w.ClientSocket1->active(); }));
  QCOMPARE(h.status(), QString("Ej ansluten - nästa försök om %1 sekunder").arg(seconds));
  QCOMPARE(h.state(), ConnectionState::WaitingToRetry);
  QCOMPARE(h.circle(), kRed);
  QCOMPARE(Control<StatusCircle>(&w, "shServerConnected")->toolTip(), QString("Serveranslutning: Ej ansluten"));
  QVERIFY(w.Timer3->isActive());
  QCOMPARE(w.Timer3->interval(), 1000);
  QCOMPARE(w.Timer3Tag, seconds * 1000);
  // The buttons stay enabled for the rest of the run.
  QVERIFY(Control<PictureButton>(&w, "btnStatistik")->isEnabled());

  for (int left = seconds - 1; left >= 0; --left) {
    w.Timer3Timer();
    QCOMPARE(h.status(), QString("Ej ansluten - nästa försök om %1 sekunder").arg(left));
    QCOMPARE(h.state(), ConnectionState::WaitingToRetry);
    QVERIFY(w.Timer3->isActive());
  }
  QVERIFY(!h.server.hasConnection());
  // One tick after 0 is shown the attempt starts, and a fresh countdown runs
  // while it is pending.
  w.Timer3Timer();
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
  QCOMPARE(h.state(), ConnectionState::Connecting);
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
void ConnectionCountdownTest::savingServerSettingsEndsTheCountdown() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "0");
  QVERIFY(h.connectAndAccept());
  h.server.dropConnection();
  QVERIFY(WaitUntil([&] { return w.Timer3->isActive(); }));
  h.server.stopListening();

  w.frmSystreg->SetTabs(Control<ServerSettingsTab>(w.frmSystreg, "tsServersettings"));
  w.frmSystreg->btnSaveClick();
  QVERIFY(!WasConnected);
  QVERIFY(WaitUntil([&] { return h.fake.dialogs->questions.size() == 1; }));
  for (int tick = 0; tick < 20; ++tick) w.Timer3Timer();
  QVERIFY(!w.Timer3->isActive());
  // The question was answered and nothing tries any more: the status says so.
  QCOMPARE(h.status(), QString("Ej ansluten - kontrollera Serverinställningarna i Systemregistret"));
  QCOMPARE(h.state(), ConnectionState::NeedsSettings);
  QCOMPARE(h.fake.dialogs->questions.size(), 1);
}

void ConnectionCountdownTest::countdownDoesNothingWhileConnectionIsActive() {
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
  QCOMPARE(h.state(), ConnectionState::Introduced);
}

QTEST_MAIN(ConnectionCountdownTest)
#include "connection_countdown_test.moc"
