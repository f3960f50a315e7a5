// The server tab's list of named servers: adding, renaming, removing,
// validating, and what is stored and sent after each step.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "RegisterTestEnv.h"
#include "common/ClientSocket.h"
#include "common/NamedServers.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "register/USystReg.h"
#include "widgets/Dialogs.h"

using namespace davu;

using davu::test::Control;

namespace {

QString Stored(const char* section, const char* key) {
  return ReadUserSetting(QLatin1String(section), QLatin1String(key));
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

}  // namespace

class NamedServersTest : public QObject {
  Q_OBJECT

  std::unique_ptr<RegisterCase> c_;
  std::unique_ptr<TfrmSystreg> w_;
  int reconnects_ = 0;

  ServerSettingsTab* tab() { return Control<ServerSettingsTab>(w_, "tsServersettings"); }
  void open() {
    w_ = std::make_unique<TfrmSystreg>();
    QObject::connect(w_.get(), &TfrmSystreg::reconnectRequested, [this] { ++reconnects_; });
    w_->SetTabs(Control<ServerSettingsTab>(w_, "tsServersettings"));
  }
  void storeTwo() {
    davu::NamedServerList list;
    list.servers = {{"Klinik A", "a.example", "4000", {}, {}}, {"Klinik B", "b.example", "5000", "upd.b", "8090"}};
    list.current = 0;
    QVERIFY(list.Save());
  }
  void fill(const QString& name, const QString& host, const QString& port) {
    Control<QLineEdit>(tab(), "edServerNamn")->setText(name);
    Control<QLineEdit>(tab(), "edServername")->setText(host);
    Control<QLineEdit>(tab(), "edServerport")->setText(port);
  }

 private slots:
  void init() {
    c_ = std::make_unique<RegisterCase>();
    reconnects_ = 0;
  }
  void cleanup() {
    w_.reset();
    c_.reset();
  }

  void controlsHaveNamesAndCaptions() {
    open();
    QCOMPARE(Control<QComboBox>(tab(), "cbNamedServers")->objectName(), QString("cbNamedServers"));
    QCOMPARE(Control<QPushButton>(tab(), "btnAddServer")->text(), QString("Lägg till"));
    QCOMPARE(Control<QPushButton>(tab(), "btnRemoveServer")->text(), QString("Ta bort"));
    QCOMPARE(Control<QLineEdit>(tab(), "edServerNamn")->objectName(), QString("edServerNamn"));
    // The only server cannot be removed.
    QVERIFY(!Control<QPushButton>(tab(), "btnRemoveServer")->isEnabled());
  }

  // The old single server is shown as the first named one; saving it keeps
  // the list.
  void oldSettingsBecomeTheFirstNamedServer() {
    WriteSetting("ServerSettings", "ServerName", "srv.example");
    WriteSetting("ServerSettings", "ServerPort", "4000");
    open();
    QCOMPARE(Items(Control<QComboBox>(tab(), "cbNamedServers")), QStringList{"srv.example"});
    QCOMPARE(Control<QLineEdit>(tab(), "edServerNamn")->text(), QString("srv.example"));
    Control<QPushButton>(w_, "btnSave")->click();
    QCOMPARE(reconnects_, 1);
    QCOMPARE(Stored("ServerList", "Count"), QString("1"));
    QCOMPARE(Stored("ServerList", "Name1"), QString("srv.example"));
    QCOMPARE(Stored("ServerList", "Current"), QString("srv.example"));
  }

  // A first start with nothing stored: the server typed is named after
  // itself unless a name is given.
  void firstServerTypedOnAFirstStart() {
    open();
    QCOMPARE(Control<QLineEdit>(tab(), "edServername")->text(), QString("ERROR"));
    fill("", "10.0.0.5", "4000");
    Control<QPushButton>(w_, "btnSave")->click();
    QCOMPARE(Stored("ServerList", "Name1"), QString("10.0.0.5"));
    QCOMPARE(Stored("ServerSettings", "ServerName"), QString("10.0.0.5"));
    QCOMPARE(Items(Control<QComboBox>(tab(), "cbNamedServers")), QStringList{"10.0.0.5"});
  }

