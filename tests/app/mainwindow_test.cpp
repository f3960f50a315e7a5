// The main window: its controls, the first start, the buttons and the end.
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "AppHarness.h"
#include "Controls.h"
#include "app/AppStart.h"
#include "app/ButtonPictures.h"
#include "app/ProductVersion.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "calllog/IdagWindow.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientSocket.h"
#include "common/ReplyTarget.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "register/USystReg.h"

using namespace davu;

using davu::test::Control;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsHaveTheirNamesCaptionsAndSizes_data();
  void controlsHaveTheirNamesCaptionsAndSizes();
  void windowIsFixedWithStatusBarAndTitle();
  void buttonPicturesHaveTwoImages_data();
  void buttonPicturesHaveTwoImages();
  void firstStartWithoutServerNameOpensServerTab();
  void laterActivationsOnlyRepaint();
  void newUserSetsServerAndConnects();
  void registerButtonShowsRegisterMode();
  void registerModeEndsAlsoOnFailure();
  void settingsButtonShowsServerTab();
  void callLogButtonsOpenTheirWindows();
  void enterPressesTheFocusedButton_data();
  void enterPressesTheFocusedButton();
  void closingAlwaysExitsWithStatusOne_data();
  void closingAlwaysExitsWithStatusOne();
  void startInARemovedFolderShowsTheErrorAndEnds();
};

void MainWindowTest::controlsHaveTheirNamesCaptionsAndSizes_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<bool>("enabled");
  QTest::newRow("btnSystemregister") << "btnSystemregister" << "Systemregister..." << QSize(113, 136) << true;
  QTest::newRow("btnStatistik") << "btnStatistik" << "Statistik..." << QSize(113, 136) << false;
  QTest::newRow("btnKallelser") << "btnKallelser" << "Kallelser..." << QSize(113, 136) << false;
  QTest::newRow("btnIdag") << "btnIdag" << "Idag..." << QSize(113, 136) << false;
  QTest::newRow("btnSettings") << "btnSettings" << "Inställningar..." << QSize(113, 136) << true;
  QTest::newRow("btnClose") << "btnClose" << "&Stäng" << QSize(73, 27) << true;
  QTest::newRow("Label1") << "Label1" << "Ej ansluten" << QSize() << true;
}

void MainWindowTest::controlsHaveTheirNamesCaptionsAndSizes() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  QFETCH(QSize, size);
  QFETCH(bool, enabled);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  w.show();
  QWidget* c = w.findChild<QWidget*>(name);
  QVERIFY2(c, qPrintable(name));
  if (auto* b = qobject_cast<QAbstractButton*>(c)) QCOMPARE(b->text(), caption);
  if (auto* l = qobject_cast<QLabel*>(c)) QCOMPARE(l->text(), caption);
  if (size.isValid()) QCOMPARE(c->size(), size);
  QCOMPARE(c->isEnabled(), enabled);
}

