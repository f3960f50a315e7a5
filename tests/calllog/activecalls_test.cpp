// The active-calls window against a scripted server: layout, the query at
// first activation, the confirmation flow and the end of its life.
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QtTest>
#include <memory>

#include "CallLogTestUtil.h"
#include "Controls.h"
#include "FakePlatform.h"
#include "calllog/CallLogRouting.h"
#include "calllog/CallLogSql.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "common/ClientIdentity.h"
#include "common/SharedState.h"
#include "protocol/Catalogue.h"
#include "widgets/Dialogs.h"

using namespace davu;

using davu::test::Control;

namespace {

std::string Query(const QDate& day) {
  return davu::proto::OpenSql(W(GetClientName()), W(davu::calllog::ActiveCallsQuery(day)));
}

// Three unconfirmed calls, LOPNR 12, 14 and 15.
std::string ThreeCalls() {
  return SqlPayload({
      "FRIENDLYNAME|Reception~FULLNAME|Rum 1~LOPNR|12~CALLTSTAMP|2024-05-03 08:01:00~COMINGTSTAMP|~SMSSENT|0~",
      "FRIENDLYNAME|Reception~FULLNAME|Rum 2~LOPNR|14~CALLTSTAMP|2024-05-03 08:15:00~COMINGTSTAMP|~SMSSENT|0~",
      "FRIENDLYNAME|Lab~FULLNAME|Dr Åberg~LOPNR|15~CALLTSTAMP|2024-05-03 09:40:12~COMINGTSTAMP|2024-05-03 09:41:00~SMSSENT|-1~",
  });
}

}  // namespace

