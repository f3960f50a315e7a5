// The main window's connection against the scripted server, from not
// connected to connected or refused: the introduction, the version check,
// and what the status bar shows in every state.
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "AppHarness.h"
#include "Controls.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"

using namespace davu;

using davu::test::Control;

namespace {

const std::string kFirstRequests =
    "\xA4GETCALLLIST:\xA4\xA4" "ADMIN\xA4\xA4:2:GETCALLLIST\xA4"
    "\xA4GETKLINIKNAMN:\xA4\xA4" "ADMIN\xA4\xA4:2:GETKLINIKNAMN\xA4";

}  // namespace

class ConnectionStatesTest : public QObject {
  Q_OBJECT

 private slots:
  void introductionAndFirstRequestsAreExactBytes();
  void versionIsTestedWithoutDots_data();
  void versionIsTestedWithoutDots();
  void serverHeldClientNameIsReadBeforeTheIntroduction();
  void updateCheckRunsAtConnectWhilePending_data();
  void updateCheckRunsAtConnectWhilePending();
  void reconnectDuringTheCheckIntroducesOnce();
  void hostNameOrAddress_data();
  void hostNameOrAddress();
  void statusBarIsDrawnFromTheState_data();
  void statusBarIsDrawnFromTheState();
};

void ConnectionStatesTest::introductionAndFirstRequestsAreExactBytes() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "0");

  QCOMPARE(h.status(), QString("Ej ansluten"));
  QCOMPARE(h.state(), ConnectionState::NotConnected);
  w.FormActivate();
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
  QCOMPARE(h.state(), ConnectionState::Connecting);
  QVERIFY(h.server.waitForConnection());
  QVERIFY(h.server.waitForReceived(Introduction()));
  QCOMPARE(h.server.received(), Introduction());
  // Connected at the socket, but not before the version is accepted.
  QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
  QCOMPARE(h.state(), ConnectionState::Introduced);
  QCOMPARE(h.circle(), kRed);
  QVERIFY(WasConnected);
  QCOMPARE(ServerSocket, w.ClientSocket1);

  h.server.clearReceived();
  QVERIFY(h.acceptVersion("1.10.6"));
  QVERIFY(h.server.waitForReceived(kFirstRequests));
  QCOMPARE(h.server.received(), kFirstRequests);
  QCOMPARE(h.circle(), kGreen);
  QCOMPARE(Control<StatusCircle>(&w, "shServerConnected")->toolTip(), QString("Serveranslutning: Ansluten"));
  QCOMPARE(ServerVersion, QString("1.10.6"));
}