  // "Lägg till", typing, going back and forth, "Spara": the shown server
  // becomes current and every server keeps what was typed for it.
  void addRenameAndSwitchOnSave() {
    storeTwo();
    open();
    QCOMPARE(Items(Control<QComboBox>(tab(), "cbNamedServers")), (QStringList{"Klinik A", "Klinik B"}));
    QCOMPARE(Control<QLineEdit>(tab(), "edServername")->text(), QString("a.example"));
    Control<QPushButton>(tab(), "btnAddServer")->click();
    QCOMPARE(Control<QLineEdit>(tab(), "edServerNamn")->text(), QString("Ny server"));
    QCOMPARE(Control<QComboBox>(tab(), "cbNamedServers")->currentIndex(), 2);
    QVERIFY(Control<QLineEdit>(tab(), "edServername")->text().isEmpty());
    Control<QPushButton>(tab(), "btnAddServer")->click();
    QCOMPARE(Control<QLineEdit>(tab(), "edServerNamn")->text(), QString("Ny server 2"));
    Control<QPushButton>(tab(), "btnRemoveServer")->click();  // not the current one: no question
    QVERIFY(c_->platform->dialogs->questions.isEmpty());
    fill("Klinik C", "c.example", "6000");
    QTest::keyClicks(Control<QLineEdit>(tab(), "edServerNamn"), "!");  // the list follows the typing
    QCOMPARE(Control<QComboBox>(tab(), "cbNamedServers")->itemText(2), QString("Klinik C!"));

    // Klinik A renamed, then back to C: both edits stay.
    tab()->cbNamedServersChange(0);
    QCOMPARE(Control<QLineEdit>(tab(), "edServername")->text(), QString("a.example"));
    Control<QLineEdit>(tab(), "edServerNamn")->setText("Klinik Alfa");
    tab()->cbNamedServersChange(1);
    QCOMPARE(Control<QLineEdit>(tab(), "edUpdateServername")->text(), QString("upd.b"));
    QCOMPARE(Control<QLineEdit>(tab(), "edUpdateServerport")->text(), QString("8090"));
    QVERIFY(Control<QLineEdit>(tab(), "edServerver")->text().isEmpty());  // not the server connected to
    tab()->cbNamedServersChange(2);
    QCOMPARE(Control<QLineEdit>(tab(), "edServername")->text(), QString("c.example"));

    // Nothing is stored before "Spara".
    QCOMPARE(Stored("ServerList", "Count"), QString("2"));
    Control<QPushButton>(w_, "btnSave")->click();
    QCOMPARE(reconnects_, 1);
    QCOMPARE(Stored("ServerList", "Count"), QString("3"));
    QCOMPARE(Stored("ServerList", "Name1"), QString("Klinik Alfa"));
    QCOMPARE(Stored("ServerList", "Name3"), QString("Klinik C!"));
    QCOMPARE(Stored("ServerList", "Current"), QString("Klinik C!"));
    QCOMPARE(Stored("ServerSettings", "ServerName"), QString("c.example"));
    QCOMPARE(Stored("ServerSettings", "ServerPort"), QString("6000"));
    QVERIFY(WasConnected == false && UpdateCheckPending);
    // The removed "Ny server 2" left nothing behind.
    QVERIFY(Stored("ServerList", "Name4").isEmpty());
  }

  // Saving another clinic's server tells the server being left nothing: its
  // settings are read by that clinic's own clients.
  void switchingSendsNothingToTheServerBeingLeft() {
    storeTwo();
    QVERIFY(c_->connect());
    ServerVersion = "1.10.6";
    open();
    w_->ClientSocket1 = c_->socket.get();
    ServerSocket = c_->socket.get();
    tab()->cbNamedServersChange(1);
    c_->server->takeSent(*c_->socket);
    c_->server->clearReceived();
    Control<QPushButton>(w_, "btnSave")->click();
    // Everything sent before the close has arrived once the server sees it.
    QVERIFY(WaitUntil([&] { return !c_->server->hasConnection(); }));
    QCOMPARE(QString::fromLatin1(c_->server->received()), QString());
    QCOMPARE(reconnects_, 1);
    QCOMPARE(Stored("ServerSettings", "ServerName"), QString("b.example"));
    QVERIFY(!c_->socket->active());
  }