void MainWindowTest::windowIsFixedWithStatusBarAndTitle() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  // The first design's 471 pixels, widened by one button for "Idag...".
  QCOMPARE(w.size(), QSize(590, 165));
  QCOMPARE(w.minimumSize(), w.maximumSize());
  QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
  QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);

  // The five buttons side by side, the outer two against the edges.
  QCOMPARE(Control<PictureButton>(&w, "btnSystemregister")->x(), 0);
  QVERIFY(Control<PictureButton>(&w, "btnStatistik")->x() >= 113);
  QVERIFY(Control<PictureButton>(&w, "btnKallelser")->x() >= Control<PictureButton>(&w, "btnStatistik")->x() + 113);
  QVERIFY(Control<PictureButton>(&w, "btnIdag")->x() >= Control<PictureButton>(&w, "btnKallelser")->x() + 113);
  QVERIFY(Control<PictureButton>(&w, "btnSettings")->x() >= Control<PictureButton>(&w, "btnIdag")->x() + 113);
  QCOMPARE(Control<PictureButton>(&w, "btnSettings")->geometry().right(), 589);

  QCOMPARE(Control<QFrame>(&w, "Panel3")->objectName(), QString("Panel3"));
  QCOMPARE(Control<QFrame>(&w, "Panel3")->geometry(), QRect(0, 136, 590, 29));
  QCOMPARE(Control<StatusCircle>(&w, "shServerConnected")->objectName(), QString("shServerConnected"));
  QCOMPARE(Control<StatusCircle>(&w, "shServerConnected")->size(), QSize(25, 25));
  QCOMPARE(Control<StatusCircle>(&w, "shServerConnected")->brushColor(), QColor(255, 0, 0));
  QCOMPARE(Control<StatusCircle>(&w, "shServerConnected")->toolTip(), QString("Serveranslutning: Ej ansluten"));
  QCOMPARE(w.connectionState(), ConnectionState::NotConnected);
  QVERIFY(Control<QLabel>(&w, "Label1")->x() > Control<StatusCircle>(&w, "shServerConnected")->geometry().right());
  QCOMPARE(Control<QPushButton>(&w, "btnClose")->geometry().right(), 589 - 2);
  QCOMPARE(w.ClientSocket1->objectName(), QString("ClientSocket1"));
  QCOMPARE(w.ClientSocket1->port(), 0);
  QVERIFY(!w.ClientSocket1->active());
  QVERIFY(!w.Timer3->isActive());
  QCOMPARE(w.Timer3->interval(), 1000);
  QVERIFY(!w.ReconnectTimer->isActive());

  QCOMPARE(w.windowTitle(), "DAVU Admin  version: " + ProgramProductVersion());
  QVERIFY(!ProgramProductVersion().isEmpty());
  QCOMPARE(OwnClientType, ctAdmin);
  QVERIFY(ConnectProc);
  QVERIFY(!SettingsRootName.isEmpty());
  // The process-wide formats are set with the window.
  QCOMPARE(QLocale().decimalPoint(), QString(","));
  QCOMPARE(QLocale().toString(3.5), QString("3,5"));
}

void MainWindowTest::buttonPicturesHaveTwoImages_data() {
  QTest::addColumn<QIcon>("icon");
  QTest::newRow("register") << davu::buttonpictures::RegisterPicture();
  QTest::newRow("statistics") << davu::buttonpictures::StatisticsPicture();
  QTest::newRow("calls") << davu::buttonpictures::CallsPicture();
  QTest::newRow("settings") << davu::buttonpictures::SettingsPicture();
  QTest::newRow("today") << davu::buttonpictures::TodayPicture();
}

void MainWindowTest::buttonPicturesHaveTwoImages() {
  QFETCH(QIcon, icon);
  const QImage on = icon.pixmap(QSize(64, 64), QIcon::Normal).toImage().convertToFormat(QImage::Format_ARGB32);
  const QImage off = icon.pixmap(QSize(64, 64), QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
  QCOMPARE(on.size(), QSize(64, 64));
  QVERIFY(on != off);
  // Something is drawn, and the disabled image is grey throughout.
  int drawn = 0;
  bool coloured = false;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const QRgb a = on.pixel(x, y), b = off.pixel(x, y);
      if (qAlpha(a) > 0) ++drawn;
      if (qRed(a) != qGreen(a) || qGreen(a) != qBlue(a)) coloured = true;
      QCOMPARE(qRed(b), qGreen(b));
      QCOMPARE(qGreen(b), qBlue(b));
    }
  QVERIFY(drawn > 400);
  QVERIFY(coloured);
}

void MainWindowTest::firstStartWithoutServerNameOpensServerTab() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  WasConnected = true;
  w.FormActivate();
  QVERIFY(w.frmSystreg);
  QCOMPARE(w.frmSystreg->ClientSocket1, w.ClientSocket1);
  QVERIFY(!WasConnected);
  QCOMPARE(int(h.fake.dialogs->balloons.size()), 1);
  QCOMPARE(h.fake.dialogs->balloons[0].text,
           QString("Gå till Systemregistret och ställ in servernamn och serverport."));
  QCOMPARE(h.fake.dialogs->balloons[0].pos, w.mapToGlobal(QPoint(0, 0)));
  QCOMPARE(int(h.modals.size()), 1);
  QCOMPARE(h.modals[0].dialog, static_cast<QDialog*>(w.frmSystreg));
  QCOMPARE(h.modals[0].page, Control<ServerSettingsTab>(w.frmSystreg, "tsServersettings"));
  QVERIFY(!h.modals[0].registerMode);
  // No attempt was made.
  QCOMPARE(h.status(), QString("Ej ansluten"));
  QCOMPARE(h.state(), ConnectionState::NotConnected);
  QVERIFY(!w.ClientSocket1->active());
  QVERIFY(!h.server.waitForConnection(200));
}

