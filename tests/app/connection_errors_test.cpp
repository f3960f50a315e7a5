// The main window's connection when an attempt fails: the question that
// offers the server settings, the failed name lookup, and the errors after a
// connection once came up.
#include <QTimer>
#include <QtTest>

#include "AppHarness.h"
#include "ClientSocket.h"
#include "SharedState.h"
#include "UDavuAdminMain.h"
#include "USystReg.h"

class ConnectionErrorsTest : public QObject {
  Q_OBJECT

 private slots:
  void refusedConnectionAsksToEditTheSettings_data();
  void refusedConnectionAsksToEditTheSettings();
  void failedLookupEndsInNeedsSettings();
  void errorAfterConnectionOnlyRestartsCountdown();
};

void ConnectionErrorsTest::refusedConnectionAsksToEditTheSettings_data() {
  QTest::addColumn<bool>("portStored");
  QTest::addColumn<int>("answer");
  QTest::newRow("yes opens the server tab") << true << 6;
  QTest::newRow("no does nothing more") << true << 7;
  QTest::newRow("missing port is port 0") << false << 7;
}

void ConnectionErrorsTest::refusedConnectionAsksToEditTheSettings() {
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
  QCOMPARE(h.state(), ConnectionState::NeedsSettings);
  QCOMPARE(h.circle(), kRed);
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

void ConnectionErrorsTest::failedLookupEndsInNeedsSettings() {
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
  QCOMPARE(h.circle(), kRed);
  QCOMPARE(h.state(), ConnectionState::NeedsSettings);
  QVERIFY(!w.Timer3->isActive());
}

void ConnectionErrorsTest::errorAfterConnectionOnlyRestartsCountdown() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndIntroduce());
  h.fake.random->next = {1000};
  emit w.ClientSocket1->errorOccurred(104);
  QVERIFY(h.fake.dialogs->questions.isEmpty());
  QCOMPARE(h.status(), QString("Ej ansluten - nästa försök om 4 sekunder"));
  QCOMPARE(h.state(), ConnectionState::WaitingToRetry);
  QVERIFY(w.Timer3->isActive());
}

QTEST_MAIN(ConnectionErrorsTest)
#include "connection_errors_test.moc"
