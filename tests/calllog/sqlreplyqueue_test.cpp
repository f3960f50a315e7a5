// SQL replies reach the windows in the order the windows asked, whichever
// window ReplyTarget names: the "Idag" window refreshes while the statistics
// or the active-calls window waits for its own reply.
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "CallLogTestUtil.h"
#include "Controls.h"
#include "calllog/CallLogRouting.h"
#include "calllog/IdagWindow.h"
#include "calllog/SqlReplyQueue.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"

using namespace davu;

using davu::test::Control;

namespace {

std::string Report() { return SqlPayload({"FRIENDLYNAME|A~", "FRIENDLYNAME|B~"}); }
std::string Today() {
  return SqlPayload({"LOPNR|12~CALLABLESLOPNR|7~FULLNAME|Rum 1~CALLTSTAMP|2024-05-03 08:01:00~CONFIRMTSTAMP|~"});
}

}  // namespace

class SqlReplyQueueTest : public QObject {
  Q_OBJECT

  WindowCase<TfrmDAVUStatistik> world;

  template <typename Window>
  std::unique_ptr<Window> open() {
    auto w = std::make_unique<Window>();
    w->ClientSocket1 = &world.net->socket;
    return w;
  }

 private slots:
  void init() {
    QVERIFY(world.start());
    world.fake->clock->current = QDateTime(QDate(2024, 5, 3), QTime(10, 22, 33));
  }
  void cleanup() {
    davu::calllog::ClearQueue();
    world.stop();
  }

  // "Idag" asks, then the statistics window: the first reply is Idag's
  // although ReplyTarget names the statistics window.
  void repliesFollowTheOrderOfTheQueries() {
    auto stat = open<TfrmDAVUStatistik>();
    auto today = open<IdagWindow>();
    today->show();  // its first query
    stat->BitBtn1Click();
    QCOMPARE(davu::calllog::Waiting(), 2);
    RouteSqlReply(Today());
    RouteSqlReply(Report());
    QCOMPARE(today->calls().calls(), 1);
    QCOMPARE(Control<TSVVirtualTable>(stat, "SVVirtualTable1")->RecordCount(), 2);
    QCOMPARE(Control<QLabel>(stat, "Label3")->text(), QStringLiteral("Antal poster: 2"));
  }

  // A window that closes keeps its place: its reply is dropped and the next
  // one still reaches the window that asked for it.
  void aClosedAskersReplyIsDropped() {
    auto active = std::make_unique<TfrmDAVUActiveCalls>();
    active->ClientSocket1 = &world.net->socket;
    active->FormActivate();
    auto today = open<IdagWindow>();
    today->show();
    Control<QPushButton>(active, "Avbryt")->click();
    RouteSqlReply(SqlPayload({"LOPNR|99~FRIENDLYNAME|Lab~"}));
    QCOMPARE(today->calls().calls(), 0);
    QCOMPARE(Control<TSVVirtualTable>(active, "SVVirtualTable1")->RecordCount(), 0);
    RouteSqlReply(Today());
    QCOMPARE(today->calls().calls(), 1);
    QCOMPARE(davu::calllog::Waiting(), 0);
  }

  // A refused query gets an error reply instead of its rows: it settles
  // that query, and the reply after it goes to the next asker. The
  // statistics window leaves the error to the main window's balloon.
  void anErrorReplyAnswersTheOldestQuery() {
    auto stat = open<TfrmDAVUStatistik>();
    auto today = open<IdagWindow>();
    stat->BitBtn1Click();
    today->show();
    QVERIFY(!RouteErrorReply(QStringLiteral("Servern nekade SQL-satsen: resultatet är för stort")));
    RouteSqlReply(Today());
    QCOMPARE(today->calls().calls(), 1);
    QCOMPARE(Control<TSVVirtualTable>(stat, "SVVirtualTable1")->RecordCount(), 0);
    // No query waits: an error is the main window's alone.
    QVERIFY(!RouteErrorReply(QStringLiteral("något annat")));
  }

  // A confirmation (EXECSQL) is answered only when refused: its error is
  // its own, not the answer of the Idag query sent after it; carried out,
  // it leaves the next rows to the next query.
  void aStatementsErrorIsItsOwn() {
    auto active = std::make_unique<TfrmDAVUActiveCalls>();
    active->ClientSocket1 = &world.net->socket;
    active->FormActivate();
    RouteSqlReply(SqlPayload({"LOPNR|12~FRIENDLYNAME|Lab~"}));
    Control<TSVVirtualTable>(active, "SVVirtualTable1")->setData(Control<TSVVirtualTable>(active, "SVVirtualTable1")->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    world.fake->dialogs->answers = {6};
    auto today = open<IdagWindow>();
    today->show();  // Idag's query went out before the confirmation
    active->BitBtn1Click();  // the confirmation, then the list again
    QCOMPARE(davu::calllog::Waiting(), 3);
    RouteSqlReply(Today());
    QCOMPARE(today->calls().calls(), 1);
    QVERIFY(!RouteErrorReply(QStringLiteral("Servern nekade SQL-satsen: databasfel")));
    QVERIFY(!Control<QLabel>(today, "lblStatus")->text().contains(QStringLiteral("databasfel")));
    RouteSqlReply(SqlPayload({"LOPNR|14~FRIENDLYNAME|Lab~"}));
    QCOMPARE(Control<TSVVirtualTable>(active, "SVVirtualTable1")->value(0, QStringLiteral("LOPNR")), QStringLiteral("14"));

    // Carried out: the statement in front goes with the next reply.
    Control<TSVVirtualTable>(active, "SVVirtualTable1")->setData(Control<TSVVirtualTable>(active, "SVVirtualTable1")->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    world.fake->dialogs->answers = {6};
    active->BitBtn1Click();
    RouteSqlReply(SqlPayload({}));
    QCOMPARE(Control<TSVVirtualTable>(active, "SVVirtualTable1")->RecordCount(), 0);
    QCOMPARE(davu::calllog::Waiting(), 0);
  }

  // The replies of a lost connection never come: the waiting queries fail
  // and the next connection starts with an empty queue.
  void aLostConnectionEmptiesTheQueue() {
    auto today = open<IdagWindow>();
    today->show();
    QVERIFY(today->queryInFlight());
    world.net->socket.close();
    QCOMPARE(davu::calllog::Waiting(), 0);
    QVERIFY(!today->queryInFlight());
    auto stat = open<TfrmDAVUStatistik>();
    RouteSqlReply(Report());  // unasked: the window ReplyTarget names
    QCOMPARE(Control<TSVVirtualTable>(stat, "SVVirtualTable1")->RecordCount(), 2);
  }
};

QTEST_MAIN(SqlReplyQueueTest)
#include "sqlreplyqueue_test.moc"
