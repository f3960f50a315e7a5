// The statistics window against a scripted server: layout, default range,
// the two lists, the report query and the end of its life.
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <memory>

#include "CallLogTestUtil.h"
#include "Controls.h"
#include "FakePlatform.h"
#include "calllog/CallLogRouting.h"
#include "calllog/CallLogSql.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientIdentity.h"
#include "common/SharedState.h"
#include "protocol/Catalogue.h"

using namespace davu;

using davu::test::Control;

namespace {

// Resources 7 (R1, inactive, sends SMS) and 8; clients 3 and 5.
const QString kCallables =
    QStringLiteral("¤RETALLCALLABLES:R1:7:Rum ett:255:-1:0701234567:F:R2:8:Rum två:0:0::T:");
const QString kMachines =
    QStringLiteral("¤RETALLMACHINES:PC3:3:Reception:0:0:-1:::PC5:5:Lab:0:1:0:::");

void Tick(QListWidget* list, int row) { list->item(row)->setCheckState(Qt::Checked); }

}  // namespace

class StatistikTest : public QObject, WindowCase<TfrmDAVUStatistik> {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(start()); }
  void cleanup() {
    stop();
    TfrmDAVUStatistik::SessionChoice() = {};
  }

  // Enlarged, the window opens as large next time; the range typed (or
  // stepped with the arrow keys) and the choice stay for the rest of the run.
  void sizeRangeAndTyping() {
    {
      auto w = openWindow();
      w->show();
      QVERIFY(QTest::qWaitForWindowExposed(w.get()));
      w->resize(1000, 640);
      QCOMPARE(w->size(), QSize(1000, 640));
      // The lists take their share of the room, in width as in height.
      QVERIFY2(w->findChild<QWidget*>("Panel1")->width() >= 1000 * 169 / 807 - 2,
               qPrintable(QString::number(w->findChild<QWidget*>("Panel1")->width())));
      QDateEdit* from = Control<QDateEdit>(w, "DateTimePicker1");
      from->setFocus();
      from->setSelectedSection(QDateTimeEdit::YearSection);
      QTest::keyClicks(from, "2026");
      from->setSelectedSection(QDateTimeEdit::MonthSection);
      QTest::keyClicks(from, "11");
      from->setSelectedSection(QDateTimeEdit::DaySection);
      QTest::keyClicks(from, "01");
      QCOMPARE(from->date(), QDate(2026, 11, 1));
      QTest::keyClick(from, Qt::Key_Up);
      QCOMPARE(from->date(), QDate(2026, 11, 2));
      Control<QCheckBox>(w, "CheckBox1")->setChecked(true);
      w->hide();
    }
    auto again = openWindow();
    QCOMPARE(again->size(), QSize(1000, 640));
    QCOMPARE(Control<QDateEdit>(again, "DateTimePicker1")->date(), QDate(2026, 11, 2));
    QVERIFY(Control<QCheckBox>(again, "CheckBox1")->isChecked());
  }

  // The ticked clients and resources stay for the run with the range: they
  // are found by their server numbers when the lists arrive again, in
  // another order or with records added or gone, and narrow the next report.
  void tickedChoicesStayForTheRun() {
    {
      auto w = openWindow();
      RouteStatisticsCallables(W(kCallables));
      RouteStatisticsMachines(W(kMachines));
      Tick(Control<QListWidget>(w, "CheckListBox2"), 1);  // client 5
      Tick(Control<QListWidget>(w, "CheckListBox1"), 0);  // resource 7
      w->show();
      w->hide();
    }
    auto w = openWindow();
    RouteStatisticsCallables(W(QStringLiteral("¤RETALLCALLABLES:R2:8:Rum två:0:0::T:R1:7:Rum ett:255:-1:0701234567:F:")));
    RouteStatisticsMachines(W(QStringLiteral("¤RETALLMACHINES:PC9:9:Kök:0:0:0:::PC5:5:Lab:0:1:0:::")));
    auto ticks = [](QListWidget* list) {
      QList<Qt::CheckState> states;
      for (int i = 0; i < list->count(); ++i) states << list->item(i)->checkState();
      return states;
    };
    QCOMPARE(ticks(Control<QListWidget>(w, "CheckListBox1")), (QList<Qt::CheckState>{Qt::Unchecked, Qt::Checked}));
    QCOMPARE(ticks(Control<QListWidget>(w, "CheckListBox2")), (QList<Qt::CheckState>{Qt::Unchecked, Qt::Checked}));
    Control<QPushButton>(w, "BitBtn1")->click();
    const QString sql = davu::calllog::StatisticsQuery({5}, {7}, Control<QDateEdit>(w, "DateTimePicker1")->date(),
                                                       Control<QDateEdit>(w, "DateTimePicker2")->date(), false);
    QCOMPARE(net->sent(), davu::proto::OpenSql(W(GetClientName()), W(sql)));
    // Unticked at the next closing, nothing is ticked at the next opening.
    Control<QListWidget>(w, "CheckListBox1")->item(1)->setCheckState(Qt::Unchecked);
    Control<QListWidget>(w, "CheckListBox2")->item(1)->setCheckState(Qt::Unchecked);
    w->show();
    w->hide();
    w.reset();
    auto third = openWindow();
    RouteStatisticsCallables(W(kCallables));
    RouteStatisticsMachines(W(kMachines));
    QCOMPARE(ticks(Control<QListWidget>(third, "CheckListBox1")), (QList<Qt::CheckState>{Qt::Unchecked, Qt::Unchecked}));
    QCOMPARE(ticks(Control<QListWidget>(third, "CheckListBox2")), (QList<Qt::CheckState>{Qt::Unchecked, Qt::Unchecked}));
  }

  void layoutAndStartState() {
    auto w = openWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("DAVU Statistik"));
    // The first and smallest size; the window may be enlarged.
    QCOMPARE(w->size(), QSize(807, 495));
    QCOMPARE(w->minimumSize(), QSize(807, 495));
    QVERIFY(w->maximumSize().width() > 807 && w->maximumSize().height() > 495);
    QCOMPARE(ReplyTarget, rtStatistics);
    QStringList groups;
    for (const char* name : {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5"})
      groups << w->findChild<QGroupBox*>(QLatin1String(name))->title();
    QCOMPARE(groups, (QStringList{"Urval", "Klienter", "Resurser", "Datumintervall", "Övrigt"}));
    QCOMPARE(w->findChild<QWidget*>("Panel1")->width(), 169);
    QCOMPARE(w->findChild<QWidget*>("Panel2")->height(), 31);
    QVERIFY(w->findChild<QListWidget*>("CheckListBox1"));
    QVERIFY(w->findChild<QListWidget*>("CheckListBox2"));
    QVERIFY(w->findChild<QDateEdit*>("DateTimePicker1"));
    QVERIFY(w->findChild<QDateEdit*>("DateTimePicker2"));
    auto* box = w->findChild<QCheckBox*>("CheckBox1");
    QCOMPARE(box->text(), QStringLiteral("Visa endast bekräftade"));
    QVERIFY(!box->isChecked());
    // "Text statistik" is the first page and the one shown; the report's
    // summary and charts follow it.
    auto* pages = w->findChild<QTabWidget*>("PageControl1");
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i) tabs << pages->tabText(i);
    QCOMPARE(tabs, (QStringList{"Text statistik", "Sammanfattning", "Diagram"}));
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(pages->widget(0), Control<QWidget>(w, "TabSheet1"));
    QCOMPARE(w->findChild<QPushButton*>("BitBtn1")->text(), QStringLiteral("Skapa rapport"));
    QCOMPARE(w->findChild<QPushButton*>("Avbryt")->text(), QStringLiteral("Återgå"));
    QCOMPARE(w->findChild<QLabel*>("Label3")->text(), QStringLiteral("Antal poster: 0"));

    auto* grid = w->findChild<QTableView*>("DBGrid1");
    QStringList titles;
    QList<int> widths;
    const int zero = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
      QVERIFY(!grid->isColumnHidden(c));
      titles << grid->model()->headerData(c, Qt::Horizontal).toString();
      widths << (grid->columnWidth(c) - 4) / zero;
      // Every title is shown whole; the value width is the least width.
      const QString title = grid->model()->headerData(c, Qt::Horizontal).toString();
      QVERIFY2(grid->columnWidth(c) >= QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance(title),
               qPrintable(title));
    }
    QCOMPARE(titles, (QStringList{"Klientnamn", "Resursnamn", "Påkallad", "Bekräftad", "SMS skickat"}));
    QCOMPARE(widths.first(widths.size() - 1), (QList<int>{25, 25, 18, 18}));
    QVERIFY(widths.last() >= 5);  // "SMS skickat" is wider than its values
    QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  }

  void defaultRangeIsTheCurrentMonth_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::newRow("leap February") << QDateTime(QDate(2024, 2, 10), QTime(14, 0)) << QDate(2024, 2, 1) << QDate(2024, 2, 29);
    QTest::newRow("February") << QDateTime(QDate(2023, 2, 28), QTime(23, 59)) << QDate(2023, 2, 1) << QDate(2023, 2, 28);
    QTest::newRow("December") << QDateTime(QDate(2024, 12, 1), QTime(0, 0)) << QDate(2024, 12, 1) << QDate(2024, 12, 31);
  }
  void defaultRangeIsTheCurrentMonth() {
    QFETCH(QDateTime, now);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    fake->clock->current = now;
    auto w = openWindow();
    QCOMPARE(Control<QDateEdit>(w, "DateTimePicker1")->date(), from);
    QCOMPARE(Control<QDateEdit>(w, "DateTimePicker2")->date(), to);
  }

  void firstActivationAsksForTheListsOnce() {
    auto w = openWindow();
    QCOMPARE(net->sent(), std::string());
    w->FormActivate();
    w->FormActivate();
    const std::string client = W(GetClientName());
    QCOMPARE(net->sent(), davu::proto::GetAllCallables(client) + davu::proto::GetAllMachines(client));
  }

  void listsFillFromRepliesAndNarrowTheReport() {
    auto w = openWindow();
    QVERIFY(StatisticsTakesLists());
    RouteStatisticsCallables(W(kCallables));
    RouteStatisticsMachines(W(kMachines));
    QCOMPARE(Control<QListWidget>(w, "CheckListBox1")->count(), 2);
    QCOMPARE(Control<QListWidget>(w, "CheckListBox2")->count(), 2);
    QVERIFY(Control<QListWidget>(w, "CheckListBox1")->item(0)->text().contains(QStringLiteral(" (inaktiv)")));
    // The narrow panel scrolls sideways to the end of a long item instead of
    // cutting it off.
    w->show();
    QListWidget* list = Control<QListWidget>(w, "CheckListBox1");
    QCOMPARE(list->textElideMode(), Qt::ElideNone);
    QVERIFY(list->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff);
    const int textWidth = list->fontMetrics().horizontalAdvance(list->item(0)->text());
    QTRY_VERIFY2(list->horizontalScrollBar()->maximum() + list->viewport()->width() >= textWidth,
                 qPrintable(QString::number(list->horizontalScrollBar()->maximum())));
    QCOMPARE(Control<QListWidget>(w, "CheckListBox2")->item(1)->text(), MachineItemText(*w->machines()[1]));
    for (int i = 0; i < 2; ++i) {
      QCOMPARE(Control<QListWidget>(w, "CheckListBox1")->item(i)->checkState(), Qt::Unchecked);
      QCOMPARE(Control<QListWidget>(w, "CheckListBox2")->item(i)->checkState(), Qt::Unchecked);
    }

    // Clients 3 and 5, the inactive resource 7, May, confirmed only.
    Tick(Control<QListWidget>(w, "CheckListBox2"), 0);
    Tick(Control<QListWidget>(w, "CheckListBox2"), 1);
    Tick(Control<QListWidget>(w, "CheckListBox1"), 0);
    Control<QDateEdit>(w, "DateTimePicker1")->setDate(QDate(2024, 5, 1));
    Control<QDateEdit>(w, "DateTimePicker2")->setDate(QDate(2024, 5, 31));
    Control<QCheckBox>(w, "CheckBox1")->setChecked(true);
    Control<QPushButton>(w, "BitBtn1")->click();
    const QString sql = davu::calllog::StatisticsQuery({3, 5}, {7}, QDate(2024, 5, 1), QDate(2024, 5, 31), true);
    QVERIFY(sql.contains(QStringLiteral(
        " AND ( STATIONS.LOPNR = 3 OR  STATIONS.LOPNR = 5) AND ( CALLABLES.LOPNR = 7) AND CALLTSTAMP >= #2024-05-01# "
        "AND CALLTSTAMP < #2024-06-01#  AND NOT CONFIRMTSTAMP IS NULL ORDER BY")));
    QCOMPARE(net->sent(), davu::proto::OpenSql(W(GetClientName()), W(sql)));

    // A refill loses the ticks.
    RouteStatisticsMachines(W(kMachines));
    QCOMPARE(Control<QListWidget>(w, "CheckListBox2")->item(0)->checkState(), Qt::Unchecked);
  }

  void eachReportReplacesTheRows() {
    auto w = openWindow();
    w->BitBtn1Click();
    w->BitBtn1Click();
    const std::string sent = net->sent();
    int queries = 0;
    for (std::size_t p = sent.find("OPENSQL:"); p != std::string::npos; p = sent.find("OPENSQL:", p + 1)) ++queries;
    QCOMPARE(queries, 2);
    RouteSqlReply(SqlPayload({"FRIENDLYNAME|A~", "FRIENDLYNAME|B~"}));
    RouteSqlReply(SqlPayload({"FRIENDLYNAME|C~FULLNAME|Rum 1~CALLTSTAMP|2024-05-02 08:00:00~CONFIRMTSTAMP|~SMSSENT|0~"}));
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->RecordCount(), 1);
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->value(0, 0), QStringLiteral("C"));
    QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: 1"));
  }

  // With the connection down a request says so instead of looking like an
  // empty result; what was shown stays; the lists that could not be fetched
  // are asked for again when the connection is back.
  void withoutConnectionSaysSoAndAsksAgainWhenBack_data() {
    QTest::addColumn<bool>("listsBefore");  // the lists were asked for while connected
    QTest::addColumn<bool>("resourcesArrived");
    QTest::addColumn<int>("expectedAgain");  // 0 none, 1 machines, 2 both lists
    QTest::newRow("opened while down") << false << false << 2;
    QTest::newRow("client list never arrived") << true << true << 1;
  }
  void withoutConnectionSaysSoAndAsksAgainWhenBack() {
    QFETCH(bool, listsBefore);
    QFETCH(bool, resourcesArrived);
    QFETCH(int, expectedAgain);
    auto w = openWindow();
    const std::string client = W(GetClientName());
    if (listsBefore) w->FormActivate();
    if (resourcesArrived) RouteStatisticsCallables(W(kCallables));
    Control<QPushButton>(w, "BitBtn1")->click();
    RouteSqlReply(SqlPayload({"FRIENDLYNAME|A~", "FRIENDLYNAME|B~"}));
    net->sent();

    net->socket.close();
    w->FormActivate();
    Control<QPushButton>(w, "BitBtn1")->click();
    const QString notConnected = QStringLiteral("Ej ansluten till servern. Försök igen när anslutningen är upprättad.");
    const std::size_t balloons = listsBefore ? 1 : 2;  // one per refused step, not one per list
    QCOMPARE(fake->dialogs->balloons.size(), balloons);
    for (const Balloon& b : fake->dialogs->balloons) QCOMPARE(b.text, notConnected);
    QCOMPARE(fake->dialogs->balloons[0].pos, w->mapToGlobal(QPoint(w->width() / 2, w->height())));
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->RecordCount(), 2);
    QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: 2"));

    QVERIFY(net->open());
    std::string again;
    if (expectedAgain == 2) again = davu::proto::GetAllCallables(client);
    if (expectedAgain >= 1) again += davu::proto::GetAllMachines(client);
    QCOMPARE(net->sent(), again);
    QCOMPARE(fake->dialogs->balloons.size(), balloons);
  }

  void closingHandsTheListsBack() {
    auto w = openWindow();
    Control<QPushButton>(w, "Avbryt")->click();
    QCOMPARE(ReplyTarget, rtNone);
    QVERIFY(!StatisticsTakesLists());
    RouteStatisticsCallables(W(kCallables));
    RouteSqlReply(SqlPayload({"FRIENDLYNAME|A~"}));
    QCOMPARE(Control<QListWidget>(w, "CheckListBox1")->count(), 0);
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->RecordCount(), 0);
    w.reset();
    ReplyTarget = rtStatistics;  // stale: no window is there to take anything
    QVERIFY(!StatisticsTakesLists());
    RouteStatisticsMachines(W(kMachines));
    RouteSqlReply(SqlPayload({"FRIENDLYNAME|A~"}));
  }
};

QTEST_MAIN(StatistikTest)
#include "statistik_test.moc"