void MainWindowTest::laterActivationsOnlyRepaint() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  w.FormActivate();
  TfrmSystreg* reg = w.frmSystreg;
  w.FormActivate();
  w.FormActivate();
  QCOMPARE(w.frmSystreg, reg);
  QCOMPARE(int(h.modals.size()), 1);
  QCOMPARE(int(h.fake.dialogs->balloons.size()), 1);
}

void MainWindowTest::newUserSetsServerAndConnects() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeLocal("DAVU", "ClientNameUseDefault", "1");
  // Nothing stored: the register opens on its server tab; the user types the
  // server, saves and goes back.
  h.duringModal = [&](QDialog* d) {
    auto* reg = qobject_cast<TfrmSystreg*>(d);
    QVERIFY(reg);
    Control<QLineEdit>(Control<ServerSettingsTab>(reg, "tsServersettings"), "edServername")->setText("127.0.0.1");
    Control<QLineEdit>(Control<ServerSettingsTab>(reg, "tsServersettings"), "edServerport")->setText(QString::number(h.server.port()));
    reg->btnSaveClick();
    reg->btnReturnClick();
  };
  w.FormActivate();
  QVERIFY(h.server.waitForConnection());
  QVERIFY(h.server.waitForReceived(Introduction()));
  QVERIFY(h.acceptVersion("1.10.6"));
  QCOMPARE(ReadSetting("ServerSettings", "ServerName"), QString("127.0.0.1"));
}

void MainWindowTest::registerButtonShowsRegisterMode() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndAccept());
  h.server.clearReceived();

  QVERIFY(!RegisterMode);
  Control<PictureButton>(&w, "btnSystemregister")->click();
  QCOMPARE(int(h.modals.size()), 1);
  QVERIFY(h.modals[0].registerMode);
  QCOMPARE(h.modals[0].page, Control<ResourcesTab>(w.frmSystreg, "tsResurser"));
  QCOMPARE(w.frmSystreg->width(), 800);
  QVERIFY(!RegisterMode);
  QVERIFY(h.server.waitForReceived("GETALLCALLABLES"));
}

void MainWindowTest::registerModeEndsAlsoOnFailure() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  w.FormActivate();
  h.duringModal = [](QDialog*) { throw std::runtime_error("avbrutet"); };
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, w.btnSystemregisterClick());
  QVERIFY(!RegisterMode);
  // Without a connection no register tab is shown.
  QCOMPARE(h.modals.back().page, static_cast<QWidget*>(nullptr));
}

void MainWindowTest::settingsButtonShowsServerTab() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndAccept());
  Control<PictureButton>(&w, "btnSystemregister")->click();
  Control<PictureButton>(&w, "btnSettings")->click();
  QCOMPARE(int(h.modals.size()), 2);
  QCOMPARE(h.modals[1].page, Control<ServerSettingsTab>(w.frmSystreg, "tsServersettings"));
  QVERIFY(!h.modals[1].registerMode);
  // It keeps the width of the register mode.
  QCOMPARE(w.frmSystreg->width(), 800);
}

