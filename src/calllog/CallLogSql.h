#pragma once
// The SQL texts of the call-log windows. Dates are written as "#yyyy-MM-dd#"
// and moments as "#yyyy-MM-dd HH:mm:ss#" (the date alone at midnight), in the
// program's text formats; the server reads them in that form.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <vector>

namespace davu::calllog {

// The columns of the two windows' result tables.
inline constexpr const char* kActiveCallsTableSql =
    "SELECT Radera, FRIENDLYNAME, LOPNR, FULLNAME, CALLTSTAMP, COMINGTSTAMP, SMSSENT "
    "FROM STATIONS, CALLABLES, CALLLOG";
inline constexpr const char* kStatisticsTableSql =
    "SELECT FRIENDLYNAME, FULLNAME, CALLTSTAMP, CONFIRMTSTAMP, SMSSENT "
    "FROM STATIONS, CALLABLES, CALLLOG";

// Today's unconfirmed calls, from midnight to midnight, earliest first.
QString ActiveCallsQuery(const QDate& today);

// Stamps the calls `lopnrs` (in the given order) as confirmed at `now`.
// `lopnrs` must not be empty.
QString ConfirmCallsStatement(const QDateTime& now, const std::vector<int>& lopnrs);

// The report over the days `from` to `to` (both included), restricted to the
// given clients and resources when the lists are not empty.
QString StatisticsQuery(const std::vector<int>& stationLopnrs,
                        const std::vector<int>& callableLopnrs, const QDate& from,
                        const QDate& to, bool confirmedOnly);

// "Idag": every call of `day` with its resource, call and confirmation
// time. Only plain SQL that any server of the call log answers.
QString TodayQuery(const QDate& day);
// What changed since the last refresh: the calls numbered above `lastSeen`
// (the calls of `day` while `lastSeen` is 0), and those of `open` (calls
// still unconfirmed when last seen) that have been confirmed since. The same
// columns as TodayQuery.
QString TodayChangesQuery(const QDate& day, qint64 lastSeen, const std::vector<qint64>& open);

}  // namespace davu::calllog
