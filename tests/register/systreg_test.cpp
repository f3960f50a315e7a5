// The register window's tabs, modes, load requests and buttons.
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QLabel>
#include <QtTest>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "RegisterTestEnv.h"
#include "common/ClientIdentity.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "protocol/Catalogue.h"
#include "register/USystReg.h"

using namespace davu;

using davu::test::Control;

namespace {

std::string Request(const char* tag) {
  const std::string name = ToWire(GetClientName());
  return std::string("\xA4") + tag + ":" + name + ":" + tag + "\xA4";
}

QWidget* PageNamed(TfrmSystreg& w, const QString& name) {
  if (name.isEmpty()) return nullptr;
  return Control<QTabWidget>(&w, "PageControl1")->findChild<QWidget*>(name);
}

QStringList ShownTabs(TfrmSystreg& w) {
  QStringList shown;
  for (int i = 0; i < Control<QTabWidget>(&w, "PageControl1")->count(); ++i)
    if (Control<QTabWidget>(&w, "PageControl1")->isTabVisible(i)) shown << Control<QTabWidget>(&w, "PageControl1")->widget(i)->objectName();
  return shown;
}

QString Name(QWidget* page) { return page ? page->objectName() : QString(); }

}  // namespace

class SystRegTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    c_ = std::make_unique<RegisterCase>();
    connects_ = 0;
  }
  void cleanup() { c_.reset(); }

  void windowAsDesigned() {
    TfrmSystreg w;
    countConnects(w);
    QCOMPARE(w.windowTitle(), QStringLiteral("Systemregister"));
    QCOMPARE(w.size(), QSize(573, 391));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    const QStringList names{"tsServersettings", "tsResurser", "tsStations", "tsSMS"};
    const QStringList captions{"Serverinställningar/utseende", "Resurser", "Klienter",
                               "SMS-inställningar"};
    QCOMPARE(Control<QTabWidget>(&w, "PageControl1")->count(), 4);
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(Control<QTabWidget>(&w, "PageControl1")->widget(i)->objectName(), names[i]);
      QCOMPARE(Control<QTabWidget>(&w, "PageControl1")->tabText(i), captions[i]);
    }
    QCOMPARE(w.findChild<QPushButton*>("btnSave")->text(), QStringLiteral("Spara"));
    QCOMPARE(w.findChild<QPushButton*>("btnCancel")->text(), QStringLiteral("Ångra"));
    QCOMPARE(w.findChild<QPushButton*>("btnReturn")->text(), QStringLiteral("Återgå"));
    QVERIFY(!w.FClickedSpara);
    QVERIFY(!Control<ServerSettingsTab>(&w, "tsServersettings")->FThemeChanged);
    QCOMPARE(Control<QSplitter>(Control<StationsTab>(&w, "tsStations"), "Splitter1")->widget(0)->property("title").toString(), QStringLiteral("Befintliga klienter"));
    QCOMPARE(Control<QSplitter>(Control<StationsTab>(&w, "tsStations"), "Splitter1")->widget(1)->property("title").toString(), QStringLiteral("Resurser att visa/kalla"));
  }

  // prior: a SetTabs before the one under test, in the given mode and
  // connection state ("" for none). Then SetTabs(page) in `registerMode`
  // with the connection `connection` ("open", "closed" or "none"); page
  // "=active" passes the active page, as the version reply does.
  void setTabs_data() {
    QTest::addColumn<QString>("priorPage");
    QTest::addColumn<bool>("priorRegister");
    QTest::addColumn<bool>("priorOpen");
    QTest::addColumn<bool>("registerMode");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("request");
    QTest::addColumn<bool>("saveEnabled");

    const QStringList server{"tsServersettings"};
    const QStringList reg{"tsResurser", "tsStations", "tsSMS"};
    QTest::newRow("settings mode, closed") << "" << false << false << false << "closed"
                                           << "tsServersettings" << server << "tsServersettings" << ""
                                           << true;
    QTest::newRow("settings mode, no socket") << "" << false << false << false << "none"
                                              << "tsServersettings" << server << "tsServersettings"
                                              << "" << true;
    QTest::newRow("settings mode after register showing, open")
        << "tsSMS" << true << true << false << "open" << "tsServersettings" << server
        << "tsServersettings" << "" << true;
    QTest::newRow("settings mode asked for a register tab") << "" << false << false << false << "open"
                                                            << "tsResurser" << server
                                                            << "tsServersettings" << "" << true;
    QTest::newRow("register mode, open, Resurser") << "" << false << false << true << "open"
                                                   << "tsResurser" << reg << "tsResurser"
                                                   << "GETALLCALLABLES" << false;
    QTest::newRow("register mode, open, Klienter") << "" << false << false << true << "open"
                                                   << "tsStations" << reg << "tsStations"
                                                   << "GETALLMACHINES" << false;
    // The register tabs wait for their contents before anything can be saved.
    QTest::newRow("register mode, open, SMS") << "" << false << false << true << "open" << "tsSMS"
                                              << reg << "tsSMS" << "GETSMSSETTINGS" << false;
    QTest::newRow("register mode, open, server tab asked") << "" << false << false << true << "open"
                                                           << "tsServersettings" << reg
                                                           << "tsResurser" << "GETALLCALLABLES"
                                                           << false;
    QTest::newRow("register mode, closed") << "" << false << false << true << "closed"
                                           << "tsResurser" << QStringList() << "" << "" << true;
    QTest::newRow("register mode, no socket") << "" << false << false << true << "none"
                                              << "tsResurser" << QStringList() << "" << "" << true;
    QTest::newRow("version reply keeps the active register tab")
        << "tsSMS" << true << true << true << "open" << "=active" << reg << "tsSMS"
        << "GETSMSSETTINGS" << false;
    QTest::newRow("version reply after opening while disconnected")
        << "tsResurser" << true << false << true << "open" << "=active" << reg << "tsResurser"
        << "GETALLCALLABLES" << false;
    QTest::newRow("connection lost, register tabs go") << "tsStations" << true << true << true
                                                       << "closed" << "=active" << QStringList() << ""
                                                       << "" << true;
  }
  void setTabs() {
    QFETCH(QString, priorPage);
    QFETCH(bool, priorRegister);
    QFETCH(bool, priorOpen);
    QFETCH(bool, registerMode);
    QFETCH(QString, connection);
    QFETCH(QString, page);
    QFETCH(QStringList, shown);
    QFETCH(QString, active);
    QFETCH(QString, request);
    QFETCH(bool, saveEnabled);

    TfrmSystreg w;
    countConnects(w);
    w.ClientSocket1 = c_->socket.get();
    if (!priorPage.isEmpty()) {
      if (priorOpen) QVERIFY(c_->connect());
      RegisterMode = priorRegister;
      w.SetTabs(PageNamed(w, priorPage));
    }
    if (connection == "open" && !c_->socket->active()) QVERIFY(c_->connect());
    if (connection != "open" && c_->socket->active()) c_->socket->close();
    if (connection == "none") w.ClientSocket1 = nullptr;

    RegisterMode = registerMode;
    QWidget* target = page == "=active" ? w.activePage() : PageNamed(w, page);
    std::string sent;
    if (connection == "open") {
      sent = c_->sent([&] { w.SetTabs(target); });
    } else {
      w.SetTabs(target);
    }

    QCOMPARE(ShownTabs(w), shown);
    QCOMPARE(Name(w.activePage()), active);
    if (w.activePage()) QCOMPARE(Control<QTabWidget>(&w, "PageControl1")->currentWidget(), w.activePage());
    QCOMPARE(sent, request.isEmpty() ? std::string() : Request(request.toLatin1().constData()));
    QCOMPARE(Control<QPushButton>(&w, "btnSave")->isEnabled(), saveEnabled);
    QCOMPARE(Control<QPushButton>(&w, "btnCancel")->isEnabled(), saveEnabled);
  }

  // Picking a tab loads it once; "Ångra" loads the active tab again.
  void pickingTabsAndCancel() {
    TfrmSystreg w;
    countConnects(w);
    w.ClientSocket1 = c_->socket.get();
    QVERIFY(c_->connect());
    RegisterMode = true;
    w.SetTabs(Control<ResourcesTab>(&w, "tsResurser"));
    QVERIFY(!Control<QPushButton>(&w, "btnSave")->isEnabled());

    QCOMPARE(c_->sent([&] { Control<QTabWidget>(&w, "PageControl1")->setCurrentWidget(Control<SmsSettingsTab>(&w, "tsSMS")); }),
             Request("GETSMSSETTINGS"));
    // Nothing to save until the account is here; the window says it waits.
    QVERIFY(!Control<QPushButton>(&w, "btnSave")->isEnabled());
    QCOMPARE(Control<QLabel>(&w, "lblStatus")->text(), QStringLiteral("Hämtar…"));
    w.HandleRetSmsSettings("\xA4RETSMSSETTINGS:a:b:1:");
    QVERIFY(Control<QPushButton>(&w, "btnSave")->isEnabled());
    QVERIFY(Control<QPushButton>(&w, "btnCancel")->isEnabled());
    QVERIFY(Control<QLabel>(&w, "lblStatus")->text().isEmpty());
    QCOMPARE(c_->sent([&] { Control<QPushButton>(&w, "btnCancel")->click(); }), Request("GETSMSSETTINGS"));
    QCOMPARE(c_->sent([&] { Control<QTabWidget>(&w, "PageControl1")->setCurrentWidget(Control<StationsTab>(&w, "tsStations")); }),
             Request("GETALLMACHINES"));
    QCOMPARE(c_->sent([&] { Control<QTabWidget>(&w, "PageControl1")->setCurrentWidget(Control<ResourcesTab>(&w, "tsResurser")); }),
             Request("GETALLCALLABLES"));
    // "Ångra" on Resurser asks for the list again (and drops unsent marks).
    QCOMPARE(c_->sent([&] { w.btnCancelClick(); }), Request("GETALLCALLABLES"));
    QVERIFY(!Control<QPushButton>(&w, "btnSave")->isEnabled());
  }

  void escapePressesCancel() {
    WriteSetting("ServerSettings", "ServerName", "stored.example");
    TfrmSystreg w;
    countConnects(w);
    w.ClientSocket1 = c_->socket.get();
    w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
    w.show();
    Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServername")->setText("edited");
    QTest::keyClick(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServername"), Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QCOMPARE(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServername")->text(), QStringLiteral("stored.example"));

    // With "Ångra" disabled (Resurser just loaded) Escape does nothing at all.
    QVERIFY(c_->connect());
    RegisterMode = true;
    w.SetTabs(Control<ResourcesTab>(&w, "tsResurser"));
    QCOMPARE(c_->sent([&] { QTest::keyClick(&w, Qt::Key_Escape); }), std::string());
    QVERIFY(w.isVisible());
    QCOMPARE(connects_, 0);
  }

  // Closing resets the resource list target; after the first "Spara" every
  // closing, however it is done, starts a new connection attempt.
  void closing_data() {
    QTest::addColumn<bool>("spara");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("connects");
    QTest::newRow("Återgå without Spara") << false << "return" << 0;
    QTest::newRow("close box without Spara") << false << "closebox" << 0;
    QTest::newRow("Återgå after Spara") << true << "return" << 2;
    QTest::newRow("close box after Spara") << true << "closebox" << 2;
  }
  void closing() {
    QFETCH(bool, spara);
    QFETCH(QString, how);
    QFETCH(int, connects);

    TfrmSystreg w;
    countConnects(w);
    w.ClientSocket1 = c_->socket.get();
    QVERIFY(c_->connect());
    RegisterMode = true;
    w.SetTabs(Control<SmsSettingsTab>(&w, "tsSMS"));
    for (int round = 0; round < 2; ++round) {
      w.show();
      w.ResourceListTarget = TfrmSystreg::TResourceListTarget::ListBox3;
      if (spara && round == 0) {
        // The SMS tab sends its (empty) fields; the flag is what counts here.
        w.HandleRetSmsSettings("\xA4RETSMSSETTINGS:::");
        QCOMPARE(c_->sent([&] { Control<QPushButton>(&w, "btnSave")->click(); }),
                 davu::proto::PostSmsSettings("", "", ""));
        QVERIFY(w.FClickedSpara);
        QCOMPARE(connects_, 0);
      }
      if (how == "return") Control<QPushButton>(&w, "btnReturn")->click();
      else w.close();
      QVERIFY(!w.isVisible());
      QCOMPARE(w.ResourceListTarget, TfrmSystreg::TResourceListTarget::None);
    }
    QCOMPARE(connects_, connects);
    QCOMPARE(w.FClickedSpara, spara);
  }

  // As the main window opens it for the register: hidden, 800 wide, split
  // laid out, then shown. The width stays for later showings.
  void registerWidthAndSplit() {
    TfrmSystreg w;
    countConnects(w);
    w.ClientSocket1 = c_->socket.get();
    QVERIFY(c_->connect());
    RegisterMode = true;
    w.SetTabs(Control<ResourcesTab>(&w, "tsResurser"));
    w.setFixedWidth(800);
    Control<StationsTab>(&w, "tsStations")->Splitter1Moved();
    w.show();
    Control<QTabWidget>(&w, "PageControl1")->setCurrentWidget(Control<StationsTab>(&w, "tsStations"));
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(Control<QSplitter>(Control<StationsTab>(&w, "tsStations"), "Splitter1")->width() > 760);  // laid out at the window's width
    Control<StationsTab>(&w, "tsStations")->Splitter1Moved();

    QCOMPARE(w.width(), 800);
    const QList<int> sizes = Control<QSplitter>(Control<StationsTab>(&w, "tsStations"), "Splitter1")->sizes();
    QCOMPARE(sizes.value(0), 249);
    QCOMPARE(sizes.value(0) + sizes.value(1) + Control<QSplitter>(Control<StationsTab>(&w, "tsStations"), "Splitter1")->handleWidth(), Control<QSplitter>(Control<StationsTab>(&w, "tsStations"), "Splitter1")->width());
    QVERIFY(Control<QSplitter>(Control<StationsTab>(&w, "tsStations"), "Splitter1")->width() > 760);
    QCOMPARE(Control<StationsTab>(&w, "tsStations")->allResourcesColumnWidth(), Control<QGroupBox>(Control<StationsTab>(&w, "tsStations"), "gbResurserAttVisa")->contentsRect().width() / 2 - 30);
    QVERIFY(Control<StationsTab>(&w, "tsStations")->allResourcesColumnWidth() > 200);

    Control<QPushButton>(&w, "btnReturn")->click();
    RegisterMode = false;
    w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
    w.show();
    QCOMPARE(w.width(), 800);
    QCOMPARE(Name(w.activePage()), QStringLiteral("tsServersettings"));
  }

 private:
  std::unique_ptr<RegisterCase> c_;
  // Counts the register's requests for a new connection attempt.
  void countConnects(TfrmSystreg& w) {
    QObject::connect(&w, &TfrmSystreg::reconnectRequested, [this] { ++connects_; });
  }
  int connects_ = 0;
};

QTEST_MAIN(SystRegTest)
#include "systreg_test.moc"
