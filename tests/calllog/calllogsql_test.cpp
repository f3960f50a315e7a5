// The SQL texts of the call-log windows, byte for byte.
#include <QtTest>
#include <vector>

#include "calllog/CallLogSql.h"

using IntList = std::vector<int>;
Q_DECLARE_METATYPE(IntList)

namespace {
const QString kActiveHead = QStringLiteral(
    "SELECT STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME, CALLLOG.LOPNR, CALLLOG.CALLTSTAMP, "
    "CALLLOG.COMINGTSTAMP, CALLLOG.SMSSENT FROM STATIONS, CALLABLES, CALLLOG WHERE "
    "STATIONS.LOPNR = CALLLOG.STATIONSLOPNR AND CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR AND "
    "CALLLOG.CONFIRMTSTAMP IS NULL ");
const QString kStatisticsHead = QStringLiteral(
    "SELECT STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME, CALLLOG.CALLTSTAMP, CALLLOG.CONFIRMTSTAMP, "
    "CALLLOG.SMSSENT FROM STATIONS, CALLABLES, CALLLOG WHERE STATIONS.LOPNR = CALLLOG.STATIONSLOPNR "
    "AND CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR");
const QString kOrder = QStringLiteral(" ORDER BY CALLTSTAMP, STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME");
}  // namespace

class CallLogSqlTest : public QObject {
  Q_OBJECT

 private slots:
  void activeCallsCoverToday_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("tail");
    QTest::newRow("2024-05-03") << QDate(2024, 5, 3)
                                << " AND CALLTSTAMP >= #2024-05-03# AND CALLTSTAMP < #2024-05-04# ";
    QTest::newRow("new year") << QDate(2024, 12, 31)
                              << " AND CALLTSTAMP >= #2024-12-31# AND CALLTSTAMP < #2025-01-01# ";
    QTest::newRow("leap day") << QDate(2024, 2, 28)
                              << " AND CALLTSTAMP >= #2024-02-28# AND CALLTSTAMP < #2024-02-29# ";
  }
  void activeCallsCoverToday() {
    QFETCH(QDate, today);
    QFETCH(QString, tail);
    QCOMPARE(davu::calllog::ActiveCallsQuery(today), kActiveHead + tail + kOrder);
  }

  void confirmStatement_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<IntList>("lopnrs");
    QTest::addColumn<QString>("sql");
    QTest::newRow("two calls") << QDateTime(QDate(2024, 5, 3), QTime(10, 22, 33)) << IntList{12, 15}
                               << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 10:22:33# WHERE  ( LOPNR = 12 OR  LOPNR = 15 )";
    QTest::newRow("one call") << QDateTime(QDate(2024, 5, 3), QTime(9, 5, 7)) << IntList{7}
                              << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 09:05:07# WHERE  ( LOPNR = 7 )";
    QTest::newRow("midnight leaves out the time") << QDateTime(QDate(2024, 5, 4), QTime(0, 0)) << IntList{3}
                                                  << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-04# WHERE  ( LOPNR = 3 )";
    QTest::newRow("a second after midnight") << QDateTime(QDate(2024, 5, 4), QTime(0, 0, 1)) << IntList{3}
                                             << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-04 00:00:01# WHERE  ( LOPNR = 3 )";
  }
  void confirmStatement() {
    QFETCH(QDateTime, now);
    QFETCH(IntList, lopnrs);
    QFETCH(QString, sql);
    QCOMPARE(davu::calllog::ConfirmCallsStatement(now, lopnrs), sql);
  }

  void statisticsQuery_data() {
    QTest::addColumn<IntList>("stations");
    QTest::addColumn<IntList>("callables");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("tail");
    QTest::newRow("two clients, one resource, confirmed")
        << IntList{3, 5} << IntList{7} << QDate(2024, 5, 1) << QDate(2024, 5, 31) << true
        << " AND ( STATIONS.LOPNR = 3 OR  STATIONS.LOPNR = 5) AND ( CALLABLES.LOPNR = 7) AND CALLTSTAMP >= #2024-05-01# AND CALLTSTAMP < #2024-06-01#  AND NOT CONFIRMTSTAMP IS NULL";
    QTest::newRow("nothing ticked") << IntList{} << IntList{} << QDate(2024, 2, 1) << QDate(2024, 2, 29) << false
                                    << " AND CALLTSTAMP >= #2024-02-01# AND CALLTSTAMP < #2024-03-01# ";
    QTest::newRow("one client") << IntList{4} << IntList{} << QDate(2024, 5, 31) << QDate(2024, 5, 31) << false
                                << " AND ( STATIONS.LOPNR = 4) AND CALLTSTAMP >= #2024-05-31# AND CALLTSTAMP < #2024-06-01# ";
    QTest::newRow("resources only") << IntList{} << IntList{1, 2, 30} << QDate(2024, 12, 1) << QDate(2024, 12, 31) << false
                                    << " AND ( CALLABLES.LOPNR = 1 OR  CALLABLES.LOPNR = 2 OR  CALLABLES.LOPNR = 30) AND CALLTSTAMP >= #2024-12-01# AND CALLTSTAMP < #2025-01-01# ";
  }
  void statisticsQuery() {
    QFETCH(IntList, stations);
    QFETCH(IntList, callables);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(bool, confirmed);
    QFETCH(QString, tail);
    QCOMPARE(davu::calllog::StatisticsQuery(stations, callables, from, to, confirmed), kStatisticsHead + tail + kOrder);
  }
};

QTEST_GUILESS_MAIN(CallLogSqlTest)
#include "calllogsql_test.moc"
