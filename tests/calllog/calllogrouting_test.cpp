// Where RETSQL and list replies go: by ReplyTarget, to a window that exists.
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <stdexcept>

#include "CallLogTestUtil.h"
#include "Controls.h"
#include "FakePlatform.h"
#include "calllog/CallLogRouting.h"
#include "calllog/SqlReplyQueue.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"

using namespace davu;

using davu::test::Control;

namespace {
// An asker that notes what reaches it.
struct NotingAsker : davu::calllog::SqlAsker {
  std::vector<std::string> arriving;
  std::vector<std::string> arrived;
  void SqlReplyArrived(std::string_view payload) override { arrived.emplace_back(payload); }
  bool SqlReplyFailed(const QString&) override { return false; }
  void SqlReplyArriving(std::uint64_t, std::string_view soFar) override { arriving.emplace_back(soFar); }
};
}  // namespace

class CallLogRoutingTest : public QObject {
  Q_OBJECT

  std::unique_ptr<FakePlatform> fake;

 private slots:
  void init() {
    ResetSharedState();
    fake = std::make_unique<FakePlatform>();
  }
  void cleanup() {
    fake.reset();
    ResetSharedState();
  }

  void repliesGoWhereReplyTargetPoints_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("statisticsRows");
    QTest::addColumn<int>("activeRows");
    QTest::addColumn<int>("statisticsItems");
    QTest::newRow("none") << int(rtNone) << 0 << 0 << 0;
    QTest::newRow("statistics") << int(rtStatistics) << 2 << 0 << 1;
    QTest::newRow("active calls") << int(rtActiveCalls) << 0 << 2 << 0;
    QTest::newRow("unknown") << int(rtActiveCalls) + 1 << 0 << 0 << 0;
  }
  void repliesGoWhereReplyTargetPoints() {
    QFETCH(int, target);
    QFETCH(int, statisticsRows);
    QFETCH(int, activeRows);
    QFETCH(int, statisticsItems);
    TfrmDAVUStatistik statistics;
    TfrmDAVUActiveCalls active;
    ReplyTarget = target;
    RouteSqlReply(SqlPayload({"FULLNAME|Rum 1~", "FULLNAME|Rum 2~"}));
    RouteStatisticsCallables(W(QStringLiteral("¤RETALLCALLABLES:R1:7:Rum ett:0:0::T:")));
    QCOMPARE(StatisticsTakesLists(), target == rtStatistics);
    QCOMPARE(Control<TSVVirtualTable>(&statistics, "SVVirtualTable1")->RecordCount(), statisticsRows);
    QCOMPARE(Control<TSVVirtualTable>(&active, "SVVirtualTable1")->RecordCount(), activeRows);
    QCOMPARE(Control<QListWidget>(&statistics, "CheckListBox1")->count(), statisticsItems);
  }

  // A reply still arriving goes where the finished reply will go: to the
  // oldest waiting query's asker, not to the window ReplyTarget names.
  void arrivingReplyGoesToTheOldestQuery() {
    TfrmDAVUStatistik statistics;
    ReplyTarget = rtStatistics;
    ClientSocket socket;
    NotingAsker idag;
    davu::calllog::ExpectStatement(&socket);  // a confirmation in front answers nothing
    davu::calllog::Expect(&socket, &idag);
    davu::calllog::Expect(&socket, &statistics);
    const std::string payload = SqlPayload({"FULLNAME|Rum 1~", "FULLNAME|Rum 2~"});
    const std::string_view soFar = std::string_view(payload).substr(0, payload.size() / 2);
    RouteSqlReplyArriving(1, soFar);
    QCOMPARE(idag.arriving, std::vector<std::string>{std::string(soFar)});
    RouteSqlReply(payload);
    QCOMPARE(idag.arrived, std::vector<std::string>{payload});
    QCOMPARE(Control<TSVVirtualTable>(&statistics, "SVVirtualTable1")->RecordCount(), 0);
    // The next reply is the statistics window's own.
    RouteSqlReplyArriving(2, soFar);
    QCOMPARE(idag.arriving.size(), std::size_t(1));
    RouteSqlReply(payload);
    QCOMPARE(Control<TSVVirtualTable>(&statistics, "SVVirtualTable1")->RecordCount(), 2);
    davu::calllog::ClearQueue();
  }

  void missingColumnKeepsEarlierRowsAndCount() {
    TfrmDAVUActiveCalls active;
    QSignalSpy reset(Control<TSVVirtualTable>(&active, "SVVirtualTable1"), &QAbstractItemModel::modelReset);
    try {
      RouteSqlReply(SqlPayload({"LOPNR|1~", "LOPNR|2~", "LOPNR|3~BOGUS|x~"}));
      QFAIL("a missing column must be reported");
    } catch (const std::runtime_error& e) {
      QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("BOGUS")));
    }
    QCOMPARE(reset.count(), 1);
    QCOMPARE(Control<TSVVirtualTable>(&active, "SVVirtualTable1")->RecordCount(), 2);
    QCOMPARE(Control<QLabel>(&active, "Label3")->text(), QStringLiteral("Antal poster: 2"));
  }
};

QTEST_MAIN(CallLogRoutingTest)
#include "calllogrouting_test.moc"