class ActiveCallsTest : public QObject, WindowCase<TfrmDAVUActiveCalls> {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(start()); }
  void cleanup() { stop(); }

  void layoutAndStartState() {
    auto w = openWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("DAVU Pågående kallelser"));
    QCOMPARE(w->size(), QSize(671, 440));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QCOMPARE(ReplyTarget, rtActiveCalls);
    auto* label = w->findChild<QLabel*>(QStringLiteral("Label3"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Antal poster: 0"));
    QCOMPARE(w->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->text(), QStringLiteral("Radera markerade..."));
    QCOMPARE(w->findChild<QPushButton*>(QStringLiteral("Avbryt"))->text(), QStringLiteral("Återgå"));
    QCOMPARE(w->findChild<QWidget*>(QStringLiteral("Panel1"))->height(), 31);

    auto* grid = w->findChild<QTableView*>(QStringLiteral("DBGrid1"));
    QVERIFY(grid);
    QStringList shown;
    QList<int> widths;
    const int zero = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
      if (grid->isColumnHidden(c)) continue;
      shown << grid->model()->headerData(c, Qt::Horizontal).toString();
      widths << (grid->columnWidth(c) - 4) / zero;
      // Every title is shown whole; the value width is the least width.
      const QString title = grid->model()->headerData(c, Qt::Horizontal).toString();
      QVERIFY2(grid->columnWidth(c) >= QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance(title),
               qPrintable(title));
    }
    QCOMPARE(shown, (QStringList{"Radera", "Klientnamn", "Resursnamn", "Påkallad", "På väg", "SMS skickat"}));
    QCOMPARE(widths.first(widths.size() - 1), (QList<int>{6, 25, 25, 18, 18}));
    QVERIFY(widths.last() >= 5);  // "SMS skickat" is wider than its values
    QVERIFY(!grid->horizontalHeader()->sectionsClickable());
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->fieldIndex("LOPNR"), 2);  // held, not shown
    QVERIFY(grid->isColumnHidden(2));
  }

  void firstActivationSendsTheQueryOnce() {
    fake->clock->current = QDateTime(QDate(2024, 5, 3), QTime(10, 22, 33));
    auto w = openWindow();
    QCOMPARE(net->sent(), std::string());  // nothing before activation
    w->FormActivate();
    w->FormActivate();
    QCOMPARE(net->sent(), Query(QDate(2024, 5, 3)));
  }

  void replyFillsGridAndCount() {
    auto w = openWindow();
    RouteSqlReply(ThreeCalls());
    QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: 3"));
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->value(2, QStringLiteral("FULLNAME")), QStringLiteral("Dr Åberg"));
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->value(0, QStringLiteral("Radera")), QString());
  }

  void tickingInTheGridWritesT() {
    auto w = openWindow();
    w->show();
    RouteSqlReply(ThreeCalls());
    QTableView* grid = Control<QTableView>(w, "DBGrid1");
    const QModelIndex box = grid->model()->index(1, 0);
    QStyleOptionViewItem opt;
    opt.initFrom(grid->viewport());
    opt.rect = grid->visualRect(box);
    opt.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect indicator = grid->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, grid);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, indicator.center());
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->value(1, 0), QStringLiteral("T"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, indicator.center());
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->value(1, 0), QStringLiteral("F"));
    w->reject();
  }

  void confirmation_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("ticks");       // rows ticked, in click order
    QTest::addColumn<QList<int>>("unticks");     // rows unticked afterwards
    QTest::addColumn<QString>("statement");      // empty: nothing is sent
    QTest::addColumn<bool>("balloon");
    QTest::newRow("No ends the step") << int(mrNo) << QList<int>{0} << QList<int>{} << QString() << false;
    QTest::newRow("nothing ticked") << int(mrYes) << QList<int>{} << QList<int>{} << QString() << true;
    QTest::newRow("ticked then unticked") << int(mrYes) << QList<int>{1} << QList<int>{1} << QString() << true;
    QTest::newRow("ticked rows in table order")
        << int(mrYes) << QList<int>{2, 1, 0} << QList<int>{1}
        << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 10:22:33# WHERE  ( LOPNR = 12 OR  LOPNR = 15 )" << false;
  }
  void confirmation() {
    QFETCH(int, answer);
    QFETCH(QList<int>, ticks);
    QFETCH(QList<int>, unticks);
    QFETCH(QString, statement);
    QFETCH(bool, balloon);
    fake->clock->current = QDateTime(QDate(2024, 5, 3), QTime(9, 0));
    auto w = openWindow();
    w->FormActivate();
    RouteSqlReply(ThreeCalls());
    for (int r : ticks) Control<TSVVirtualTable>(w, "SVVirtualTable1")->setData(Control<TSVVirtualTable>(w, "SVVirtualTable1")->index(r, 0), Qt::Checked, Qt::CheckStateRole);
    for (int r : unticks) Control<TSVVirtualTable>(w, "SVVirtualTable1")->setData(Control<TSVVirtualTable>(w, "SVVirtualTable1")->index(r, 0), Qt::Unchecked, Qt::CheckStateRole);
    net->sent();

    fake->clock->current = QDateTime(QDate(2024, 5, 3), QTime(10, 22, 33));
    fake->dialogs->answers = {answer};
    Control<QPushButton>(w, "BitBtn1")->click();

    QCOMPARE(fake->dialogs->questions, QStringList{"Markera alla markerade kallelser som bekräftad?"});
    QCOMPARE(fake->dialogs->balloons.size(), std::size_t(balloon ? 1 : 0));
    if (balloon) QVERIFY(fake->dialogs->balloons[0].text.startsWith(QStringLiteral("Inga kallelser markerade!")));
    if (statement.isEmpty()) {
      QCOMPARE(net->sent(), std::string());
      QVERIFY(fake->sleeper->sleeps.empty());
      return;
    }
    // One EXECSQL, the one-second pause, then the list is asked for again.
    const std::string exec = davu::proto::ExecSql(W(GetClientName()), W(statement));
    QCOMPARE(net->sent(), exec + Query(QDate(2024, 5, 3)));
    QCOMPARE(fake->sleeper->sleeps, std::vector<int>{1000});
    RouteSqlReply(SqlPayload({"FRIENDLYNAME|Reception~FULLNAME|Rum 2~LOPNR|14~"}));
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->RecordCount(), 1);
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->value(0, 0), QString());  // ticks go with the reload
    QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: 1"));
  }

  // Opened while the connection is down: the window says so, and asks for
  // the list once the connection is back, but only while none has arrived.
  void withoutConnectionSaysSoAndAsksAgainWhenBack() {
    fake->clock->current = QDateTime(QDate(2024, 5, 3), QTime(10, 22, 33));
    net->socket.close();
    auto w = openWindow();
    w->FormActivate();
    QCOMPARE(fake->dialogs->balloons.size(), std::size_t(1));
    QCOMPARE(fake->dialogs->balloons[0].text,
             QStringLiteral("Ej ansluten till servern. Försök igen när anslutningen är upprättad."));
    QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: 0"));

    QVERIFY(net->open());
    QCOMPARE(net->sent(), Query(QDate(2024, 5, 3)));
    RouteSqlReply(ThreeCalls());
    net->socket.close();
    QVERIFY(net->open());
    QCOMPARE(net->sent(), std::string());  // the list it has stays until asked for
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->RecordCount(), 3);
  }

  // Confirming without a connection keeps the ticks and the list: nothing
  // was confirmed, so nothing may look confirmed.
  void confirmingWithoutConnectionKeepsTheTicks() {
    auto w = openWindow();
    w->FormActivate();
    RouteSqlReply(ThreeCalls());
    Control<TSVVirtualTable>(w, "SVVirtualTable1")->setData(Control<TSVVirtualTable>(w, "SVVirtualTable1")->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    net->socket.close();
    fake->dialogs->answers = {mrYes};
    Control<QPushButton>(w, "BitBtn1")->click();
    QCOMPARE(fake->dialogs->balloons.size(), std::size_t(1));
    QCOMPARE(fake->dialogs->balloons[0].text,
             QStringLiteral("Ej ansluten till servern. Försök igen när anslutningen är upprättad."));
    QVERIFY(fake->sleeper->sleeps.empty());
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->value(1, 0), QStringLiteral("T"));
    QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: 3"));
    QVERIFY(net->open());
    QCOMPARE(net->sent(), std::string());  // loaded already: nothing to ask again
  }

  void unreadableLopnrSendsNothing() {
    auto w = openWindow();
    RouteSqlReply(SqlPayload({"LOPNR|12~", "LOPNR|x1~"}));
    for (int r : {0, 1}) Control<TSVVirtualTable>(w, "SVVirtualTable1")->setData(Control<TSVVirtualTable>(w, "SVVirtualTable1")->index(r, 0), Qt::Checked, Qt::CheckStateRole);
    fake->dialogs->answers = {mrYes};
    w->BitBtn1Click();
    QCOMPARE(fake->dialogs->infoMessages.size(), 1);
    QVERIFY(fake->dialogs->infoMessages[0].contains(QStringLiteral("x1")));
    QCOMPARE(net->sent(), std::string());
  }

  void closingBeforeTheReply() {
    auto w = openWindow();
    w->FormActivate();
    Control<QPushButton>(w, "Avbryt")->click();
    QCOMPARE(ReplyTarget, rtNone);
    RouteSqlReply(ThreeCalls());
    QCOMPARE(Control<TSVVirtualTable>(w, "SVVirtualTable1")->RecordCount(), 0);
    QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: 0"));
    w.reset();
    // Even a stale target finds no window once it is gone.
    ReplyTarget = rtActiveCalls;
    RouteSqlReply(ThreeCalls());
  }

  void destroyedWithoutCloseClearsTheTarget() {
    auto w = openWindow();
    QCOMPARE(ReplyTarget, rtActiveCalls);
    w.reset();
    QCOMPARE(ReplyTarget, rtNone);
    QVERIFY(TfrmDAVUActiveCalls::current() == nullptr);
  }
};

QTEST_MAIN(ActiveCallsTest)
#include "activecalls_test.moc"
