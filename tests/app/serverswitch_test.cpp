// Switching between named servers from the main window: the connection, the
// title, the stored settings, the update check and the register follow.
#include <QComboBox>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include "AppHarness.h"
#include "Controls.h"
#include "app/UDavuAdminMain.h"
#include "calllog/CallLogSql.h"
#include "calllog/IdagWindow.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "common/ClientIdentity.h"
#include "common/ClientSocket.h"
#include "common/NamedServers.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "protocol/Catalogue.h"
#include "register/USystReg.h"
#include "widgets/Dialogs.h"

using namespace davu;

using davu::test::Control;

namespace {

QString Stored(const char* section, const char* key) {
  return ReadUserSetting(QLatin1String(section), QLatin1String(key));
}

}  // namespace

class ServerSwitchTest : public QObject {
  Q_OBJECT

  // Two clinics: A on the harness's server, B on a second scripted one.
  struct TwoClinics {
    AppHarness h;
    FakeServer b;
    int updateChecks = 0;

    TwoClinics() {
      TfrmDAVUAdmin& w = h.create();
      h.storeServer();
      // The watchdog settings are local: B answers no settings requests.
      h.storeLocal("DAVU", "RefreshConnection", "0");
      davu::NamedServerList list;
      list.servers = {{"Klinik A", "127.0.0.1", QString::number(h.server.port()), {}, {}},
                      {"Klinik B", "127.0.0.1", QString::number(b.port()), "upd.b", "8090"}};
      list.current = 0;
      list.Save();
      w.CheckForUpdate = [this] {
        ++updateChecks;
        return false;
      };
    }
    TfrmDAVUAdmin& w() { return *h.w; }
    bool connectA() {
      if (!h.connectAndAccept()) return false;
      h.server.send(Reply("RETKLINIKNAMN", "Tandv\xE5rden A"));
      return WaitUntil([this] { return w().windowTitle().startsWith("DAVU Admin - Tandvården A "); });
    }
    bool acceptB() {
      if (!b.waitForConnection() || !b.waitForReceived(Introduction())) return false;
      b.send(Reply("RETSERVERVERSION", "1.10.6") + Reply("RETKLINIKNAMN", "V\xE5rdcentralen B"));
      return WaitUntil([this] { return w().windowTitle().startsWith("DAVU Admin - Vårdcentralen B "); }) &&
             h.state() == ConnectionState::Connected;
    }
  };

