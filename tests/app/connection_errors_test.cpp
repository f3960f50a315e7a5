// The main window's connection when an attempt fails: the question that
// offers the server settings, the failed name lookup, and the errors after a
// connection once came up.
#include <QTimer>
#include <QtTest>

#include "AppHarness.h"
#include "Controls.h"
#include "app/UDavuAdminMain.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "register/USystReg.h"

using namespace davu;

using davu::test::Control;

class ConnectionErrorsTest : public QObject {
  Q_OBJECT

 private slots:
  void refusedConnectionAsksToEditTheSettings_data();
  void refusedConnectionAsksToEditTheSettings();
  void failedLookupEndsInNeedsSettings();
  void errorAfterConnectionOnlyRestartsCountdown();
  void longErrorTextIsCutAndTheCountdownRuns_data();
  void longErrorTextIsCutAndTheCountdownRuns();
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
    QCOMPARE(h.modals[0].page, Control<ServerSettingsTab>(w.frmSystreg, "tsServersettings"));
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

// An error text of megabytes is shown cut to what a person reads, and the
// window goes on: when the server then closes, the countdown starts at once
// and runs tick by tick.
void ConnectionErrorsTest::longErrorTextIsCutAndTheCountdownRuns_data() {
  QTest::addColumn<bool>("framed");
  QTest::addColumn<int>("mib");
  QTest::newRow("framed, 20 MiB") << true << 20;
  QTest::newRow("plain, 5 MiB") << false << 5;
}

void ConnectionErrorsTest::longErrorTextIsCutAndTheCountdownRuns() {
  QFETCH(bool, framed);
  QFETCH(int, mib);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "0");
  QVERIFY(h.connectAndAccept());

  const std::string text = "ERROR: " + std::string(std::size_t(mib) << 20, 'x');
  const std::string reply = framed ? "#DATASTART#" + text + "#DATAEND#" : text;
  for (std::size_t p = 0; p < reply.size(); p += 1u << 20) h.server.send(std::string_view(reply).substr(p, 1u << 20));
  QVERIFY(WaitUntil([&] { return !h.fake.dialogs->balloons.empty(); }, 20000));
  QCOMPARE(h.fake.dialogs->balloons.size(), std::size_t(1));
  QCOMPARE(h.fake.dialogs->balloons[0].text,
           QStringLiteral("Servern svarade med följande fel: ") + QString(1000, u'x') + QStringLiteral(" …"));

  h.fake.random->next = {0, 4000};
  h.server.dropConnection();
  QVERIFY(WaitUntil([&] { return h.state() == ConnectionState::WaitingToRetry; }));
  QCOMPARE(h.status(), QString("Ej ansluten - nästa försök om 3 sekunder"));
  for (int left = 2; left >= 0; --left) {
    w.Timer3Timer();
    QCOMPARE(h.status(), QString("Ej ansluten - nästa försök om %1 sekunder").arg(left));
  }
  QCOMPARE(h.fake.dialogs->balloons.size(), std::size_t(1));
}

QTEST_MAIN(ConnectionErrorsTest)
#include "connection_errors_test.moc"