  void refusedLists_data() {
    QTest::addColumn<int>("server");  // the one made wrong; the tab shows it
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("shown");  // the server the tab shows with the balloon
    QTest::newRow("name taken, in other letters") << 0 << "klinik b" << "a.example" << "4000" << "edServerNamn"
                                << "Det finns redan en server med namnet klinik b!" << 0;
    QTest::newRow("name taken by the first") << 1 << "Klinik A" << "b.example" << "5000" << "edServerNamn"
                                             << "Det finns redan en server med namnet Klinik A!" << 0;
    QTest::newRow("other server without port") << 1 << "Klinik B" << "b.example" << "" << "edServerport"
                                               << "Serverporten måste vara ett tal mellan 1 och 65535!" << 1;
    QTest::newRow("other server without server name") << 1 << "Klinik B" << " " << "5000" << "edServername"
                                               << "Servernamn får ej vara tomt!" << 1;
  }
  void refusedLists() {
    QFETCH(int, server);
    QFETCH(QString, name);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, field);
    QFETCH(QString, message);
    QFETCH(int, shown);
    storeTwo();
    open();
    const QByteArray before = SettingsSandbox::contents(c_->settings.userFile());
    tab()->cbNamedServersChange(server);
    fill(name, host, port);
    tab()->cbNamedServersChange(server == 0 ? 1 : 0);  // the wrong one is not shown
    Control<QPushButton>(w_, "btnSave")->click();
    QCOMPARE(reconnects_, 0);
    QCOMPARE(SettingsSandbox::contents(c_->settings.userFile()), before);
    QCOMPARE(c_->platform->dialogs->balloons.size(), std::size_t(1));
    QCOMPARE(c_->platform->dialogs->balloons[0].text, message);
    QCOMPARE(Control<QComboBox>(tab(), "cbNamedServers")->currentIndex(), shown);
    const auto* refused = tab()->findChild<QLineEdit*>(field);
    QVERIFY(refused);
    QCOMPARE(c_->platform->dialogs->balloons[0].pos,
             refused->mapToGlobal(QPoint(refused->width() / 2, refused->height())));
  }

  // Removing the server in use asks; "Ja" removes it and switches at once.
  void removingTheCurrentServerAsksAndSwitches() {
    storeTwo();
    open();
    c_->platform->dialogs->answers = {mrNo};
    Control<QPushButton>(tab(), "btnRemoveServer")->click();
    QCOMPARE(c_->platform->dialogs->questions.size(), 1);
    QVERIFY(c_->platform->dialogs->questions[0].startsWith("Ta bort Klinik A, den server som används nu?"));
    QVERIFY(c_->platform->dialogs->questions[0].contains("Klinik B"));
    QCOMPARE(Items(Control<QComboBox>(tab(), "cbNamedServers")), (QStringList{"Klinik A", "Klinik B"}));
    QCOMPARE(reconnects_, 0);

    c_->platform->dialogs->answers = {mrYes};
    Control<QPushButton>(tab(), "btnRemoveServer")->click();
    QCOMPARE(Items(Control<QComboBox>(tab(), "cbNamedServers")), QStringList{"Klinik B"});
    QCOMPARE(reconnects_, 1);
    QCOMPARE(Stored("ServerList", "Count"), QString("1"));
    QCOMPARE(Stored("ServerList", "Name1"), QString("Klinik B"));
    QCOMPARE(Stored("ServerList", "UpdateName1"), QString("upd.b"));
    QCOMPARE(Stored("ServerList", "Current"), QString("Klinik B"));
    QCOMPARE(Stored("ServerSettings", "ServerName"), QString("b.example"));
    QCOMPARE(Stored("ServerSettings", "ServerPort"), QString("5000"));
    QVERIFY(Stored("ServerList", "Name2").isEmpty());
    QVERIFY(!Control<QPushButton>(tab(), "btnRemoveServer")->isEnabled());
  }

  // "ServerSettings" changed behind the list's back (an older version of the
  // program, or by hand) is what the connection uses: the current server
  // takes it.
  void serverSettingsWinOverTheList() {
    storeTwo();
    WriteUserSetting("ServerSettings", "ServerName", "moved.example");
    WriteUserSetting("ServerSettings", "ServerPort", "4100");
    const davu::NamedServerList list = davu::NamedServerList::Load();
    QCOMPARE(list.current, 0);
    QCOMPARE(list.servers[0].host, QString("moved.example"));
    QCOMPARE(list.servers[0].port, QString("4100"));
    QCOMPARE(list.servers[1].host, QString("b.example"));
    QVERIFY(!list.madeFromOldSettings);
  }

  // A damaged list: a count beyond reason, holes, a name twice.
  void damagedListIsReadSafely() {
    WriteUserSetting("ServerList", "Count", "999999999");
    WriteUserSetting("ServerList", "Name1", "A");
    WriteUserSetting("ServerList", "Name3", "a");
    WriteUserSetting("ServerList", "Name4", "B");
    WriteUserSetting("ServerList", "Current", "nobody");
    const davu::NamedServerList list = davu::NamedServerList::Load();
    QCOMPARE(list.servers.size(), 2);
    QCOMPARE(list.servers[1].name, QString("B"));
    QCOMPARE(list.current, 0);
  }
};

QTEST_MAIN(NamedServersTest)
#include "namedservers_test.moc"
