// Every task of the program by keyboard alone: key events only (Tab,
// arrows, Space, Return, Alt+letter, Ctrl+PageDown), each result read from
// what the scripted server received.
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include "AppHarness.h"
#include "Controls.h"
#include "WireLiteral.h"
#include "app/Widgets.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/SharedState.h"
#include "register/USystReg.h"
#include "register/UfrmAddEditResurs.h"
#include "widgets/Dialogs.h"

using namespace davu;

using davu::test::Control;

namespace {

const char* kMe = "RECEPTION01_Admin";
// R1 active, R2 not.
const std::string kCallables = "R1:1:Rum 1:16777215:0::T:R2:2:Rum 2:16777215:0::F";
const std::string kMachines = "PC12:12:Reception:255:0:0:IMEI-1:extra";

// Where the keyboard is: the focused control, else the active window.
QWidget* KeyboardAt() {
  return QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
}

void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  if (QWidget* to = KeyboardAt()) QTest::keyClick(to, key, mods);
}

void Type(const QString& text) {
  for (QChar c : text)
    if (QWidget* to = KeyboardAt()) QTest::keyClick(to, c.toLatin1());
}

// Tab until `target` has the focus; false when it never gets it.
bool TabTo(QWidget* target) {
  QStringList path;  // where the focus went, for the failure message
  for (int i = 0; i < 60 && QApplication::focusWidget() != target; ++i) {
    Key(Qt::Key_Tab);
    path << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QStringLiteral("-"));
  }
  if (QApplication::focusWidget() != target) qWarning() << "Tab never reached" << target << path.mid(0, 12);
  return QApplication::focusWidget() == target;
}

// Shown and the active window itself: a dialog counts as active with its
// parent, but only the active window's access keys work.
bool Activate(QWidget* window) {
  window->show();
  window->activateWindow();
  return WaitUntil([window] { return QApplication::activeWindow() == window; });
}

