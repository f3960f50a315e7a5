// Every window and tab as a screen reader finds it: every interactive control
// named (not by its objectName), nothing hidden reported as showing, check
// states on every item of the checkable lists and of the active-calls grid,
// and the names of the controls that have no caption of their own.
#include <QComboBox>
#include <QListView>
#include <QListWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include "AccessibleTree.h"
#include "AppHarness.h"
#include "Controls.h"
#include "WireLiteral.h"
#include "app/Widgets.h"
#include "calllog/CallLogRouting.h"
#include "calllog/IdagWindow.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/Records.h"
#include "common/SharedState.h"
#include "register/USystReg.h"
#include "register/UfrmAddEditKlient.h"
#include "register/UfrmAddEditResurs.h"
#include "widgets/ShownCellsGrid.h"

using namespace davu;

using davu::test::Control;

namespace {

// Resource 1 ticked (active), resource 2 not; client PC12 on red.
const char* kCallables =
    "¤RETALLCALLABLES:R1:1:Rum 1:11065599:0::T:R2:2:Rum 2:16777215:0::F:";
const char* kMachines = "¤RETALLMACHINES:PC12:12:Reception:255:0:-1:IMEI-1:extra:";
const char* kCalls =
    "¤RETSQL:¤%FRIENDLYNAME|Reception~FULLNAME|Rum 1~LOPNR|12~CALLTSTAMP|2024-05-03 08:01:00~"
    "COMINGTSTAMP|~SMSSENT|0~%¤:¤%FRIENDLYNAME|Lab~FULLNAME|Rum 2~LOPNR|14~"
    "CALLTSTAMP|2024-05-03 08:15:00~COMINGTSTAMP|~SMSSENT|0~%¤:";

struct Shown {
  QString what;   // window and tab, for the messages and the figures
  QWidget* window;
};

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

  AppHarness* h_ = nullptr;
  QMap<QString, QString> names_;       // objectName -> name, over every window
  QMap<QString, QList<QAccessible::State>> items_;
  QMap<QString, QList<QAccessible::Role>> tickRoles_;
  QStringList problems_;
  QStringList figures_;

  void walk(const QString& what, QWidget* window) {
    QApplication::processEvents();
    const AccessibleFindings f = WalkAccessible(window);
    figures_ << QStringLiteral("%1: %2 controls, %3 problems").arg(what).arg(f.interactive).arg(f.problems.size());
    for (const QString& p : f.problems) problems_ << what + QStringLiteral(": ") + p;
    for (auto it = f.names.begin(); it != f.names.end(); ++it) names_.insert(what + u'/' + it.key(), it.value());
    for (auto it = f.checkItems.begin(); it != f.checkItems.end(); ++it) items_.insert(what + u'/' + it.key(), it.value());
    for (auto it = f.tickRoles.begin(); it != f.tickRoles.end(); ++it) tickRoles_.insert(what + u'/' + it.key(), it.value());
  }

  // Each shown tab of `tabs` in turn, walked as part of `window`.
  void walkTabs(const QString& what, QWidget* window, QTabWidget* tabs) {
    for (int i = 0; i < tabs->count(); ++i) {
      if (!tabs->isTabVisible(i)) continue;
      tabs->setCurrentIndex(i);
      walk(what + QStringLiteral(" [") + tabs->tabText(i) + u']', window);
    }
  }

