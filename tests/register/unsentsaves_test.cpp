// A save that cannot reach the server is not a save: on every tab and in
// the dialogs, a request that cannot be sent (no connection, or one that
// drops before the server's answer) keeps the edit, keeps "Spara", and
// says in Swedish that nothing was saved.
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QtTest>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "RegisterTestEnv.h"
#include "WireLiteral.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "register/USystReg.h"
#include "register/UfrmAddEditKlient.h"
#include "register/UfrmAddEditResurs.h"

using namespace davu;

using davu::test::Control;

namespace {

const QString kNothingSaved = QStringLiteral(
    "Inget sparades: programmet är inte anslutet till servern. "
    "Ändringen finns kvar; spara igen när anslutningen är tillbaka.");

const std::string kThree =
    "\xA4RETALLCALLABLES:"
    "R1:5:Rum ett:255:0::T:"
    "R2:7:Rum tv\xE5:16776960:-1:0701234567:F:"
    "Lab~1:9:Labb:65280:0::T:";

const char* kMachines =
    "¤RETALLMACHINES:PC12:12:Reception:255:0:-1:IMEI-1:extra ett:"
    "TV1:13:Väntrum:16776960:1:0:::";

}  // namespace

class UnsentSavesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    c_ = std::make_unique<RegisterWindowCase>();
    QVERIFY(c_->connected);
    ServerVersion = QStringLiteral("1.10.6");
    w_ = c_->w.get();
  }
  void cleanup() {
    w_ = nullptr;
    c_.reset();
  }

  void resourceMarkWhileDisconnected() {
    w_->SetTabs(Control<ResourcesTab>(w_, "tsResurser"));
    w_->HandleRetAllCallables(kThree);
    ClickCheck(Control<ResourcesTab>(w_, "tsResurser"), 1);
    c_->socket->close();
    Control<QPushButton>(w_, "btnSave")->click();
    QCOMPARE(c_->platform->dialogs->infoMessages, QStringList{kNothingSaved});
    QVERIFY(Control<QPushButton>(w_, "btnSave")->isEnabled());
    QVERIFY(Control<ResourcesTab>(w_, "tsResurser")->lbResurserItems->items()[1].record->Aktiv);
    QVERIFY(Control<ResourcesTab>(w_, "tsResurser")->lbResurserItems->items()[1].record->Updated);
  }

  // Sent, but the connection went before the reloaded list could show it:
  // the marks stay changed and "Spara" sends them again.
  void resourceMarkWhenTheConnectionDropsBeforeTheAnswer() {
    w_->SetTabs(Control<ResourcesTab>(w_, "tsResurser"));
    w_->HandleRetAllCallables(kThree);
    ClickCheck(Control<ResourcesTab>(w_, "tsResurser"), 1);
    const std::string first = c_->sent([&] { Control<QPushButton>(w_, "btnSave")->click(); });
    QVERIFY(first.find("REGISTERUPATECALLABLE") != std::string::npos);
    QVERIFY(!Control<QPushButton>(w_, "btnSave")->isEnabled());
    c_->socket->close();
    QVERIFY(Control<QPushButton>(w_, "btnSave")->isEnabled());
    QVERIFY(Control<QLabel>(w_, "lblStatus")->text().startsWith(QStringLiteral("Anslutningen bröts")));
    QVERIFY(c_->connect());
    QCOMPARE(c_->sent([&] { Control<QPushButton>(w_, "btnSave")->click(); }).substr(0, first.size()), first);
  }

  void chosenResourcesWhileDisconnected() {
    w_->SetTabs(Control<StationsTab>(w_, "tsStations"));
    w_->HandleRetAllMachines(W(kMachines));
    StationsTab* t = Control<StationsTab>(w_, "tsStations");
    Control<QListView>(t, "lbmachines")->setCurrentIndex(t->machines()->index(0));
    w_->HandleRetAllCallables(kThree);
    w_->HandleRetStationCallables(W("¤RETSTATIONCALLABLES:7:0:"));
    Control<QListView>(t, "ListBox3")->selectionModel()->select(t->allResourcesModel->index(0), QItemSelectionModel::Select);
    Control<QPushButton>(t, "BitBtn9")->click();
    c_->socket->close();
    Control<QPushButton>(w_, "btnSave")->click();
    QCOMPARE(c_->platform->dialogs->infoMessages, QStringList{kNothingSaved});
    QVERIFY(Control<QPushButton>(w_, "btnSave")->isEnabled());
    QCOMPARE(t->chosenResourcesModel->rowCount(), 2);
  }

  void smsAccountWhileDisconnected() {
    w_->SetTabs(Control<SmsSettingsTab>(w_, "tsSMS"));
    w_->HandleRetSmsSettings("\xA4RETSMSSETTINGS:a:b:1:");
    Control<QLineEdit>(Control<SmsSettingsTab>(w_, "tsSMS"), "edSMSusername")->setText("ny");
    c_->socket->close();
    Control<QPushButton>(w_, "btnSave")->click();
    QCOMPARE(c_->platform->dialogs->infoMessages, QStringList{kNothingSaved});
    QVERIFY(Control<QPushButton>(w_, "btnSave")->isEnabled());
    QCOMPARE(Control<QLineEdit>(Control<SmsSettingsTab>(w_, "tsSMS"), "edSMSusername")->text(), QStringLiteral("ny"));
  }

  // The dialog comes back with what was typed; the list keeps what the
  // server holds until the change is sent.
  void resourceDialogWhileDisconnected() {
    w_->SetTabs(Control<ResourcesTab>(w_, "tsResurser"));
    w_->HandleRetAllCallables(kThree);
    Control<QListView>(Control<ResourcesTab>(w_, "tsResurser"), "lbResurser")->setCurrentIndex(Control<ResourcesTab>(w_, "tsResurser")->lbResurserItems->index(0));
    c_->socket->close();
    QStringList shown;
    Control<ResourcesTab>(w_, "tsResurser")->ShowModal = [&](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditResurs*>(d);
      dlg->show();
      shown << Control<QLineEdit>(dlg, "Edit2")->text();
      if (shown.size() > 1) return int(QDialog::Rejected);
      Control<QLineEdit>(dlg, "Edit2")->setText("Rum nytt");
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    Control<QPushButton>(Control<ResourcesTab>(w_, "tsResurser"), "btnEditResurs")->click();
    QCOMPARE(shown, (QStringList{"Rum ett", "Rum nytt"}));
    QCOMPARE(c_->platform->dialogs->infoMessages, QStringList{kNothingSaved});
    QCOMPARE(Control<ResourcesTab>(w_, "tsResurser")->lbResurserItems->items()[0].record->CallableFriendlyname,
             QStringLiteral("Rum ett"));
  }

  void clientDeleteWhileDisconnected() {
    w_->SetTabs(Control<StationsTab>(w_, "tsStations"));
    w_->HandleRetAllMachines(W(kMachines));
    Control<QListView>(Control<StationsTab>(w_, "tsStations"), "lbmachines")->setCurrentIndex(Control<StationsTab>(w_, "tsStations")->machines()->index(1));
    c_->socket->close();
    c_->platform->dialogs->answers = {6};
    Control<QPushButton>(Control<StationsTab>(w_, "tsStations"), "BitBtn13")->click();
    QCOMPARE(c_->platform->dialogs->infoMessages, QStringList{kNothingSaved});
    QCOMPARE(Control<StationsTab>(w_, "tsStations")->machines()->rowCount(), 2);
  }

 private:
  std::unique_ptr<RegisterWindowCase> c_;
  TfrmSystreg* w_ = nullptr;
};

QTEST_MAIN(UnsentSavesTest)
#include "unsentsaves_test.moc"