std::string Sent(const char* tag, const std::string& fields) {
  return W(QStringLiteral("¤%1:%2:%1¤").arg(QLatin1String(tag), QString::fromUtf8(fields.c_str())));
}

}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT

  std::unique_ptr<AppHarness> h_;
  QStringList failures_;

  // A step inside a modal showing, where QVERIFY cannot end the case.
  void expect(bool ok, const QString& what) {
    if (!ok) failures_ << what;
    if (!ok) qWarning().noquote() << "failed:" << what;
  }

  // The main window connected and active; `modal` runs while a window from
  // it is shown, that window shown and active.
  bool start(const std::function<void(QDialog*)>& modal) {
    h_ = std::make_unique<AppHarness>();
    failures_.clear();
    TfrmDAVUAdmin& w = h_->create();
    h_->storeServer();
    if (!h_->connectAndAccept() || !Activate(&w)) return false;
    h_->duringModal = [this, modal](QDialog* d) {
      expect(Activate(d), QStringLiteral("window shown"));
      modal(d);
      d->hide();
      Activate(h_->w.get());
    };
    return true;
  }

  bool received(const std::string& needle) { return h_->server.waitForReceived(needle); }

 private slots:
  void cleanup() { h_.reset(); }

  // Alt+R opens the register; Alt+L adds a resource typed into the dialog by
  // its access keys; Tab, Space and Alt+S tick a resource and save it; Tab
  // and Return on "Återgå" close the register.
  void addTickAndSaveResources() {
    QVERIFY(start([this](QDialog* d) {
      auto* reg = qobject_cast<TfrmSystreg*>(d);
      expect(received(Sent("GETALLCALLABLES", kMe)), "register asked for the resources");
      h_->server.clearReceived();
      h_->server.send(Reply("RETALLCALLABLES", kCallables));
      expect(WaitUntil([&] { return Control<ResourcesTab>(reg, "tsResurser")->lbResurserItems->rowCount() == 2; }), "resources shown");

      // The dialog runs modally; the keys go in once it is active.
      Control<ResourcesTab>(reg, "tsResurser")->ShowModal = [this](QDialog* dialog) {
        QTimer::singleShot(0, dialog, [this, dialog] {
          expect(Activate(dialog), "resource dialog active");
          Key(Qt::Key_N, Qt::AltModifier);
          Type(QStringLiteral("R9"));
          Key(Qt::Key_F, Qt::AltModifier);
          Type(QStringLiteral("Rum 9"));
          Key(Qt::Key_Return);  // OK, the dialog's default
          if (dialog->isVisible()) dialog->reject();
        });
        return dialog->exec();
      };
      Key(Qt::Key_L, Qt::AltModifier);
      expect(received("REGISTERUPATECALLABLE"), "new resource sent");
      expect(h_->server.received().find("Rum 9") != std::string::npos, "new resource named Rum 9");
      expect(received(Sent("GETALLCALLABLES", kMe)), "list asked for again");
      h_->server.clearReceived();
      h_->server.send(Reply("RETALLCALLABLES", kCallables));
      expect(WaitUntil([&] { return Control<ResourcesTab>(reg, "tsResurser")->lbResurserItems->rowCount() == 2; }), "list again");
      // The window system activates the register again when the dialog goes.
      expect(Activate(reg), "register active again");

      expect(TabTo(Control<QListView>(Control<ResourcesTab>(reg, "tsResurser"), "lbResurser")), "Tab reaches the resources");
      Key(Qt::Key_Down);  // to R2, inactive
      Key(Qt::Key_Space);
      expect(Control<QPushButton>(reg, "btnSave")->isEnabled(), "a tick enables Spara");
      Key(Qt::Key_S, Qt::AltModifier);
      expect(received("REGISTERUPATECALLABLE"), "ticked resource saved");
      expect(h_->server.received().find("Rum 2") != std::string::npos, "R2 sent");

      expect(TabTo(Control<QPushButton>(reg, "btnReturn")), "Tab reaches Återgå");
      Key(Qt::Key_Return);
      expect(!reg->isVisible(), "Återgå closes the register");
    }));
    QTest::keyClick(h_->w.get(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(int(h_->modals.size()), 1);
    QVERIFY2(failures_.isEmpty(), qPrintable(failures_.join(u'\n')));
  }

  // Ctrl+PageDown from the bottom buttons to "Klienter"; the arrow keys
  // choose a client, Tab and Return move a resource into its list, Alt+S
  // saves the order.
  void chooseAClientAndMoveAResource() {
    QVERIFY(start([this](QDialog* d) {
      auto* reg = qobject_cast<TfrmSystreg*>(d);
      h_->server.send(Reply("RETALLCALLABLES", kCallables));
      expect(WaitUntil([&] { return Control<ResourcesTab>(reg, "tsResurser")->lbResurserItems->rowCount() == 2; }), "resources shown");
      expect(TabTo(Control<QPushButton>(reg, "btnReturn")), "Tab reaches Återgå");
      h_->server.clearReceived();
      Key(Qt::Key_PageDown, Qt::ControlModifier);
      expect(reg->activePage() == Control<StationsTab>(reg, "tsStations"), "Ctrl+PageDown opens Klienter");
      expect(received(Sent("GETALLMACHINES", kMe)), "clients asked for");
      h_->server.send(Reply("RETALLMACHINES", kMachines));
      StationsTab* tab = Control<StationsTab>(reg, "tsStations");
      expect(WaitUntil([&] { return tab->machines()->rowCount() == 1; }), "clients shown");

      h_->server.clearReceived();
      expect(TabTo(Control<QListView>(tab, "lbmachines")), "Tab reaches the clients");
      Key(Qt::Key_Down);
      Key(Qt::Key_Home);
      expect(tab->currentMachine() != nullptr, "the arrows choose a client");
      expect(received(Sent("GETSTATIONCALLABLES", "PC12")), "the client's resources asked for");
      h_->server.send(Reply("RETALLCALLABLES", kCallables) + Reply("RETSTATIONCALLABLES", "2:0"));
      expect(WaitUntil([&] { return tab->chosenResourcesModel->rowCount() == 1; }), "chosen resources shown");

      expect(TabTo(Control<QListView>(tab, "ListBox3")), "Tab reaches Alla resurser");
      Key(Qt::Key_Home);
      expect(TabTo(Control<QPushButton>(tab, "BitBtn9")), "Tab reaches the arrow");
      Key(Qt::Key_Return);
      expect(tab->chosenResourcesModel->rowCount() == 2, "Return on the arrow moves the resource");
      h_->server.clearReceived();
      Key(Qt::Key_S, Qt::AltModifier);
      expect(received(Sent("POSTCALLABLESLIST", std::string(kMe) + ":2:12:2:0:1:1")), "order saved");
      // Ctrl+PageUp goes back, also from inside a tab.
      Key(Qt::Key_PageUp, Qt::ControlModifier);
      expect(reg->activePage() == Control<ResourcesTab>(reg, "tsResurser"), "Ctrl+PageUp back to Resurser");
    }));
    QTest::keyClick(h_->w.get(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(int(h_->modals.size()), 1);
    QVERIFY2(failures_.isEmpty(), qPrintable(failures_.join(u'\n')));
  }

  // Alt+T opens the statistics; Tab and Return on "Skapa rapport" ask for
  // the report; Ctrl+PageDown shows its summary; Escape closes the window.
  void makeAReport() {
    QVERIFY(start([this](QDialog* d) {
      auto* stats = qobject_cast<TfrmDAVUStatistik*>(d);
      expect(stats, "statistics shown");
      if (!stats) return;
      expect(received(Sent("GETALLMACHINES", kMe)), "lists asked for");
      h_->server.send(Reply("RETALLCALLABLES", kCallables) + Reply("RETALLMACHINES", kMachines));
      expect(WaitUntil([&] { return Control<QListWidget>(stats, "CheckListBox1")->count() == 2; }), "resources listed");
      expect(TabTo(Control<QListWidget>(stats, "CheckListBox1")), "Tab reaches the resources");
      Key(Qt::Key_Space);  // ticks the first
      expect(TabTo(Control<QPushButton>(stats, "BitBtn1")), "Tab reaches Skapa rapport");
      Key(Qt::Key_Return);
      expect(received("OPENSQL"), "report asked for");
      Key(Qt::Key_PageDown, Qt::ControlModifier);
      expect(Control<QTabWidget>(stats, "PageControl1")->currentIndex() == 1, "Ctrl+PageDown shows Sammanfattning");
      Key(Qt::Key_Escape);
      expect(!stats->isVisible(), "Escape closes the window");
    }));
    QTest::keyClick(h_->w.get(), Qt::Key_T, Qt::AltModifier);
    QTRY_COMPARE(int(h_->modals.size()), 1);
    QVERIFY2(failures_.isEmpty(), qPrintable(failures_.join(u'\n')));
  }

  // Alt+K opens the active calls; Tab reaches the grid in one step and
  // leaves it in one, Space ticks, Return on "Radera markerade..." confirms.
  void confirmACall() {
    QVERIFY(start([this](QDialog* d) {
      auto* calls = qobject_cast<TfrmDAVUActiveCalls*>(d);
      expect(calls, "active calls shown");
      if (!calls) return;
      expect(received("OPENSQL"), "calls asked for");
      h_->server.send(W("¤RETSQL:¤%FRIENDLYNAME|Reception~FULLNAME|Rum 1~LOPNR|12~CALLTSTAMP|2024-05-03 08:01:00~"
                        "COMINGTSTAMP|~SMSSENT|0~%¤:¤%FRIENDLYNAME|Lab~FULLNAME|Rum 2~LOPNR|14~"
                        "CALLTSTAMP|2024-05-03 08:15:00~COMINGTSTAMP|~SMSSENT|0~%¤:RETSQL¤"));
      expect(WaitUntil([&] { return Control<TSVVirtualTable>(calls, "SVVirtualTable1")->RecordCount() == 2; }), "calls listed");
      expect(TabTo(Control<QTableView>(calls, "DBGrid1")), "Tab reaches the grid");
      Key(Qt::Key_Down);
      Key(Qt::Key_Down);  // the last call, wherever the grid began
      Key(Qt::Key_Space);
      Key(Qt::Key_Tab);
      expect(QApplication::focusWidget() == Control<QPushButton>(calls, "BitBtn1"), "one Tab leaves the grid");
      h_->fake.dialogs->answers.push_back(mrYes);
      h_->server.clearReceived();
      Key(Qt::Key_Return);
      expect(received("EXECSQL"), "confirmation sent");
      expect(h_->server.received().find("LOPNR = 14") != std::string::npos, "only the ticked call");
      expect(TabTo(Control<QPushButton>(calls, "Avbryt")), "Tab reaches Återgå");
      Key(Qt::Key_Return);
      expect(!calls->isVisible(), "Återgå closes the window");
    }));
    QTest::keyClick(h_->w.get(), Qt::Key_K, Qt::AltModifier);
    QTRY_COMPARE(int(h_->modals.size()), 1);
    QVERIFY2(failures_.isEmpty(), qPrintable(failures_.join(u'\n')));
  }

  // Alt+S ("&Stäng") ends the program.
  void closeTheProgram() {
    QVERIFY(start([](QDialog*) {}));
    QTest::keyClick(h_->w.get(), Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(h_->exits, std::vector<int>{1});
  }
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