 private slots:
  // Every window once, in one connected program; the cases below read what
  // the walk found.
  void initTestCase() {
    QAccessible::setActive(true);
    h_ = new AppHarness;
    TfrmDAVUAdmin& w = h_->create();
    h_->storeServer();
    QVERIFY(h_->connectAndAccept());
    w.show();
    walk(QStringLiteral("Huvudfönster"), &w);

    TfrmSystreg* reg = w.frmSystreg;
    RegisterMode = true;
    reg->SetTabs(Control<ResourcesTab>(reg, "tsResurser"));
    reg->show();
    reg->HandleRetAllCallables(W(kCallables));
    reg->HandleRetAllMachines(W(kMachines));
    walkTabs(QStringLiteral("Systemregister"), reg, Control<QTabWidget>(reg, "PageControl1"));
    Control<QListView>(Control<StationsTab>(reg, "tsStations"), "lbmachines")->setCurrentIndex(Control<QListView>(Control<StationsTab>(reg, "tsStations"), "lbmachines")->model()->index(0, 0));
    walk(QStringLiteral("Systemregister [Klienter, klient vald]"), reg);
    reg->hide();
    RegisterMode = false;
    reg->SetTabs(Control<ServerSettingsTab>(reg, "tsServersettings"));
    reg->show();
    walkTabs(QStringLiteral("Inställningar"), reg, Control<QTabWidget>(reg, "PageControl1"));
    reg->hide();

    {
      TfrmAddEditResurs d(&w);
      d.cl = DecodeCallableList(W(kCallables)).front();
      d.show();
      walk(QStringLiteral("Resursdialog"), &d);
    }
    {
      TfrmAddEditKlient d(&w);
      d.mc = DecodeMachineList(W(kMachines)).front();
      d.show();
      walk(QStringLiteral("Klientdialog"), &d);
    }
    {
      TfrmDAVUStatistik s(&w);
      s.LoadCallables(DecodeCallableList(W(kCallables)));
      s.LoadMachines(DecodeMachineList(W(kMachines)));
      Control<QListWidget>(&s, "CheckListBox1")->item(0)->setCheckState(Qt::Checked);
      s.show();
      walkTabs(QStringLiteral("Statistik"), &s, Control<QTabWidget>(&s, "PageControl1"));
    }
    {
      TfrmDAVUActiveCalls c(&w);
      c.show();
      RouteSqlReply(W(kCalls));
      Control<TSVVirtualTable>(&c, "SVVirtualTable1")->setData(Control<TSVVirtualTable>(&c, "SVVirtualTable1")->index(1, 0), Qt::Checked, Qt::CheckStateRole);
      walk(QStringLiteral("Pågående kallelser"), &c);
    }
    {
      IdagWindow today(&w);
      today.show();
      walk(QStringLiteral("Idag"), &today);
    }
    qInfo().noquote() << figures_.join(QStringLiteral("\n"));
  }

  void cleanupTestCase() {
    delete h_;
    h_ = nullptr;
  }

  void everyControlIsNamedAndNothingHiddenShows() {
    QVERIFY2(problems_.isEmpty(), qPrintable(problems_.join(QStringLiteral("\n"))));
  }