void ConnectionStatesTest::versionIsTestedWithoutDots_data() {
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

void ConnectionStatesTest::versionIsTestedWithoutDots() {
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
    QCOMPARE(h.state(), ConnectionState::Connected);
    QCOMPARE(h.circle(), kGreen);
    QVERIFY(Control<PictureButton>(&w, "btnStatistik")->isEnabled());
    QVERIFY(Control<PictureButton>(&w, "btnKallelser")->isEnabled());
    QVERIFY(Control<PictureButton>(&w, "btnIdag")->isEnabled());
    QVERIFY(w.windowTitle().startsWith("DAVU Admin - Kliniken  version: "));
    QVERIFY(h.server.waitForReceived(kFirstRequests));
    QVERIFY(w.ReconnectTimer->isActive());
    QVERIFY(h.fake.dialogs->balloons.empty());
  } else {
    QCOMPARE(h.status(), "Fel serverversion " + version.trimmed() + " INTE ansluten");
    QCOMPARE(h.state(), ConnectionState::Refused);
    QCOMPARE(h.circle(), kRed);
    QCOMPARE(Control<StatusCircle>(&w, "shServerConnected")->toolTip(), QString("Serveranslutning: Ej ansluten"));
    QVERIFY(!Control<PictureButton>(&w, "btnStatistik")->isEnabled());
    QVERIFY(!Control<PictureButton>(&w, "btnKallelser")->isEnabled());
    QVERIFY(!Control<PictureButton>(&w, "btnIdag")->isEnabled());
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

void ConnectionStatesTest::serverHeldClientNameIsReadBeforeTheIntroduction() {
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

void ConnectionStatesTest::updateCheckRunsAtConnectWhilePending_data() {
  QTest::addColumn<QString>("check");  // "none", "stay", "end", "throw"
  QTest::newRow("no check installed: flag kept") << "none";
  QTest::newRow("nothing newer") << "stay";
  QTest::newRow("newer program started") << "end";
  QTest::newRow("check fails") << "throw";
}

void ConnectionStatesTest::updateCheckRunsAtConnectWhilePending() {
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

// The check lets the event loop run: the connection drops and comes back
// inside it, and the new connection introduces itself. When the check
// returns, the connection it began on is gone: nothing is sent twice.
void ConnectionStatesTest::reconnectDuringTheCheckIntroducesOnce() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  w.CheckForUpdate = [&] {
    h.server.dropConnection();
    if (!WaitUntil([&] { return !w.ClientSocket1->active(); })) return false;
    h.server.clearReceived();
    w.ConnectToServer();
    h.server.waitForReceived(Introduction());
    return false;
  };
  w.FormActivate();
  QVERIFY(WaitUntil([&] { return !UpdateCheckPending; }));
  QVERIFY(h.server.waitForReceived(Introduction()));
  QVERIFY(h.acceptVersion());
  QCOMPARE(h.server.countReceived(Introduction()), 1);
}

void ConnectionStatesTest::hostNameOrAddress_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("host");
  QTest::addColumn<QString>("address");
  QTest::newRow("dotted address") << "192.168.1.20" << "" << "192.168.1.20";
  QTest::newRow("host name") << "server1" << "server1" << "";
  QTest::newRow("three numbers") << "10.0.0" << "10.0.0" << "";
  QTest::newRow("number above 255") << "192.168.1.256" << "192.168.1.256" << "";
}

void ConnectionStatesTest::hostNameOrAddress() {
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

void ConnectionStatesTest::statusBarIsDrawnFromTheState_data() {
  QTest::addColumn<ConnectionState>("state");
  QTest::addColumn<QString>("circle");  // "green", "red", or "" to leave it as it is
  QTest::addColumn<QString>("text");    // "" leaves the text as it is
  QTest::newRow("not connected") << ConnectionState::NotConnected << "red" << "Ej ansluten";
  QTest::newRow("connecting") << ConnectionState::Connecting << "" << "Ej ansluten - försöker ansluta...";
  QTest::newRow("introduced") << ConnectionState::Introduced << "" << "";
  QTest::newRow("connected") << ConnectionState::Connected << "green" << "Ansluten";
  QTest::newRow("refused") << ConnectionState::Refused << "red" << "Fel serverversion 1.9.9 INTE ansluten";
  QTest::newRow("waiting to retry") << ConnectionState::WaitingToRetry << "red"
                                    << "Ej ansluten - nästa försök om 12 sekunder";
  QTest::newRow("needs settings") << ConnectionState::NeedsSettings << "red"
                                  << "Ej ansluten - kontrollera Serverinställningarna i Systemregistret";
}

// One function draws the status bar from the state, the countdown (12.5 s
// left shows 12) and the refused version.
void ConnectionStatesTest::statusBarIsDrawnFromTheState() {
  QFETCH(ConnectionState, state);
  QFETCH(QString, circle);
  QFETCH(QString, text);
  const TfrmDAVUAdmin::StatusLook look = TfrmDAVUAdmin::lookOf(state, 12500, "1.9.9");
  QCOMPARE(look.connected ? QString(*look.connected ? "green" : "red") : QString(), circle);
  QCOMPARE(look.text.value_or(QString()), text);
}

QTEST_MAIN(ConnectionStatesTest)
#include "connection_states_test.moc"
