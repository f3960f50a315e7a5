// The "Klienter" tab through the register window: clients, the resources each
// client shows or calls, the client dialog, and what goes on the wire.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
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

using namespace davu;

using davu::test::Control;

namespace {

const char* kMe = "RECEPTION01_Admin";

// PC12 is connected, on red; ADM is an Admin client.
const char* kMachines =
    "¤RETALLMACHINES:PC12:12:Reception:255:0:-1:IMEI-1:extra ett:"
    "TV1:13:Väntrum:16776960:1:0:::ADM:14:Kansli:8421504:2:0:imei2:x:";

// Resources 1 to 9, "R1, Rum 1" and so on.
std::string Callables() {
  std::string p = W("¤RETALLCALLABLES:");
  for (int i = 1; i <= 9; ++i) p += "R" + std::to_string(i) + ":" + std::to_string(i) + ":Rum " +
                                    std::to_string(i) + ":16777215:0::T:";
  return p;
}

QList<int> Numbers(const CallableListModel* m) {
  QList<int> out;
  for (const CallableItem& i : m->items()) out << i.record->CallableLopnr;
  return out;
}

QList<int> Range(int from, int to) {
  QList<int> out;
  for (int i = from; i <= to; ++i) out << i;
  return out;
}

void Select(QListView* view, const QList<int>& rows) {
  view->selectionModel()->clear();
  for (int r : rows)
    view->selectionModel()->select(view->model()->index(r, 0), QItemSelectionModel::Select);
}

}  // namespace

class KlienterTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    c_ = std::make_unique<RegisterWindowCase>();
    QVERIFY(c_->connected);
    ServerVersion = QStringLiteral("1.10.6");
    w_ = c_->w.get();
    w_->setFixedWidth(800);
    w_->SetTabs(tab());
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_));
    w_->HandleRetAllMachines(W(kMachines));
  }
  void cleanup() {
    w_ = nullptr;
    c_.reset();
  }

  void tabAsLaidOut() {
    StationsTab* t = tab();
    const std::pair<const char*, const char*> buttons[] = {
        {"BitBtn11", "Lägg till"}, {"BitBtn12", "Ändra"}, {"BitBtn13", "Radera"}};
    for (const auto& [name, text] : buttons)
      QCOMPARE(t->findChild<QPushButton*>(name)->text(), QString::fromUtf8(text));
    for (const char* name : {"lbmachines", "ListBox3", "ListBox4", "BitBtn7", "BitBtn8", "BitBtn9",
                             "BitBtn10", "Splitter1"})
      QVERIFY2(t->findChild<QWidget*>(name), name);
    QCOMPARE(Control<QListView>(t, "ListBox3")->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(Control<QListView>(t, "ListBox4")->selectionMode(), QAbstractItemView::ExtendedSelection);

    // One line per client: item text, " - Ansluten" when connected, 18 pixels
    // high, drawn on the client's colour with the contrast colour.
    QCOMPARE(t->machines()->rowCount(), 3);
    const QModelIndex pc12 = t->machines()->index(0);
    QCOMPARE(pc12.data().toString(), QStringLiteral("PC12, Reception: Call - Ansluten"));
    QCOMPARE(t->machines()->index(1).data().toString(), QStringLiteral("TV1, Väntrum: Show"));
    QCOMPARE(Control<QListView>(t, "lbmachines")->visualRect(pc12).height(), 18);
    const QImage image = Control<QListView>(t, "lbmachines")->viewport()->grab().toImage();
    const QRect r = Control<QListView>(t, "lbmachines")->visualRect(pc12);
    QCOMPARE(image.pixelColor(r.right() - 3, r.center().y()), QColor(255, 0, 0));
    QCOMPARE(pc12.data(Qt::ForegroundRole).value<QColor>(), QColor(0, 255, 255));
    QCOMPARE(image.pixelColor(Control<QListView>(t, "lbmachines")->visualRect(t->machines()->index(1)).right() - 3,
                              r.center().y() + 18),
             QColor(0, 255, 255));
    QVERIFY(!t->currentMachine());
  }

  // The request path follows the server's version, compared as numbers.
  void requestPathByVersion_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("stationCallables");
    QTest::newRow("1.10.3") << "1.10.3" << false;
    QTest::newRow("1.9") << "1.9" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("unreadable") << "1.x" << false;
    QTest::newRow("1.10.4") << "1.10.4" << true;
    QTest::newRow("1.10.10") << "1.10.10" << true;
    QTest::newRow("1.11") << "1.11" << true;
  }
  void requestPathByVersion() {
    QFETCH(QString, version);
    QFETCH(bool, stationCallables);
    ServerVersion = version;
    tab()->AppendAllResources(CallableItems(DecodeCallableList(Callables())));
    const std::string sent = c_->sent([&] { clickClient(1); });
    QCOMPARE(tab()->currentMachine()->Name, QStringLiteral("TV1"));
    if (stationCallables) {
      QCOMPARE(sent, W("¤GETALLCALLABLES:TV1:GETALLCALLABLES¤¤GETSTATIONCALLABLES:TV1:GETSTATIONCALLABLES¤"));
      QCOMPARE(w_->ResourceListTarget, TfrmSystreg::TResourceListTarget::ListBox3);
      QCOMPARE(tab()->allResourcesModel->rowCount(), 0);
    } else {
      QCOMPARE(sent, W("¤GETCALLLIST:TV1:0:GETCALLLIST¤"));
      QCOMPARE(w_->ResourceListTarget, TfrmSystreg::TResourceListTarget::None);
      QCOMPARE(tab()->allResourcesModel->rowCount(), 9);
    }
    // A click beside the items makes nothing current and sends nothing.
    w_->HandleRetAllMachines(W(kMachines));
    QCOMPARE(c_->sent([&] { tab()->lbmachinesClick(); }), std::string());
  }

  // The newer path: the resource list fills "Alla resurser", then the
  // client's numbers move there in order; unknown numbers are skipped.
  void stationCallablesInOrder() {
    clickClient(0);
    w_->HandleRetAllCallables(Callables());
    QCOMPARE(w_->ResourceListTarget, TfrmSystreg::TResourceListTarget::None);
    QCOMPARE(Numbers(tab()->allResourcesModel), Range(1, 9));
    w_->HandleRetStationCallables(W("¤RETSTATIONCALLABLES:7:0:3:1:42:2:5:3:"));
    QCOMPARE(Numbers(tab()->chosenResourcesModel), QList<int>({7, 3, 5}));
    QCOMPARE(Numbers(tab()->allResourcesModel), QList<int>({1, 2, 4, 6, 8, 9}));
    QCOMPARE(Control<QListView>(tab(), "ListBox4")->model()->index(0, 0).data().toString(), QStringLiteral("R7, Rum 7"));

    // A second reply for the same client starts "Valda resurser" afresh.
    w_->HandleRetStationCallables(W("¤RETSTATIONCALLABLES:42:0:"));
    QCOMPARE(Numbers(tab()->chosenResourcesModel), QList<int>());
    QCOMPARE(Numbers(tab()->allResourcesModel), QList<int>({1, 2, 4, 6, 8, 9}));
  }

  // The dispatcher takes the client's numbers before the resource list when
  // both arrive in one read: the numbers wait for the list.
  void stationCallablesBeforeTheList() {
    clickClient(0);
    w_->HandleRetStationCallables(W("¤RETSTATIONCALLABLES:7:0:3:1:5:2:"));
    QCOMPARE(Numbers(tab()->chosenResourcesModel), QList<int>());
    w_->HandleRetAllCallables(Callables());
    QCOMPARE(Numbers(tab()->chosenResourcesModel), QList<int>({7, 3, 5}));
    QCOMPARE(Numbers(tab()->allResourcesModel), QList<int>({1, 2, 4, 6, 8, 9}));
    // Once used, the numbers are gone: a later list for the register alone
    // moves nothing.
    w_->HandleRetAllCallables(Callables());
    QCOMPARE(Numbers(tab()->allResourcesModel), Range(1, 9));
  }

  // The older path: "Alla resurser" is a copy of the "Resurser" list, with the
  // same records, and the call list's numbers move in order.
  void callListFromResourcesList() {
    ServerVersion = QStringLiteral("1.10.3");
    w_->HandleRetAllCallables(Callables());  // for the register: Resurser and a copy here
    QCOMPARE(Numbers(tab()->allResourcesModel), Range(1, 9));
    clickClient(0);
    tab()->allResourcesModel->clear();
    w_->HandleRetCallList(W("¤RETCALLLIST~R5~5~Rum 5~7~0~~T~0~12~PC12~"
                            "R2~2~Rum 2~7~0~~T~1~12~PC12~R77~77~x~0~0~~T~2~12~PC12~"));
    QCOMPARE(Numbers(tab()->chosenResourcesModel), QList<int>({5, 2}));
    QCOMPARE(Numbers(tab()->allResourcesModel), QList<int>({1, 3, 4, 6, 7, 8, 9}));
    QCOMPARE(tab()->chosenResourcesModel->item(0)->record, Control<ResourcesTab>(w_, "tsResurser")->lbResurserItems->items()[4].record);

    // A list taken by the statistics window leaves "Alla resurser" alone.
    ReplyTarget = rtStatistics;
    w_->HandleRetAllCallables(W("¤RETALLCALLABLES:X:50:x:0:0::T:"));
    QCOMPARE(Numbers(tab()->allResourcesModel), QList<int>({1, 3, 4, 6, 7, 8, 9}));
  }

  // The moves between and within the lists, several items at a time.
  void moves() {
    clickClient(0);
    w_->HandleRetAllCallables(Callables());
    w_->HandleRetStationCallables(W("¤RETSTATIONCALLABLES::"));
    StationsTab* t = tab();

    Select(Control<QListView>(t, "ListBox3"), {5, 1, 3});
    Control<QPushButton>(t, "BitBtn9")->click();
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({2, 4, 6}));
    QCOMPARE(Numbers(t->allResourcesModel), QList<int>({1, 3, 5, 7, 8, 9}));

    // Nothing selected, one current: a copy, also left in "Alla resurser".
    Control<QListView>(t, "ListBox3")->selectionModel()->setCurrentIndex(t->allResourcesModel->index(0),
                                                   QItemSelectionModel::NoUpdate);
    Control<QListView>(t, "ListBox3")->selectionModel()->clearSelection();
    Control<QPushButton>(t, "BitBtn9")->click();
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({2, 4, 6, 1}));
    QCOMPARE(Numbers(t->allResourcesModel), QList<int>({1, 3, 5, 7, 8, 9}));

    // Number 1 is not put back while "Alla resurser" holds it; the others are,
    // in list order.
    Select(Control<QListView>(t, "ListBox4"), {3, 0, 2});
    Control<QPushButton>(t, "BitBtn10")->click();
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({4}));
    QCOMPARE(Numbers(t->allResourcesModel), QList<int>({1, 3, 5, 7, 8, 9, 2, 6}));
    Control<QListView>(t, "ListBox4")->selectionModel()->clearSelection();
    Control<QPushButton>(t, "BitBtn10")->click();
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({4}));

    // A double click moves what is selected.
    Select(Control<QListView>(t, "ListBox3"), {1});
    emit Control<QListView>(t, "ListBox3")->doubleClicked(t->allResourcesModel->index(1));
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({4, 3}));

    // Up and down keep the current item on the moved one; the ends stay.
    Select(Control<QListView>(t, "ListBox3"), {0, 1, 2});
    Control<QPushButton>(t, "BitBtn9")->click();
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({4, 3, 1, 5, 7}));
    const auto current = [t] {
      return t->chosenResourcesModel->item(Control<QListView>(t, "ListBox4")->currentIndex().row())->record->CallableLopnr;
    };
    Control<QListView>(t, "ListBox4")->setCurrentIndex(t->chosenResourcesModel->index(3));
    Control<QPushButton>(t, "BitBtn7")->click();
    Control<QPushButton>(t, "BitBtn7")->click();
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({4, 5, 3, 1, 7}));
    QCOMPARE(current(), 5);
    Control<QPushButton>(t, "BitBtn8")->click();
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({4, 3, 5, 1, 7}));
    QCOMPARE(current(), 5);
    Control<QListView>(t, "ListBox4")->setCurrentIndex(t->chosenResourcesModel->index(4));
    Control<QPushButton>(t, "BitBtn8")->click();
    Control<QListView>(t, "ListBox4")->setCurrentIndex(t->chosenResourcesModel->index(0));
    Control<QPushButton>(t, "BitBtn7")->click();
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({4, 3, 5, 1, 7}));

    // "Spara": the chosen resources with their positions; no reload after.
    QCOMPARE(c_->sent([&] { Control<QPushButton>(w_, "btnSave")->click(); }),
             W(QStringLiteral("¤POSTCALLABLESLIST:%1:2:12:4:0:3:1:5:2:1:3:7:4:POSTCALLABLESLIST¤").arg(kMe)));

    // Another client discards the unsaved lists.
    clickClient(1);
    QCOMPARE(t->allResourcesModel->rowCount(), 0);
  }

  // Whatever makes a client current loads that client's lists through the
  // same path, and "Spara" afterwards sends that client's list, never the
  // one shown before.
  void everyWayOfChoosingLoads_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("arrow key") << "key";
    QTest::newRow("press dragged onto another line") << "drag";
    QTest::newRow("by code") << "code";
  }
  void everyWayOfChoosingLoads() {
    QFETCH(QString, how);
    StationsTab* t = tab();
    clickClient(0);
    w_->HandleRetAllCallables(Callables());
    w_->HandleRetStationCallables(W("¤RETSTATIONCALLABLES:7:0:3:1:"));
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({7, 3}));

    QListView* list = Control<QListView>(t, "lbmachines");
    const QPoint pc12 = list->visualRect(t->machines()->index(0)).center();
    const QPoint tv1 = list->visualRect(t->machines()->index(1)).center();
    const std::string sent = c_->sent([&] {
      if (how == "key") {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
      } else if (how == "drag") {
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, pc12);
        QMouseEvent move(QEvent::MouseMove, tv1, list->viewport()->mapToGlobal(tv1), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, tv1);
      } else {
        list->setCurrentIndex(t->machines()->index(1));
      }
    });
    QCOMPARE(t->currentMachine()->Name, QStringLiteral("TV1"));
    QCOMPARE(sent, W("¤GETALLCALLABLES:TV1:GETALLCALLABLES¤¤GETSTATIONCALLABLES:TV1:GETSTATIONCALLABLES¤"));
    // PC12's choice is gone at once, and nothing can be saved until TV1's is here.
    QCOMPARE(t->chosenResourcesModel->rowCount(), 0);
    QVERIFY(!Control<QPushButton>(w_, "btnSave")->isEnabled());
    QCOMPARE(c_->sent([&] { w_->btnSaveClick(); }), std::string());

    w_->HandleRetAllCallables(Callables());
    QVERIFY(!Control<QPushButton>(w_, "btnSave")->isEnabled());
    w_->HandleRetStationCallables(W("¤RETSTATIONCALLABLES:5:0:"));
    QCOMPARE(Numbers(t->chosenResourcesModel), QList<int>({5}));
    Select(Control<QListView>(t, "ListBox3"), {0});
    Control<QPushButton>(t, "BitBtn9")->click();
    QCOMPARE(c_->sent([&] { Control<QPushButton>(w_, "btnSave")->click(); }),
             W(QStringLiteral("¤POSTCALLABLESLIST:%1:2:13:5:0:1:1:POSTCALLABLESLIST¤").arg(kMe)));
  }

  // A click on the client that is already current loads it again, once.
  void clickOnCurrentClientReloads() {
    clickClient(0);
    QCOMPARE(c_->sent([&] { clickClient(0); }),
             W("¤GETALLCALLABLES:PC12:GETALLCALLABLES¤¤GETSTATIONCALLABLES:PC12:GETSTATIONCALLABLES¤"));
  }

  // The tab shows that it waits; a list that never comes is said so, and
  // "Ångra" asks again. "Ångra" and a reload make no client current.
  void waitingForTheLists() {
    StationsTab* t = tab();
    clickClient(0);
    QCOMPARE(Control<QLabel>(w_, "lblStatus")->text(), QStringLiteral("Hämtar…"));
    QVERIFY(!Control<QPushButton>(w_, "btnCancel")->isEnabled());
    t->ContentsTimerTimer();
    QCOMPARE(Control<QLabel>(w_, "lblStatus")->text(), QStringLiteral("Servern svarade inte. Tryck på Ångra för att hämta igen."));
    QVERIFY(!Control<QPushButton>(w_, "btnSave")->isEnabled());
    QVERIFY(Control<QPushButton>(w_, "btnCancel")->isEnabled());
    QCOMPARE(c_->sent([&] { Control<QPushButton>(w_, "btnCancel")->click(); }), W("¤GETALLMACHINES:RECEPTION01_Admin:GETALLMACHINES¤"));
    QVERIFY(!t->currentMachine());
    QCOMPARE(Control<QLabel>(w_, "lblStatus")->text(), QStringLiteral("Hämtar…"));
    w_->HandleRetAllMachines(W(kMachines));
    QVERIFY(Control<QLabel>(w_, "lblStatus")->text().isEmpty());
    QVERIFY(!Control<QPushButton>(w_, "btnSave")->isEnabled());
    QCOMPARE(c_->sent([&] { w_->btnSaveClick(); }), std::string());
  }

  void saveWithoutChosenOrClient() {
    // No current client: nothing.
    QCOMPARE(c_->sent([&] { Control<QPushButton>(w_, "btnSave")->click(); }), std::string());
    clickClient(2);
    w_->HandleRetAllCallables(Callables());
    w_->HandleRetStationCallables(W("¤RETSTATIONCALLABLES::"));
    // Nothing changed yet: nothing to save.
    QVERIFY(!Control<QPushButton>(w_, "btnSave")->isEnabled());
    QVERIFY(!Control<QPushButton>(w_, "btnCancel")->isEnabled());
    // A resource chosen and put back: the list is empty again, and "Spara"
    // sends it so.
    Select(Control<QListView>(tab(), "ListBox3"), {0});
    Control<QPushButton>(tab(), "BitBtn9")->click();
    Select(Control<QListView>(tab(), "ListBox4"), {0});
    Control<QPushButton>(tab(), "BitBtn10")->click();
    QVERIFY(Control<QPushButton>(w_, "btnCancel")->isEnabled());
    QCOMPARE(c_->sent([&] { Control<QPushButton>(w_, "btnSave")->click(); }),
             W(QStringLiteral("¤POSTCALLABLESLIST:%1:2:14:POSTCALLABLESLIST¤").arg(kMe)));
    QVERIFY(!Control<QPushButton>(w_, "btnSave")->isEnabled());
  }

  // "Lägg till": a "-= Ny =-" line while the dialog is open; OK sends the
  // new client with number -1 and reloads, "Avbryt" removes the line.
  void addClient_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Avbryt") << false;
  }
  void addClient() {
    QFETCH(bool, ok);
    QString shownLast;
    QStringList shown;
    tab()->ShowModal = [&](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditKlient*>(d);
      dlg->show();
      shownLast = tab()->machines()->index(3).data().toString();
      shown << dlg->windowTitle() << Control<QLineEdit>(dlg, "Edit1")->text() << Control<QLineEdit>(dlg, "Edit2")->text()
            << QString::number(dlg->RadioGroup1ItemIndex()) << QString::number(dlg->SwatchColour());
      Control<QLineEdit>(dlg, "Edit1")->setText(" PC 20");
      Control<QLineEdit>(dlg, "Edit2")->setText("Rum å");
      dlg->findChild<QRadioButton*>("RadioGroup1Show")->setChecked(true);
      (ok ? Control<QPushButton>(dlg, "BitBtn1") : Control<QPushButton>(dlg, "BitBtn2"))->click();
      return dlg->result();
    };
    const std::string sent = c_->sent([&] { Control<QPushButton>(tab(), "BitBtn11")->click(); });
    QCOMPARE(shownLast, QStringLiteral("-= Ny =-"));
    QCOMPARE(shown, QStringList({"Lägg till/redigera klient", "", "", "0", "0"}));
    if (ok) {
      QCOMPARE(sent, W(QStringLiteral("¤REGISTERUPATEMACHINE: PC 20:1:Rum å:0:::-1::REGISTERUPATEMACHINE¤"
                                      "¤GETALLMACHINES:%1:GETALLMACHINES¤").arg(kMe)));
    } else {
      QCOMPARE(sent, std::string());
      QCOMPARE(tab()->machines()->rowCount(), 3);
    }
  }

  // "Ändra" on an Admin client: "Show" is chosen, the hidden IMEI number and
  // extra text go back unchanged, the picked colour is sent.
  void changeAdminClient() {
    clickClient(2);
    QString name, location;
    int colour = 0, type = -1;
    tab()->ShowModal = [&](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditKlient*>(d);
      dlg->show();
      name = Control<QLineEdit>(dlg, "Edit1")->text();
      location = Control<QLineEdit>(dlg, "Edit2")->text();
      colour = dlg->SwatchColour();
      type = dlg->RadioGroup1ItemIndex();
      c_->platform->dialogs->colourAnswers.push_back(QColor(0, 0, 255));
      Control<QPushButton>(dlg, "BitBtn5")->click();
      Control<QPushButton>(dlg, "BitBtn5")->click();  // "Avbryt" in the picker: the swatch stays blue
      Control<QLineEdit>(dlg, "Edit2")->setText("Kansli 2 ");
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab(), "BitBtn12")->click(); }),
             W(QStringLiteral("¤REGISTERUPATEMACHINE:ADM:1:Kansli 2 :16711680:imei2:x:14::REGISTERUPATEMACHINE¤"
                              "¤GETALLMACHINES:%1:GETALLMACHINES¤").arg(kMe)));
    QCOMPARE(name, QStringLiteral("ADM"));
    QCOMPARE(location, QStringLiteral("Kansli"));
    QCOMPARE(colour, 8421504);
    QCOMPARE(type, 1);
    QCOMPARE(c_->platform->dialogs->colourRequests.size(), std::size_t(2));
    QCOMPARE(c_->platform->dialogs->colourRequests[0], QColor(128, 128, 128));

    // "Avbryt" changes nothing and sends nothing; without a client, nothing opens.
    w_->HandleRetAllMachines(W(kMachines));
    clickClient(0);
    tab()->ShowModal = [](QDialog* d) {
      d->show();
      static_cast<TfrmAddEditKlient*>(d)->Edit1->setText("changed");
      static_cast<TfrmAddEditKlient*>(d)->BitBtn2->click();
      return d->result();
    };
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab(), "BitBtn12")->click(); }), std::string());
    QCOMPARE(tab()->currentMachine()->Name, QStringLiteral("PC12"));
    w_->HandleRetAllMachines(W(kMachines));
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab(), "BitBtn12")->click(); }), std::string());
  }

  // The dialog refuses, with a balloon, what cannot be sent; it stays open.
  void dialogRefusals_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("balloon");
    QTest::newRow("blank name") << "  " << "Rum" << "Namn får ej vara tomt!";
    QTest::newRow("blank location") << "PC" << " " << "Plats får ej vara tom!";
    QTest::newRow("colon in name") << "PC:1" << "Rum" << "Datornamn/namn får inte innehålla tecknet ':'";
    QTest::newRow("tilde in location") << "PC" << "Rum~2" << "Plats får inte innehålla tecknet '~'";
    QTest::newRow("currency sign") << "PC¤" << "Rum" << "Datornamn/namn får inte innehålla tecknet '¤'";
    QTest::newRow("emoji") << "PC 😀" << "Rum" << "Datornamn/namn får inte innehålla tecknet '😀', som inte kan skickas till servern";
    QTest::newRow("not Windows-1252") << "PC" << "Ωmega"
                                      << "Plats får inte innehålla tecknet 'Ω', som inte kan skickas till servern";
  }
  void dialogRefusals() {
    QFETCH(QString, name);
    QFETCH(QString, location);
    QFETCH(QString, balloon);
    clickClient(0);
    bool stayedOpen = false;
    tab()->ShowModal = [&](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditKlient*>(d);
      dlg->show();
      Control<QLineEdit>(dlg, "Edit1")->setText(name);
      Control<QLineEdit>(dlg, "Edit2")->setText(location);
      Control<QPushButton>(dlg, "BitBtn1")->click();
      stayedOpen = dlg->isVisible();
      Control<QPushButton>(dlg, "BitBtn2")->click();
      return dlg->result();
    };
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab(), "BitBtn12")->click(); }), std::string());
    QVERIFY(stayedOpen);
    QCOMPARE(c_->platform->dialogs->balloons.size(), std::size_t(1));
    QCOMPARE(c_->platform->dialogs->balloons[0].text, balloon);
    QCOMPARE(tab()->currentMachine()->Name, QStringLiteral("PC12"));
  }

  // "Radera" asks with the location and identifies the client by its name.
  void deleteClient_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Ja") << 6;
    QTest::newRow("Nej") << 7;
  }
  void deleteClient() {
    QFETCH(int, answer);
    QCOMPARE(c_->sent([&] { Control<QPushButton>(tab(), "BitBtn13")->click(); }), std::string());
    QVERIFY(c_->platform->dialogs->questions.isEmpty());
    clickClient(1);
    c_->platform->dialogs->answers.push_back(answer);
    const std::string sent = c_->sent([&] { Control<QPushButton>(tab(), "BitBtn13")->click(); });
    QCOMPARE(c_->platform->dialogs->questions, QStringList{QStringLiteral("Radera klienten Väntrum?")});
    QCOMPARE(sent, answer == 6 ? W(QStringLiteral("¤REGISTERUPATEMACHINE:TV1:1:¤DELETE_ME¤:16776960:"
                                                  "REGISTERUPATEMACHINE¤¤GETALLMACHINES:%1:GETALLMACHINES¤")
                                       .arg(kMe))
                               : std::string());
  }

  // "Alla resurser" is half the group less the button column, also after
  // the window changes width.
  void splitAfterResize() {
    StationsTab* t = tab();
    t->Splitter1Moved();
    QCOMPARE(Control<QSplitter>(t, "Splitter1")->sizes().value(0), 249);
    for (int width : {800, 1000}) {
      w_->setFixedWidth(width);
      QTRY_COMPARE(t->allResourcesColumnWidth(), Control<QGroupBox>(t, "gbResurserAttVisa")->contentsRect().width() / 2 - 30);
      QTRY_COMPARE(Control<QListView>(t, "ListBox3")->parentWidget()->width(), t->allResourcesColumnWidth());
    }
    QVERIFY(t->allResourcesColumnWidth() > 300);
  }

 private:
  StationsTab* tab() const { return w_ ? Control<StationsTab>(w_, "tsStations") : nullptr; }
  // A mouse click on client `row`, as the administrator makes it current.
  void clickClient(int row) {
    QListView* list = Control<QListView>(tab(), "lbmachines");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(tab()->machines()->index(row)).center());
  }

  std::unique_ptr<RegisterWindowCase> c_;
  TfrmSystreg* w_ = nullptr;
};

QTEST_MAIN(KlienterTest)
#include "systregklienter_test.moc"