 private slots:
  void firstStartMakesTheOldServerTheFirstNamed() {
    AppHarness h;
    TfrmDAVUAdmin& w = h.create();
    h.storeServer();
    QVERIFY(h.connectAndIntroduce());
    QCOMPARE(Stored("ServerList", "Count"), QString("1"));
    QCOMPARE(Stored("ServerList", "Name1"), QString("127.0.0.1"));
    QCOMPARE(Stored("ServerList", "ServerPort1"), QString::number(h.server.port()));
    QCOMPARE(Stored("ServerList", "Current"), QString("127.0.0.1"));
    // The old keys keep their values for everything else that reads them.
    QCOMPARE(Stored("ServerSettings", "ServerName"), QString("127.0.0.1"));
    QCOMPARE(Stored("ServerSettings", "ServerPort"), QString::number(h.server.port()));
    QVERIFY(!Control<QComboBox>(&w, "cbServers")->isHidden());
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->count(), 1);
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->currentText(), QString("127.0.0.1"));
  }

  void nothingStoredShowsNoServerList() {
    AppHarness h;
    TfrmDAVUAdmin& w = h.create();
    w.FormActivate();
    QVERIFY(Control<QComboBox>(&w, "cbServers")->isHidden());
    QVERIFY(Stored("ServerList", "Count").isEmpty());
  }

  void switchWhileConnected() {
    TwoClinics c;
    TfrmDAVUAdmin& w = c.w();
    QVERIFY(c.connectA());
    QCOMPARE(c.updateChecks, 1);
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->currentText(), QString("Klinik A"));
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->objectName(), QString("cbServers"));
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->accessibleName(), QString("Server"));

    w.SwitchServer(1);
    // Stored before the attempt: the connection reads them.
    QCOMPARE(Stored("ServerSettings", "ServerPort"), QString::number(c.b.port()));
    QCOMPARE(Stored("ServerList", "Current"), QString("Klinik B"));
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->currentText(), QString("Klinik B"));
    // The old clinic's name and version go at once.
    QVERIFY(!w.windowTitle().contains("Tandvården A"));
    QVERIFY(ServerVersion.isEmpty());
    QVERIFY(c.acceptB());
    QCOMPARE(c.updateChecks, 2);  // the update check runs on the new server
    QCOMPARE(h_status(c), QString("Ansluten"));

    // And back: the update check runs once per switch, not per reconnect.
    w.SwitchServer(0);
    QVERIFY(c.h.server.waitForConnection());
    QVERIFY(c.h.server.waitForReceived(Introduction()));
    QCOMPARE(c.updateChecks, 3);
    QCOMPARE(Stored("ServerSettings", "ServerPort"), QString::number(c.h.server.port()));
    QCOMPARE(Stored("ServerList", "Current"), QString("Klinik A"));
    // Nothing else of the list changed.
    const davu::NamedServerList list = davu::NamedServerList::Load();
    QCOMPARE(list.servers.size(), 2);
    QCOMPARE(list.servers[1].updateHost, QString("upd.b"));
    QCOMPARE(list.servers[1].updatePort, QString("8090"));
  }

  // Choosing the server already current does nothing.
  void choosingTheCurrentServerKeepsTheConnection() {
    TwoClinics c;
    QVERIFY(c.connectA());
    c.w().SwitchServer(0);
    QCOMPARE(c.h.state(), ConnectionState::Connected);
    QVERIFY(c.w().ClientSocket1->active());
    QVERIFY(!c.b.hasConnection());
  }

  // What the old server had half sent never reaches the window, not even
  // when its quiet time runs out before the new server answers.
  void switchWhileAReplyIsHalfReceived() {
    TwoClinics c;
    TfrmDAVUAdmin& w = c.w();
    QVERIFY(c.h.connectAndAccept());
    int reads = 0;
    QObject::connect(w.ClientSocket1, &ClientSocket::readReady, w.ClientSocket1, [&] { ++reads; });
    // An unfinished settings reply holds the clinic name behind it.
    c.h.server.send("\xA4RETINITEXT:x " + Reply("RETKLINIKNAMN", "Tandv\xE5rden A"));
    QVERIFY(WaitUntil([&] { return reads > 0; }));
    QVERIFY(w.ReplyQuietTimer->isActive());

    w.SwitchServer(1);
    QVERIFY(!w.ReplyQuietTimer->isActive());
    w.ReplyQuietTimerTimer();  // as if the quiet time ran out meanwhile
    QVERIFY(!w.windowTitle().contains("Tandvården A"));
    QVERIFY(c.acceptB());
    QVERIFY(!w.windowTitle().contains("Tandvården A"));
  }

  // The register is reloaded for the new server; an edit not yet saved is
  // given up only after a question.
  void switchWithAnUnsavedRegisterEdit() {
    TwoClinics c;
    TfrmDAVUAdmin& w = c.w();
    QVERIFY(c.connectA());
    RegisterMode = true;
    TfrmSystreg& reg = *w.frmSystreg;
    reg.show();
    reg.SetTabs(Control<ResourcesTab>(&reg, "tsResurser"));
    reg.HandleRetAllCallables("\xA4RETALLCALLABLES:R4:11:Rum fyra:0:0::T:");
    Control<ResourcesTab>(&reg, "tsResurser")->lbResurserClickCheck(0);
    QVERIFY(reg.HasUnsavedEdit());

    c.h.fake.dialogs->answers = {mrNo};
    w.SwitchServer(1);
    QCOMPARE(c.h.fake.dialogs->questions.size(), 1);
    QVERIFY(c.h.fake.dialogs->questions[0].contains("Ändringarna i Systemregistret har inte sparats"));
    QVERIFY(c.h.fake.dialogs->questions[0].contains("Klinik B"));
    // No: everything stays with the first clinic.
    QCOMPARE(c.h.state(), ConnectionState::Connected);
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->currentText(), QString("Klinik A"));
    QCOMPARE(Stored("ServerList", "Current"), QString("Klinik A"));
    QCOMPARE(Stored("ServerSettings", "ServerPort"), QString::number(c.h.server.port()));
    QVERIFY(reg.HasUnsavedEdit());

    c.h.fake.dialogs->answers = {mrYes};
    w.SwitchServer(1);
    QCOMPARE(c.h.fake.dialogs->questions.size(), 2);
    // The register's tabs wait for the new server, then load from it.
    QVERIFY(reg.activePage() == nullptr);
    QVERIFY(c.acceptB());
    QVERIFY(c.b.waitForReceived("\xA4GETALLCALLABLES:"));
    QCOMPARE(reg.activePage(), static_cast<QWidget*>(Control<ResourcesTab>(&reg, "tsResurser")));
    QVERIFY(!reg.HasUnsavedEdit());
    reg.hide();
    RegisterMode = false;
  }

  // Idag follows a switch: the old clinic's figures go at once, the new
  // server is asked for its whole day once it answers, one query at a time,
  // and what the old server answered too late never shows.
  void idagStartsTheNewServersDay() {
    TwoClinics c;
    TfrmDAVUAdmin& w = c.w();
    const QDate day(2024, 5, 3);
    c.h.fake.clock->current = QDateTime(day, QTime(10, 0));
    QVERIFY(c.connectA());
    w.btnIdagClick();
    auto* idag = w.findChild<IdagWindow*>();
    QVERIFY(idag);
    const std::string dayQuery =
        davu::proto::OpenSql(ToWire(GetClientName()), ToWire(davu::calllog::TodayQuery(day)));
    QVERIFY(c.h.server.waitForReceived(dayQuery));
    auto rows = [](int lopnr, const char* resource) {
      return "\xA4RETSQL:\xA4%LOPNR|" + std::to_string(lopnr) + "~CALLABLESLOPNR|7~FULLNAME|" + resource +
             "~CALLTSTAMP|2024-05-03 09:00:00~CONFIRMTSTAMP|~%\xA4:RETSQL\xA4";
    };
    c.h.server.send(rows(12, "Rum A"));
    QVERIFY(WaitUntil([&] { return idag->calls().calls() == 1; }));
    idag->RefreshTimerTimer();
    QVERIFY(c.h.server.waitForReceived("CALLLOG.LOPNR > 12"));
    QVERIFY(idag->queryInFlight());
    // The old server answers, but the switch comes before the answer is read.
    c.h.server.send(rows(13, "Rum A"));

    w.SwitchServer(1);
    QCOMPARE(idag->calls().calls(), 0);
    QCOMPARE(Control<QTableView>(idag, "grdResurser")->model()->rowCount(), 1);  // "Totalt" alone
    QVERIFY(!idag->queryInFlight());
    QVERIFY(c.acceptB());
    QVERIFY(c.b.waitForReceived(dayQuery));
    idag->RefreshTimerTimer();  // the day's query is still on its way
    const std::string sentToB = c.b.takeSent(*w.ClientSocket1);
    QVERIFY(sentToB.find(dayQuery) != std::string::npos);
    QCOMPARE(sentToB.find("\xA4OPENSQL:"), sentToB.rfind("\xA4OPENSQL:"));  // one query
    c.b.send(rows(40, "Rum B"));
    QVERIFY(WaitUntil([&] { return idag->calls().calls() == 1; }));
    QCOMPARE(idag->calls().lastSeen(), qint64(40));
    QCOMPARE(Control<QTableView>(idag, "grdResurser")->model()->index(1, 0).data().toString(), QString("Rum B"));
    QCOMPARE(Control<QTableView>(idag, "grdResurser")->model()->rowCount(), 2);
    idag->RefreshTimerTimer();
    QVERIFY(c.b.waitForReceived("CALLLOG.LOPNR > 40"));

    // Saved server settings may name another clinic too: the same.
    emit w.frmSystreg->reconnectRequested();
    QCOMPARE(idag->calls().calls(), 0);
    QVERIFY(!idag->queryInFlight());
    idag->close();
  }

  // A settings read that waits on the old server ends at the switch, as a
  // failed read ends when the connection is lost: not after its time, and
  // without going on to ask the new server.
  void settingsReadWaitingOnTheOldServerEndsAtTheSwitch() {
    TwoClinics c;
    TfrmDAVUAdmin& w = c.w();
    QVERIFY(c.connectA());
    c.h.answerSettings = false;
    bool switched = false;
    c.h.server.onReceive = [&](const std::string& chunk) {
      if (switched || chunk.find("GETINITEXT") == std::string::npos) return;
      switched = true;
      // The new server is connected before the read looks again (a handler
      // that waits in a loop of its own after the switch, as the update
      // check does).
      QTimer::singleShot(0, &w, [&w] {
        w.SwitchServer(1);
        WaitUntil([&w] { return w.ClientSocket1->active(); });
      });
    };
    QElapsedTimer waited;
    waited.start();
    const QString value = ReadSetting("DAVU", "EndastPaServern");
    QVERIFY(switched);
    QVERIFY(!SettingReplyTimedOut);
    QVERIFY2(waited.elapsed() < 4000, qPrintable(QString::number(waited.elapsed())));
    QCOMPARE(value, QString("ERROR"));
    QVERIFY(c.acceptB());
    QCOMPARE(c.b.countReceived("GETINITEXT"), 0);
  }

  // Idag reads its client name before its first query. A switch that ends
  // that read leaves the name unread: the new server is asked for it, and
  // no query goes out under the default that the ended read gave.
  void idagReadsItsNameFromTheNewServerAfterASwitchDuringTheRead() {
    TwoClinics c;
    TfrmDAVUAdmin& w = c.w();
    c.h.fake.clock->current = QDateTime(QDate(2024, 5, 3), QTime(10, 0));
    QVERIFY(c.connectA());
    c.h.storeLocal("DAVU", "ClientNameUseDefault", "");  // the name is the server's setting
    c.h.answerSettings = false;
    bool switched = false;
    c.h.server.onReceive = [&](const std::string& chunk) {
      if (switched || chunk.find("GETINITEXT") == std::string::npos) return;
      switched = true;
      QTimer::singleShot(0, &w, [&w] { w.SwitchServer(1); });
    };
    // B keeps its client's name on the server; its answers come while the
    // window waits for them.
    c.b.onReceive = [&](const std::string& chunk) {
      if (chunk.find(":ClientNameUseDefault:") != std::string::npos) c.b.send(Reply("RETINITEXT", "0"));
      if (chunk.find(":ClientName:") != std::string::npos) c.b.send(Reply("RETINITEXT", "Kliniken B"));
    };
    w.btnIdagClick();
    QVERIFY(WaitUntil([&] { return switched; }));
    // The main window introduces itself to B under B's name for it too.
    QVERIFY(c.b.waitForConnection() && c.b.waitForReceived("\xA4GETSERVERVERSION:Kliniken B:"));
    c.b.send(Reply("RETSERVERVERSION", "1.10.6") + Reply("RETKLINIKNAMN", "V\xE5rdcentralen B"));
    QVERIFY(c.b.waitForReceived("\xA4OPENSQL:"));
    QCOMPARE(c.b.countReceived("\xA4OPENSQL:Kliniken B:"), 1);
    QCOMPARE(c.b.countReceived("\xA4OPENSQL:"), 1);
    QCOMPARE(c.h.server.countReceived("OPENSQL"), 0);
    w.findChild<IdagWindow*>()->close();
  }

  // The active calls of the old clinic are never confirmed at the new one:
  // a switch by code while the window is open (its ticks would name calls of
  // the other clinic's log) reloads the list from the new server, and a
  // confirmation before that reload only asks for the list again.
  void activeCallsOfTheOldServerAreNotConfirmedAtTheNew() {
    TwoClinics c;
    TfrmDAVUAdmin& w = c.w();
    c.h.fake.clock->current = QDateTime(QDate(2024, 5, 3), QTime(10, 0));
    QVERIFY(c.connectA());
    TfrmDAVUActiveCalls calls(&w);
    calls.ClientSocket1 = w.ClientSocket1;
    calls.show();
    calls.FormActivate();
    QVERIFY(c.h.server.waitForReceived("\xA4OPENSQL:"));
    c.h.server.send("\xA4RETSQL:\xA4%Radera|~FRIENDLYNAME|Reception~LOPNR|12~FULLNAME|Rum A~"
                    "CALLTSTAMP|2024-05-03 09:00:00~COMINGTSTAMP|~SMSSENT|0~%\xA4:RETSQL\xA4");
    TSVVirtualTable* table = Control<TSVVirtualTable>(&calls, "SVVirtualTable1");
    QVERIFY(WaitUntil([&] { return table->RecordCount() == 1; }));
    table->setData(table->index(0, 0), Qt::Checked, Qt::CheckStateRole);

    w.SwitchServer(1);
    QVERIFY(c.acceptB());
    c.h.fake.dialogs->answers = {mrYes};
    calls.BitBtn1Click();
    const std::string sentToB = c.b.takeSent(*w.ClientSocket1);
    QVERIFY2(sentToB.find("UPDATE CALLLOG") == std::string::npos, sentToB.c_str());
    QVERIFY(sentToB.find("\xA4OPENSQL:") != std::string::npos);  // the list from the new server
    c.b.send("\xA4RETSQL:\xA4%Radera|~FRIENDLYNAME|Lab~LOPNR|40~FULLNAME|Rum B~"
             "CALLTSTAMP|2024-05-03 09:30:00~COMINGTSTAMP|~SMSSENT|0~%\xA4:RETSQL\xA4");
    QVERIFY(WaitUntil([&] { return table->RecordCount() == 1 && table->value(0, table->fieldIndex("LOPNR")) == "40"; }));
    calls.close();
  }

 private:
  static QString h_status(TwoClinics& c) { return c.h.status(); }
};

QTEST_MAIN(ServerSwitchTest)
#include "serverswitch_test.moc"