  void controlsWithoutCaptionsHaveTheirNames_data() {
    QTest::addColumn<QString>("control");  // window/objectName
    QTest::addColumn<QString>("name");
    const auto row = [](const char* control, const char* name) {
      QTest::newRow(control) << QString::fromUtf8(control) << QString::fromUtf8(name);
    };
    row("Huvudfönster/btnSystemregister", "Systemregister...");
    row("Huvudfönster/btnClose", "Stäng");
    row("Huvudfönster/shServerConnected", "Serveranslutning: Ansluten");
    row("Systemregister [Resurser]/lbResurser", "Befintliga resurser");
    row("Systemregister [Klienter]/lbmachines", "Befintliga klienter");
    row("Systemregister [Klienter]/ListBox3", "Alla resurser");
    row("Systemregister [Klienter]/ListBox4", "Valda resurser");
    row("Systemregister [Klienter]/BitBtn9", "Lägg till i valda resurser");
    row("Systemregister [Klienter]/BitBtn10", "Ta bort från valda resurser");
    row("Systemregister [Klienter]/BitBtn7", "Flytta upp");
    row("Systemregister [Klienter]/BitBtn8", "Flytta ned");
    row("Systemregister [SMS-inställningar]/edSMSusername", "Användarnamn:");
    row("Inställningar [Serverinställningar/utseende]/edServerport", "Serverport:");
    row("Resursdialog/Edit1", "Namn:");
    row("Resursdialog/Edit3", "Nummer:");
    row("Resursdialog/Panel6", "Färg: #ffd8a8");
    row("Klientdialog/Edit1", "Datornamn/namn:");
    row("Klientdialog/Panel6", "Färg: #ff0000");
    row("Statistik [Text statistik]/CheckListBox2", "Klienter");
    row("Statistik [Text statistik]/CheckListBox1", "Resurser");
    row("Statistik [Text statistik]/DateTimePicker1", "Fr.o.m.");
    row("Statistik [Text statistik]/DateTimePicker2", "T.o.m.");
    row("Statistik [Text statistik]/DBGrid1", "Kallelser");
    row("Statistik [Sammanfattning]/gridSammanfattning", "Sammanfattning");
    row("Pågående kallelser/DBGrid1", "Pågående kallelser");
  }
  void controlsWithoutCaptionsHaveTheirNames() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    QVERIFY2(names_.contains(control), qPrintable(control + QStringLiteral(" not shown")));
    QCOMPARE(names_.value(control), name);
  }

  // A choice list is named by its caption (Qt on Linux would name it by the
  // chosen entry), says the chosen entry as its value, ties its caption to it
  // as a label relation and holds its drop-down list.
  void choiceListsAreNamedByTheirCaptions_data() {
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("caption");
    QTest::newRow("theme") << "ComboBox1" << "Utseende:";
    QTest::newRow("chart") << "cbDiagram" << "Diagram:";
  }
  void choiceListsAreNamedByTheirCaptions() {
    QFETCH(QString, combo);
    QFETCH(QString, caption);
    TfrmDAVUStatistik s(h_->w.get());
    QComboBox* box = combo == QLatin1String("ComboBox1") ? Control<QComboBox>(Control<ServerSettingsTab>(h_->w->frmSystreg, "tsServersettings"), "ComboBox1")
                                                        : s.findChild<QComboBox*>(combo);
    QVERIFY(box);
    QVERIFY(box->count() > 1);
    box->setCurrentIndex(1);
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(box);
    QCOMPARE(i->role(), QAccessible::ComboBox);
    QCOMPARE(i->text(QAccessible::Name), caption);
    QCOMPARE(i->text(QAccessible::Value), box->itemText(1));
    QStringList labels;
    for (const auto& [label, relation] : i->relations(QAccessible::Label)) labels << label->text(QAccessible::Name);
    QCOMPARE(labels, QStringList{caption});
    QCOMPARE(i->childCount(), 1);
    QCOMPARE(i->child(0)->object(), box->view());
    QCOMPARE(i->indexOfChild(i->child(0)), 0);
    QVERIFY(i->state().expandable);
    QVERIFY(!i->state().expanded);
  }

  // The active calls as a reader walks them: six columns by their titles, no
  // call number anywhere, the cells where the table interface says, a tick
  // by the cell's toggle action.
  void theActiveCallsGridHoldsWhatShows() {
    TfrmDAVUActiveCalls c(h_->w.get());
    c.show();
    RouteSqlReply(W(kCalls));
    QTableView* grid = Control<QTableView>(&c, "DBGrid1");
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(grid);
    QAccessibleTableInterface* t = i->tableInterface();
    QVERIFY(t);
    QCOMPARE(t->rowCount(), 2);
    QStringList titles;
    for (int col = 0; col < t->columnCount(); ++col) titles << t->columnDescription(col);
    QCOMPARE(titles, (QStringList{"Radera", "Klientnamn", "Resursnamn", "Påkallad", "På väg", "SMS skickat"}));

    QStringList said;
    for (int n = 0; n < i->childCount(); ++n) said << i->child(n)->text(QAccessible::Name);
    QVERIFY2(!said.contains(QStringLiteral("12")) && !said.contains(QStringLiteral("14")) &&
                 !said.contains(QStringLiteral("LOPNR")),
             qPrintable(said.join(u'|')));
    QCOMPARE(i->childCount(), 6 + 2 * 6);  // the titles, then the rows
    for (int row = 0; row < 2; ++row) {
      for (int col = 0; col < 6; ++col) {
        QAccessibleInterface* cell = t->cellAt(row, col);
        QVERIFY(cell);
        QCOMPARE(cell->tableCellInterface()->rowIndex(), row);
        QCOMPARE(cell->tableCellInterface()->columnIndex(), col);
        QCOMPARE(cell->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name), titles[col]);
        QCOMPARE(i->indexOfChild(cell), 6 + row * 6 + col);
        QCOMPARE(i->child(i->indexOfChild(cell)), cell);
      }
    }
    // Over AT-SPI an unticked cell says "not checked" only as a check box.
    QCOMPARE(t->cellAt(0, 0)->role(), QAccessible::CheckBox);
    QCOMPARE(t->cellAt(0, 1)->role(), QAccessible::Cell);
    QCOMPARE(t->cellAt(1, 1)->text(QAccessible::Name), QStringLiteral("Lab"));
    QCOMPARE(t->cellAt(1, 2)->text(QAccessible::Name), QStringLiteral("Rum 2"));
    const QRect lab = t->cellAt(1, 1)->rect();
    QCOMPARE(i->childAt(lab.center().x(), lab.center().y()), t->cellAt(1, 1));

    // The focus and selection events name a cell by the grid's numbering
    // (Qt sends no events on the offscreen platform, so the numbering itself
    // is checked): the shown cells where the tree has them, the call number
    // nowhere.
    auto* shown = qobject_cast<davu::ShownCellsGrid*>(grid);
    QVERIFY(shown);
    const int lopnr = Control<TSVVirtualTable>(&c, "SVVirtualTable1")->fieldIndex(QStringLiteral("LOPNR"));
    for (int row = 0; row < 2; ++row) {
      QCOMPARE(shown->accessibleChildOf(grid->model()->index(row, lopnr)), -1);
      for (int col = 0; col < 6; ++col) {
        const int child = shown->accessibleChildOf(grid->model()->index(row, shown->shownColumns()[col]));
        QCOMPARE(i->child(child), t->cellAt(row, col));
      }
    }

    QAccessibleActionInterface* tick = t->cellAt(1, 0)->actionInterface();
    QVERIFY(tick && tick->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    tick->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(Control<TSVVirtualTable>(&c, "SVVirtualTable1")->value(1, QStringLiteral("Radera")), QStringLiteral("T"));
    QVERIFY(t->cellAt(1, 0)->state().checked);
  }

  // The register shows three tabs of four, behind the hidden settings tab.
  // The tab bar's own events name a tab by its index among all tabs; the
  // last one's (3) lies past the shown ones and finds it.
  void aTabPastTheShownOnesIsFoundByItsOwnIndex() {
    TfrmSystreg* reg = h_->w->frmSystreg;
    RegisterMode = true;
    reg->SetTabs(Control<ResourcesTab>(reg, "tsResurser"));
    reg->show();
    const int own = Control<QTabWidget>(reg, "PageControl1")->indexOf(Control<SmsSettingsTab>(reg, "tsSMS"));
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(Control<QTabWidget>(reg, "PageControl1")->tabBar());
    QCOMPARE(i->childCount(), 3);
    QCOMPARE(own, 3);
    QVERIFY(i->child(own));
    QCOMPARE(i->child(own)->text(QAccessible::Name), QStringLiteral("SMS-inställningar"));
    QCOMPARE(i->child(own), i->child(2));
    reg->hide();
    RegisterMode = false;
  }

  // While the bar changes its current tab it sends its own focus and
  // selection events, naming the tab by its index among all tabs, before it
  // tells its change. The tab widget's own currentChanged runs at that point
  // too (it is connected to the bar first): what a screen reader is told
  // there must be the chosen tab, behind the hidden settings tab as well.
  void aTabBarsOwnEventNamesTheChosenTab() {
    TfrmSystreg* reg = h_->w->frmSystreg;
    RegisterMode = true;
    reg->SetTabs(Control<ResourcesTab>(reg, "tsResurser"));
    reg->show();
    auto* tabs = Control<QTabWidget>(reg, "PageControl1");
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(tabs->tabBar());
    QStringList told;
    const QMetaObject::Connection c = connect(tabs, &QTabWidget::currentChanged, this, [&](int index) {
      QAccessibleInterface* tab = bar->child(index);
      told << (tab ? tab->text(QAccessible::Name) : QStringLiteral("(ingen)"));
    });
    for (const char* page : {"tsStations", "tsSMS", "tsResurser"}) tabs->setCurrentWidget(Control<QWidget>(reg, page));
    disconnect(c);
    QCOMPARE(told, QStringList({"Klienter", "SMS-inställningar", "Resurser"}));
    // Afterwards the children are the shown tabs again, in order.
    QCOMPARE(bar->child(1)->text(QAccessible::Name), QStringLiteral("Klienter"));
    reg->hide();
    RegisterMode = false;
  }

  void theMainWindowIsAWindow() {
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(h_->w.get());
    QVERIFY(i);
    QCOMPARE(i->role(), QAccessible::Window);
  }

  // Ticked or not, every item of a checkable list says so.
  void checkStatesAreExposed_data() {
    QTest::addColumn<QString>("view");
    QTest::addColumn<QList<bool>>("ticked");  // of the checkable items, in order
    QTest::newRow("Resurser") << "Systemregister [Resurser]/lbResurser" << QList<bool>{true, false};
    QTest::newRow("Statistik, resurser") << "Statistik [Text statistik]/CheckListBox1" << QList<bool>{true, false};
    QTest::newRow("Statistik, klienter") << "Statistik [Text statistik]/CheckListBox2" << QList<bool>{false};
    QTest::newRow("Pågående kallelser") << "Pågående kallelser/DBGrid1" << QList<bool>{false, true};
  }
  void checkStatesAreExposed() {
    QFETCH(QString, view);
    QFETCH(QList<bool>, ticked);
    QVERIFY2(items_.contains(view), qPrintable(view));
    QList<bool> seen;
    for (const QAccessible::State& s : items_.value(view))
      if (s.checkable) seen << bool(s.checked);
    QCOMPARE(seen, ticked);
    // Over AT-SPI (Qt 6.4) only a check box says "not checked".
    QCOMPARE(tickRoles_.value(view), QList<QAccessible::Role>(ticked.size(), QAccessible::CheckBox));
  }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
