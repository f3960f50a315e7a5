// The "Resurser" tab through the real register window: the list, its
// messages byte for byte, the resource dialog and the routing of the list
// reply between this tab and the clients tab.
#include <QCheckBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QtTest>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "RegisterTestEnv.h"
#include "common/SharedState.h"
#include "register/UCheckedGroupBox.h"
#include "register/USystReg.h"
#include "register/UfrmAddEditResurs.h"
#include "widgets/Dialogs.h"

using namespace davu;

using davu::test::Control;

namespace {

const std::string kGetAll = "\xA4GETALLCALLABLES:RECEPTION01_Admin:GETALLCALLABLES\xA4";

// Name, number, full name, colour, SMS, mobile, active.
const std::string kThree =
    "\xA4RETALLCALLABLES:"
    "R1:5:Rum ett:255:0::T:"
    "R2:7:Rum tv\xE5:16776960:-1:0701234567:F:"
    "Lab~1:9:Labb:65280:0::T:";

QStringList Texts(const CallableListModel* m) {
  QStringList out;
  for (const CallableItem& it : m->items()) out << it.text;
  return out;
}

}  // namespace

class ResourcesTabTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    c_ = std::make_unique<RegisterWindowCase>();
    QVERIFY(c_->connected);
    tab_ = Control<ResourcesTab>(c_->w, "tsResurser");
    QCOMPARE(c_->sent([&] { c_->w->SetTabs(tab_); }), kGetAll);
    c_->w->HandleRetAllCallables(kThree);
  }
  void cleanup() {
    tab_ = nullptr;
    c_.reset();
  }

  void listShowsTheReply() {
    QCOMPARE(Texts(tab_->lbResurserItems),
             (QStringList{"R1, Rum ett", "R2, Rum två (inaktiv) - SMS skickas till 0701234567",
                          "Lab~1, Labb"}));
    QAbstractItemModel* m = Control<QListView>(tab_, "lbResurser")->model();
    QCOMPARE(m->data(m->index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(m->data(m->index(1, 0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(!Control<QPushButton>(c_->w, "btnSave")->isEnabled());
    QVERIFY(!Control<QPushButton>(c_->w, "btnCancel")->isEnabled());
    // The clients tab's "Alla resurser" shows the same records.
    const CallableItemList& all = Control<StationsTab>(c_->w, "tsStations")->allResourcesModel->items();
    QCOMPARE(all.size(), std::size_t(3));
    for (std::size_t i = 0; i < all.size(); ++i)
      QCOMPARE(all[i].record, tab_->lbResurserItems->items()[i].record);
  }

  // Each line on its resource's colour, the text in the contrast colour.
  void linesArePaintedInTheirColours() {
    c_->w->resize(800, 400);
    c_->w->show();
    QVERIFY(QTest::qWaitForWindowExposed(c_->w.get()));
    const QImage image = Control<QListView>(tab_, "lbResurser")->viewport()->grab().toImage();
    const QRect first = Control<QListView>(tab_, "lbResurser")->visualRect(Control<QListView>(tab_, "lbResurser")->model()->index(0, 0));
    // R1 is red (255); its text is in ContrastColor of red, cyan.
    const QPoint inside(first.right() - 3, first.center().y());
    QCOMPARE(image.pixelColor(inside), QColor(255, 0, 0));
    bool cyan = false;
    for (int x = first.left(); x < first.left() + 120 && !cyan; ++x)
      for (int y = first.top(); y <= first.bottom() && !cyan; ++y)
        cyan = image.pixelColor(x, y) == QColor(0, 255, 255);
    QVERIFY(cyan);
  }

  void routing_data() {
    QTest::addColumn<bool>("forClients");
    QTest::addColumn<int>("replyTarget");
    QTest::addColumn<int>("resources");  // lines in "Resurser" afterwards
    QTest::addColumn<int>("all");        // lines in "Alla resurser" afterwards
    QTest::newRow("for the register") << false << int(rtNone) << 1 << 1;
    QTest::newRow("for the register, active calls open") << false << int(rtActiveCalls) << 1 << 3;
    QTest::newRow("for the clients tab") << true << int(rtNone) << 0 << 4;
  }
  void routing() {
    QFETCH(bool, forClients);
    QFETCH(int, replyTarget);
    QFETCH(int, resources);
    QFETCH(int, all);
    ReplyTarget = replyTarget;
    if (forClients) c_->w->ResourceListTarget = TfrmSystreg::TResourceListTarget::ListBox3;
    c_->w->HandleRetAllCallables("\xA4RETALLCALLABLES:R4:11:Rum fyra:0:0::T:");
    QCOMPARE(tab_->lbResurserItems->rowCount(), resources);
    QCOMPARE(Control<StationsTab>(c_->w, "tsStations")->allResourcesModel->rowCount(), all);
    QVERIFY(c_->w->ResourceListTarget == TfrmSystreg::TResourceListTarget::None);
  }

  // Marks changed twice are sent too; each record once, in list order, then
  // the list is asked for again. The list ends in one ':' more than a single
  // update.
  void saveSendsChangedMarks() {
    ClickCheck(tab_, 2);
    QVERIFY(Control<QPushButton>(c_->w, "btnSave")->isEnabled());
    QVERIFY(Control<QPushButton>(c_->w, "btnCancel")->isEnabled());
    ClickCheck(tab_, 0);
    ClickCheck(tab_, 1);
    ClickCheck(tab_, 1);
    const std::string expected =
        "\xA4REGISTERUPATECALLABLE:"
        "5:R1:Rum ett:255:0::F:%\xA4:"
        "7:R2:Rum tv\xE5:16776960:-1:0701234567:F:%\xA4:"
        "9:Lab~1:Labb:65280:0::F:%\xA4:"
        ":REGISTERUPATECALLABLE\xA4";
    QCOMPARE(c_->sent([&] { Control<QPushButton>(c_->w, "btnSave")->click(); }), expected + kGetAll);
    QVERIFY(!Control<QPushButton>(c_->w, "btnSave")->isEnabled());
    // The reloaded list replaces the sent marks: nothing is pending then.
    c_->w->HandleRetAllCallables(kThree);
    for (const CallableItem& it : tab_->lbResurserItems->items()) QVERIFY(!it.record->Updated);
    QVERIFY(!Control<QPushButton>(c_->w, "btnSave")->isEnabled());
  }

  // The current line keeps its colour and gets a frame in its text's
  // contrast colour, on dark and light lines alike; "Ändra" and "Radera"
  // are off until a line is chosen.
  void currentLineIsMarked() {
    c_->w->HandleRetAllCallables(
        "\xA4RETALLCALLABLES:Svart:1:Svart:0:0::T:Vit:2:Vit:16777215:0::T:Gul:3:Gul:65535:0::T:");
    c_->w->show();
    QVERIFY(QTest::qWaitForWindowExposed(c_->w.get()));
    QVERIFY(!Control<QPushButton>(tab_, "btnEditResurs")->isEnabled());
    QVERIFY(!Control<QPushButton>(tab_, "btnDeleteResurs")->isEnabled());
    // The contrast colours of black, white and yellow lines.
    const QColor expected[] = {Qt::white, Qt::black, Qt::blue};
    const QColor around = Control<QListView>(tab_, "lbResurser")->palette().color(QPalette::Text);
    for (int row = 0; row < 3; ++row) {
      Control<QListView>(tab_, "lbResurser")->setCurrentIndex(tab_->lbResurserItems->index(row));
      QVERIFY(Control<QPushButton>(tab_, "btnEditResurs")->isEnabled());
      QVERIFY(Control<QPushButton>(tab_, "btnDeleteResurs")->isEnabled());
      const QRect r = Control<QListView>(tab_, "lbResurser")->visualRect(tab_->lbResurserItems->index(row));
      const QImage image = Control<QListView>(tab_, "lbResurser")->viewport()->grab().toImage();
      QCOMPARE(image.pixelColor(r.right() - 1, r.center().y()), expected[row]);
      QCOMPARE(image.pixelColor(r.right() - 2, r.center().y()), expected[row]);
      QCOMPARE(image.pixelColor(r.right(), r.center().y()), around);
      // The other lines carry no frame.
      const QRect other = Control<QListView>(tab_, "lbResurser")->visualRect(tab_->lbResurserItems->index((row + 1) % 3));
      QVERIFY(image.pixelColor(other.right() - 1, other.center().y()) != expected[(row + 1) % 3]);
    }
    c_->w->HandleRetAllCallables(kThree);
    QVERIFY(!Control<QPushButton>(tab_, "btnEditResurs")->isEnabled());
  }

  void saveWithoutChangesOnlyReloads() {
    QCOMPARE(c_->sent([&] { c_->w->btnSaveClick(); }), kGetAll);
    QVERIFY(c_->w->FClickedSpara);
  }

  void cancelForgetsMarks() {
    ClickCheck(tab_, 0);
    QCOMPARE(c_->sent([&] { Control<QPushButton>(c_->w, "btnCancel")->click(); }), kGetAll);
    c_->w->HandleRetAllCallables(kThree);
    QCOMPARE(c_->sent([&] { c_->w->btnSaveClick(); }), kGetAll);
  }

  // A new resource with the dialog's defaults: -1, SMS "0", active "F"; the
  // name goes as typed, leading blanks included.
  void addSendsNewResource() {
    tab_->ShowModal = [](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditResurs*>(d);
      dlg->show();
      [&] {
        QVERIFY(!Control<QCheckBox>(dlg, "CheckBox1")->isChecked());
        QVERIFY(!Control<TCheckedGroupBox>(dlg, "CheckedGroupBox1")->Checked());
        QVERIFY(!Control<QLineEdit>(dlg, "Edit3")->isEnabled());
        QVERIFY(Control<QLineEdit>(dlg, "Edit1")->text().isEmpty());
      }();
      Control<QLineEdit>(dlg, "Edit1")->setText("  R5");
      Control<QLineEdit>(dlg, "Edit2")->setText("Rum fem");
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    const std::string sent = c_->sent([&] { Control<QPushButton>(tab_, "btnAddResurs")->click(); });
    QCOMPARE(sent, "\xA4REGISTERUPATECALLABLE:-1:  R5:Rum fem:0:0::F:%\xA4:REGISTERUPATECALLABLE\xA4" +
                       kGetAll);
    QCOMPARE(tab_->lbResurserItems->rowCount(), 4);
    QCOMPARE(tab_->lbResurserItems->items().back().text, QStringLiteral("-= Ny =-"));
  }

  void addThenCancelLeavesListAsItWas() {
    bool sawNew = false;
    tab_->ShowModal = [&](QDialog*) {
      sawNew = Texts(tab_->lbResurserItems).contains("-= Ny =-");
      return int(QDialog::Rejected);
    };
    const QStringList before = Texts(tab_->lbResurserItems);
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab_, "btnAddResurs")->click(); }), std::string());
    QVERIFY(sawNew);
    QCOMPARE(Texts(tab_->lbResurserItems), before);
  }

  // "OK" without an edit sends the record as it came, '~' and all; a double
  // click is "Ändra". The colour picker opens on the swatch's colour.
  void editSendsRecordAsItStands() {
    int shown = 0;
    tab_->ShowModal = [&](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditResurs*>(d);
      dlg->show();
      ++shown;
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    Control<QListView>(tab_, "lbResurser")->setCurrentIndex(Control<QListView>(tab_, "lbResurser")->model()->index(2, 0));
    const std::string update =
        "\xA4REGISTERUPATECALLABLE:9:Lab~1:Labb:65280:0::T:%\xA4:REGISTERUPATECALLABLE\xA4";
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab_, "btnEditResurs")->click(); }), update + kGetAll);
    QCOMPARE(c_->sent([&] { tab_->lbResurserDblClick(); }), update + kGetAll);
    QCOMPARE(shown, 2);

    c_->platform->dialogs->colourAnswers = {QColor(0, 0, 255), QColor()};
    tab_->ShowModal = [&](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditResurs*>(d);
      dlg->show();
      Control<QPushButton>(dlg, "BitBtn5")->click();  // blue chosen
      Control<QPushButton>(dlg, "BitBtn5")->click();  // cancelled: stays blue
      Control<QLineEdit>(dlg, "Edit1")->setText("Lab2");
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab_, "btnEditResurs")->click(); }),
             "\xA4REGISTERUPATECALLABLE:9:Lab2:Labb:16711680:0::T:%\xA4:REGISTERUPATECALLABLE\xA4" +
                 kGetAll);
    QCOMPARE(c_->platform->dialogs->colourRequests,
             (std::vector<QColor>{QColor(0, 255, 0), QColor(0, 0, 255)}));
  }

  void editAndDeleteWithoutCurrentDoNothing() {
    tab_->ShowModal = [](QDialog*) {
      QTest::qFail("no dialog expected", __FILE__, __LINE__);
      return 0;
    };
    QCOMPARE(c_->sent([&] {
      Control<QPushButton>(tab_, "btnEditResurs")->click();
      Control<QPushButton>(tab_, "btnDeleteResurs")->click();
    }),
             std::string());
    QVERIFY(c_->platform->dialogs->questions.isEmpty());
  }

  // The question names the full name; the message carries number, marker,
  // full name and colour.
  void deleteAsksWithFullName() {
    Control<QListView>(tab_, "lbResurser")->setCurrentIndex(Control<QListView>(tab_, "lbResurser")->model()->index(1, 0));
    c_->platform->dialogs->answers = {mrNo, mrYes};
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab_, "btnDeleteResurs")->click(); }), std::string());
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab_, "btnDeleteResurs")->click(); }),
             "\xA4REGISTERUPATECALLABLE:7:\xA4" "DELETE_ME\xA4:Rum tv\xE5:16776960:%\xA4"
             ":REGISTERUPATECALLABLE\xA4" + kGetAll);
    QCOMPARE(c_->platform->dialogs->questions,
             (QStringList{"Radera resursen Rum två?", "Radera resursen Rum två?"}));
  }

  // Refused input keeps the dialog open, the record as it was and the wire quiet.
  void dialogRefuses_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank name") << "   " << "Rum" << "" << "Namn får ej vara tomt!";
    QTest::newRow("empty full name") << "R" << " " << "" << "Fullständigt namn får ej vara tomt!";
    QTest::newRow("colon in name") << "R:1" << "Rum" << "" << "Namn får inte innehålla tecknet ':'";
    QTest::newRow("tilde in full name") << "R" << "Rum~1" << ""
                                        << "Fullständigt namn får inte innehålla tecknet '~'";
    QTest::newRow("tag marker in number") << "R" << "Rum" << "07\u00a4"
                                          << "Nummer får inte innehålla tecknet '\u00a4'";
    QTest::newRow("outside the code page")
        << "R\u03a9" << "Rum" << ""
        << "Namn får inte innehålla tecknet '\u03a9', som inte kan skickas till servern";
    QTest::newRow("outside the basic plane")
        << "R" << "Rum \U0001F600" << ""
        << "Fullständigt namn får inte innehålla tecknet '\U0001F600', som inte kan skickas till servern";
  }
  void dialogRefuses() {
    QFETCH(QString, name);
    QFETCH(QString, full);
    QFETCH(QString, number);
    QFETCH(QString, message);
    auto record = std::make_shared<TCallable>();
    record->CallableLopnr = 3;
    TfrmAddEditResurs dlg;
    dlg.cl = record;
    dlg.show();
    Control<TCheckedGroupBox>(&dlg, "CheckedGroupBox1")->SetChecked(true);
    Control<QLineEdit>(&dlg, "Edit1")->setText(name);
    Control<QLineEdit>(&dlg, "Edit2")->setText(full);
    Control<QLineEdit>(&dlg, "Edit3")->setText(number);
    Control<QPushButton>(&dlg, "BitBtn1")->click();
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(c_->platform->dialogs->balloons.size(), std::size_t(1));
    QCOMPARE(c_->platform->dialogs->balloons[0].text, message);
    QVERIFY(record->CallableName.isEmpty());
    QVERIFY(!record->CallableSendSMS);
  }

  void dialogAsDesigned() {
    TfrmAddEditResurs dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Lägg till/redigera resurs"));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QCOMPARE(Control<QGroupBox>(&dlg, "GroupBox1")->title(), QStringLiteral("Resurserns egenskaper"));
    QCOMPARE(Control<QCheckBox>(&dlg, "CheckBox1")->text(), QStringLiteral("Aktiv"));
    QCOMPARE(Control<QPushButton>(&dlg, "BitBtn5")->text(), QStringLiteral("Välj färg..."));
    QCOMPARE(Control<TCheckedGroupBox>(&dlg, "CheckedGroupBox1")->title(), QStringLiteral("Skicka SMS (kostnad tillkommer)"));
    QVERIFY(!Control<TCheckedGroupBox>(&dlg, "CheckedGroupBox1")->CheckedDisables());
    QCOMPARE(Control<QLineEdit>(&dlg, "Edit3")->parentWidget(), static_cast<QWidget*>(Control<TCheckedGroupBox>(&dlg, "CheckedGroupBox1")));
    QCOMPARE(Control<QLineEdit>(&dlg, "Edit3")->placeholderText(), QStringLiteral("Fyll i mobilnummer"));
    QVERIFY(Control<QPushButton>(&dlg, "BitBtn1")->isDefault());
    QCOMPARE(Control<QPushButton>(&dlg, "BitBtn1")->text(), QStringLiteral("OK"));
    QCOMPARE(Control<QPushButton>(&dlg, "BitBtn2")->text(), QStringLiteral("Avbryt"));
    for (const char* name : {"CheckBox1", "Edit1", "Edit2", "Panel6", "BitBtn5", "CheckedGroupBox1",
                             "Edit3", "BitBtn1", "BitBtn2"})
      QVERIFY2(dlg.findChild<QWidget*>(QLatin1String(name)), name);
  }

 private:
  std::unique_ptr<RegisterWindowCase> c_;
  ResourcesTab* tab_ = nullptr;
};

QTEST_MAIN(ResourcesTabTest)
#include "systregresurser_test.moc"
