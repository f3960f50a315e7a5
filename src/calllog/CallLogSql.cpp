#include "calllog/CallLogSql.h"

#include "common/TextFormats.h"

namespace davu::calllog {
namespace {

constexpr auto kOrderBy = " ORDER BY CALLTSTAMP, STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME";

// " AND ( X = 3 OR  X = 5)": each number as " X = n OR ", the last " OR "
// taken off again.
QString Restriction(const char* column, const std::vector<int>& lopnrs) {
  if (lopnrs.empty()) return {};
  QString sql = QStringLiteral(" AND (");
  for (int n : lopnrs) sql += QLatin1String(column) + QString::number(n) + QLatin1String(" OR ");
  sql.chop(4);
  sql += u')';
  return sql;
}

}  // namespace

QString ActiveCallsQuery(const QDate& today) {
  QString sql = QStringLiteral(
      "SELECT STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME, CALLLOG.LOPNR, CALLLOG.CALLTSTAMP, "
      "CALLLOG.COMINGTSTAMP, CALLLOG.SMSSENT FROM STATIONS, CALLABLES, CALLLOG WHERE "
      "STATIONS.LOPNR = CALLLOG.STATIONSLOPNR AND CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR AND "
      "CALLLOG.CONFIRMTSTAMP IS NULL ");
  sql += QLatin1String(" AND CALLTSTAMP >= ") + davu::textformats::SqlDateLiteral(today) +
         QLatin1String(" AND CALLTSTAMP < ") + davu::textformats::SqlDateLiteral(today.addDays(1)) +
         QLatin1String(" ");
  sql += QLatin1String(kOrderBy);
  return sql;
}

QString ConfirmCallsStatement(const QDateTime& now, const std::vector<int>& lopnrs) {
  QString sql = QLatin1String("UPDATE CALLLOG SET CONFIRMTSTAMP = ") +
                davu::textformats::SqlDateTimeLiteral(now) + QLatin1String(" WHERE ") +
                QLatin1String(" (");
  for (int n : lopnrs) sql += QLatin1String(" LOPNR = ") + QString::number(n) + QLatin1String(" OR ");
  sql.chop(3);  // "OR "; the blank in front of it stays before ")"
  sql += u')';
  return sql;
}

QString StatisticsQuery(const std::vector<int>& stationLopnrs,
                        const std::vector<int>& callableLopnrs, const QDate& from,
                        const QDate& to, bool confirmedOnly) {
  QString sql = QStringLiteral(
      "SELECT STATIONS.FRIENDLYNAME, CALLABLES.FULLNAME, CALLLOG.CALLTSTAMP, "
      "CALLLOG.CONFIRMTSTAMP, CALLLOG.SMSSENT FROM STATIONS, CALLABLES, CALLLOG WHERE "
      "STATIONS.LOPNR = CALLLOG.STATIONSLOPNR AND CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR");
  sql += Restriction(" STATIONS.LOPNR = ", stationLopnrs);
  sql += Restriction(" CALLABLES.LOPNR = ", callableLopnrs);
  sql += QLatin1String(" AND CALLTSTAMP >= ") + davu::textformats::SqlDateLiteral(from) +
         QLatin1String(" AND CALLTSTAMP < ") + davu::textformats::SqlDateLiteral(to.addDays(1)) +
         QLatin1String(" ");
  if (confirmedOnly) sql += QLatin1String(" AND NOT CONFIRMTSTAMP IS NULL");
  sql += QLatin1String(kOrderBy);
  return sql;
}

namespace {

constexpr auto kTodaySelect =
    "SELECT CALLLOG.LOPNR, CALLLOG.CALLABLESLOPNR, CALLABLES.FULLNAME, CALLLOG.CALLTSTAMP, "
    "CALLLOG.CONFIRMTSTAMP FROM CALLABLES, CALLLOG WHERE CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR AND ";

QString DayRange(const QDate& day) {
  return QLatin1String("CALLTSTAMP >= ") + davu::textformats::SqlDateLiteral(day) +
         QLatin1String(" AND CALLTSTAMP < ") + davu::textformats::SqlDateLiteral(day.addDays(1));
}

}  // namespace

QString TodayQuery(const QDate& day) { return QLatin1String(kTodaySelect) + DayRange(day); }

QString TodayChangesQuery(const QDate& day, qint64 lastSeen, const std::vector<qint64>& open) {
  // Each branch is found by the call log's key alone, so a refresh costs the
  // server what the new and the confirmed calls cost, not the whole day: a
  // time range beside the number would let the server walk the day's calls
  // by their time instead. New calls are today's; one of another day is
  // left out by the window. Before the first call of the day is seen there
  // is no number to start from, and the day's range (still empty) is asked.
  QString sql = QLatin1String(kTodaySelect) + QLatin1String("((");
  if (lastSeen > 0) {
    sql += QLatin1String("CALLLOG.LOPNR > ") + QString::number(lastSeen);
  } else {
    sql += DayRange(day);
  }
  sql += u')';
  if (!open.empty()) {
    sql += QLatin1String(" OR (NOT CALLLOG.CONFIRMTSTAMP IS NULL AND CALLLOG.LOPNR IN (");
    for (qint64 n : open) sql += QString::number(n) + QLatin1String(", ");
    sql.chop(2);
    sql += QLatin1String("))");
  }
  sql += u')';
  return sql;
}

}  // namespace davu::calllog