void MainWindowTest::callLogButtonsOpenTheirWindows() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndAccept());

  bool statsOk = false, callsOk = false;
  h.duringModal = [&](QDialog* d) {
    if (auto* s = qobject_cast<TfrmDAVUStatistik*>(d)) statsOk = s->ClientSocket1 == w.ClientSocket1;
    if (auto* c = qobject_cast<TfrmDAVUActiveCalls*>(d)) callsOk = c->ClientSocket1 == w.ClientSocket1;
  };
  Control<PictureButton>(&w, "btnStatistik")->click();
  QVERIFY(statsOk);
  QCOMPARE(h.modals.back().replyTarget, rtStatistics);
  Control<PictureButton>(&w, "btnKallelser")->click();
  QVERIFY(callsOk);
  QCOMPARE(h.modals.back().replyTarget, rtActiveCalls);
  // Each window is freed when it closes.
  QCOMPARE(ReplyTarget, rtNone);
  QCOMPARE(w.findChildren<QDialog*>().size(), 1);  // the register alone

  // "Idag..." is not modal: it stays open beside the main window, and a
  // second press brings the same window forward.
  const auto shown = h.modals.size();
  Control<PictureButton>(&w, "btnIdag")->click();
  auto* today = w.findChild<IdagWindow*>();
  QVERIFY(today && today->isVisible());
  QCOMPARE(today->ClientSocket1, w.ClientSocket1);
  QCOMPARE(ReplyTarget, rtNone);
  Control<PictureButton>(&w, "btnIdag")->click();
  QCOMPARE(w.findChildren<IdagWindow*>().size(), 1);
  QCOMPARE(h.modals.size(), shown);
  today->close();
  QTRY_COMPARE(w.findChildren<IdagWindow*>().size(), 0);
}

void MainWindowTest::enterPressesTheFocusedButton_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<int>("key");
  for (const char* b : {"btnSystemregister", "btnStatistik", "btnKallelser", "btnIdag", "btnSettings", "btnClose"}) {
    QTest::addRow("%s, Return", b) << QString(b) << int(Qt::Key_Return);
    QTest::addRow("%s, Enter", b) << QString(b) << int(Qt::Key_Enter);
  }
}

// As on every other window, Enter presses the button that has the focus.
void MainWindowTest::enterPressesTheFocusedButton() {
  QFETCH(QString, button);
  QFETCH(int, key);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndAccept());
  w.show();
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  auto* b = w.findChild<QPushButton*>(button);
  QVERIFY(b);
  b->setFocus(Qt::TabFocusReason);
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(b));
  QSignalSpy clicked(b, &QAbstractButton::clicked);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
  QCOMPARE(clicked.count(), 1);
  // What the button does happened: a window was shown, or the program ended.
  const int today = w.findChildren<IdagWindow*>().size();
  QCOMPARE(int(h.modals.size() + h.exits.size()) + today, 1);
}

void MainWindowTest::closingAlwaysExitsWithStatusOne_data() {
  QTest::addColumn<bool>("byButton");
  QTest::addColumn<bool>("connected");
  QTest::newRow("Stäng, unconnected") << true << false;
  QTest::newRow("close box, connected") << false << true;
}

void MainWindowTest::closingAlwaysExitsWithStatusOne() {
  QFETCH(bool, byButton);
  QFETCH(bool, connected);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  w.show();
  if (connected) {
    QVERIFY(h.connectAndAccept());
  }
  if (byButton)
    Control<QPushButton>(&w, "btnClose")->click();
  else
    w.close();
  QCOMPARE(h.exits, std::vector<int>{1});
  QVERIFY(!w.ClientSocket1->active());
  QVERIFY(!w.Timer3->isActive());
  QVERIFY(!w.ReconnectTimer->isActive());
  QVERIFY(!w.frmSystreg);
  if (connected) QVERIFY(WaitUntil([&] { return !h.server.hasConnection(); }));
}

// Started from a folder that was removed, the program cannot name its local
// settings: it says so and ends, instead of aborting.
void MainWindowTest::startInARemovedFolderShowsTheErrorAndEnds() {
  AppHarness h;
  const QString before = QDir::currentPath();
  {
    QTemporaryDir gone;
    QVERIFY(QDir::setCurrent(gone.path()));
  }
  const std::unique_ptr<TfrmDAVUAdmin> w = CreateMainWindow();
  QVERIFY(QDir::setCurrent(before));
  QVERIFY(!w);
  QCOMPARE(h.fake.dialogs->infoMessages.size(), 1);
  QVERIFY2(h.fake.dialogs->infoMessages[0].startsWith("DAVU Admin kunde inte starta.\r\r"),
           qPrintable(h.fake.dialogs->infoMessages[0]));
  QVERIFY(CreateMainWindow());
}

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
