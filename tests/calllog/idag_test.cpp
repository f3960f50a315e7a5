// The "Idag" window and its figures against a scripted server: the day read
// once, then only what is new or changed; how replies move the figures; a
// call confirmed between two refreshes; one query at a time; a failed
// refresh; midnight; the refresh setting.
#include <QChartView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "CallLogTestUtil.h"
#include "Controls.h"
#include "calllog/CallLogRouting.h"
#include "calllog/CallLogSql.h"
#include "calllog/IdagWindow.h"
#include "calllog/SqlReplyQueue.h"
#include "calllog/TodayCalls.h"
#include "common/ClientIdentity.h"
#include "common/SettingsStore.h"
#include "protocol/Catalogue.h"

using davu::test::Control;

using namespace davu;


using davu::calllog::TodayCalls;

namespace {

// One call: number, resource number and name, call time, confirmation time.
QString Call(int lopnr, int callable, const QString& name, const QString& called, const QString& confirmed = {}) {
  return QStringLiteral("LOPNR|%1~CALLABLESLOPNR|%2~FULLNAME|%3~CALLTSTAMP|%4~CONFIRMTSTAMP|%5~")
      .arg(lopnr)
      .arg(callable)
      .arg(name, called, confirmed);
}

// 3 May 2024: Rum 1 called at 08:01 (12, confirmed 08:05) and 09:40 (15,
// open); Rum 2 at 08:15 (14, open).
QStringList Morning() {
  return {Call(12, 7, "Rum 1", "2024-05-03 08:01:00", "2024-05-03 08:05:00"),
          Call(14, 8, "Rum 2", "2024-05-03 08:15:00"),
          Call(15, 7, "Rum 1", "2024-05-03 09:40:12")};
}

const QDate kDay(2024, 5, 3);

QStringList RowOf(const QTableView* grid, int row) {
  QStringList out;
  const QAbstractItemModel* m = grid->model();
  for (int c = 0; c < m->columnCount(); ++c) out << m->index(row, c).data().toString();
  return out;
}

}  // namespace

class IdagTest : public QObject, WindowCase<IdagWindow> {
  Q_OBJECT

  std::string queryOf(const QString& sql) { return davu::proto::OpenSql(W(GetClientName()), W(sql)); }

  // The window shown at 10:22:33 on kDay, its first query answered with `rows`.
  std::unique_ptr<IdagWindow> openFilled(const QStringList& rows) {
    fake->clock->current = QDateTime(kDay, QTime(10, 22, 33));
    auto w = openWindow();
    w->show();
    if (net->sent() != queryOf(davu::calllog::TodayQuery(kDay))) return nullptr;
    RouteSqlReply(SqlPayload(rows));
    return w;
  }

 private slots:
  void init() { QVERIFY(start()); }
  void cleanup() {
    davu::calllog::ClearQueue();
    stop();
  }

  // The texts of the queries: the day once, then new calls above the last
  // one seen and the confirmations of the open ones.
  void queryTexts() {
    QCOMPARE(davu::calllog::TodayQuery(kDay),
             QStringLiteral("SELECT CALLLOG.LOPNR, CALLLOG.CALLABLESLOPNR, CALLABLES.FULLNAME, CALLLOG.CALLTSTAMP, "
                            "CALLLOG.CONFIRMTSTAMP FROM CALLABLES, CALLLOG WHERE CALLABLES.LOPNR = "
                            "CALLLOG.CALLABLESLOPNR AND CALLTSTAMP >= #2024-05-03# AND CALLTSTAMP < #2024-05-04#"));
    TodayCalls calls(kDay);
    QCOMPARE(calls.nextQuery(), davu::calllog::TodayQuery(kDay));
    calls.apply(SqlPayload(Morning()), true);
    const QString head = davu::calllog::TodayQuery(kDay).section(QStringLiteral("CALLTSTAMP >="), 0, 0);
    QCOMPARE(calls.nextQuery(),
             head + QStringLiteral("((CALLLOG.LOPNR > 15) OR (NOT CALLLOG.CONFIRMTSTAMP IS NULL AND "
                                   "CALLLOG.LOPNR IN (14, 15)))"));
    // With nothing open only the new calls are asked for.
    TodayCalls quiet(kDay);
    quiet.apply(SqlPayload({Call(20, 7, "Rum 1", "2024-05-03 08:00:00", "2024-05-03 08:01:00")}), true);
    QCOMPARE(quiet.nextQuery(), head + QStringLiteral("((CALLLOG.LOPNR > 20))"));
    // A day without calls has no number to start from: its range is asked
    // again, not the whole call log above number 0.
    TodayCalls empty(kDay);
    empty.apply(SqlPayload({}), true);
    QCOMPARE(empty.nextQuery(), head + QStringLiteral("((CALLTSTAMP >= #2024-05-03# AND CALLTSTAMP < #2024-05-04#))"));
  }

  // Many open calls are asked about a bounded number at a time, so that a
  // refresh costs the same whatever the day holds: the newest every time,
  // the older ones in turn, each of them within a bounded number of
  // refreshes; newer calls and confirmations move the window along.
  void manyOpenCallsAreAskedInTurn() {
    TodayCalls calls(kDay);
    QStringList rows;
    const int open = 500;
    for (int n = 1; n <= open; ++n) rows << Call(n, 7, "Rum 1", "2024-05-03 08:00:00");
    calls.apply(SqlPayload(rows), true);
    auto askedIn = [](const QString& sql) {
      std::set<int> asked;
      const int from = sql.indexOf(QStringLiteral("IN (")), to = sql.indexOf(u')', from);
      if (from < 0) return asked;
      for (const QString& n : sql.mid(from + 4, to - from - 4).split(QStringLiteral(", "))) asked.insert(n.toInt());
      return asked;
    };
    const std::set<int> newest{493, 494, 495, 496, 497, 498, 499, 500};
    const int turns = (open - int(TodayCalls::kNewestAsked) + int(TodayCalls::kInTurnAsked) - 1) /
                      int(TodayCalls::kInTurnAsked);
    std::map<int, int> times;
    for (int r = 0; r < turns; ++r) {
      const std::set<int> asked = askedIn(calls.nextQuery());
      QCOMPARE(asked.size(), TodayCalls::kMostAsked);
      QVERIFY(std::includes(asked.begin(), asked.end(), newest.begin(), newest.end()));
      for (int n : asked) ++times[n];
    }
    QCOMPARE(int(times.size()), open);  // every open call within so many refreshes
    QVERIFY(std::all_of(times.begin(), times.end(), [&](auto t) { return t.second <= (t.first > 492 ? turns : 2); }));
    QCOMPARE(askedIn(calls.nextQuery()), (std::set<int>{5, 6, 7, 8, 9, 10, 11, 12, 493, 494, 495, 496, 497, 498, 499, 500}));

    // Call 501 is new and open, 500 and 14 are confirmed: 501 takes 500's
    // place among the newest, and the turn goes on after 12 without 14.
    calls.apply(SqlPayload({Call(501, 7, "Rum 1", "2024-05-03 10:00:00"),
                            Call(500, 7, "Rum 1", "2024-05-03 08:00:00", "2024-05-03 10:00:00"),
                            Call(14, 7, "Rum 1", "2024-05-03 08:00:00", "2024-05-03 10:00:00")}),
                false);
    QCOMPARE(askedIn(calls.nextQuery()), (std::set<int>{13, 15, 16, 17, 18, 19, 20, 21, 493, 494, 495, 496, 497, 498, 499, 501}));

    // A few open calls are all asked about every time.
    TodayCalls few(kDay);
    few.apply(SqlPayload({Call(3, 7, "Rum 1", "2024-05-03 08:00:00"), Call(4, 7, "Rum 1", "2024-05-03 08:00:00")}), true);
    QCOMPARE(askedIn(few.nextQuery()), (std::set<int>{3, 4}));
    QCOMPARE(askedIn(few.nextQuery()), (std::set<int>{3, 4}));
  }

  // The figures after the first fill and after later replies: a row that
  // comes again changes nothing, rows of another day or without a number
  // are left out.
  void repliesUpdateTheFigures() {
    TodayCalls calls(kDay);
    QVERIFY(calls.apply(SqlPayload(Morning()), true));
    QCOMPARE(calls.calls(), 3);
    QCOMPARE(calls.openCalls(), 2);
    const auto resources = calls.resources();
    QCOMPARE(resources.size(), std::size_t(2));
    QCOMPARE(resources[0]->name, QStringLiteral("Rum 1"));
    QCOMPARE(resources[0]->calls, 2);
    QCOMPARE(resources[0]->confirmed, 1);
    QCOMPARE(resources[0]->medianWait(), 240.0);
    QCOMPARE(resources[1]->unconfirmed(), 1);
    QCOMPARE(calls.hours()[8], 2);
    QCOMPARE(calls.hours()[9], 1);

    QVERIFY(!calls.apply(SqlPayload(Morning()), false));
    QVERIFY(!calls.apply(SqlPayload({Call(30, 7, "Rum 1", "2024-05-02 23:59:59"),
                                     "CALLABLESLOPNR|7~FULLNAME|Rum 1~CALLTSTAMP|2024-05-03 10:00:00~"}),
                         false));
    QCOMPARE(calls.calls(), 3);
    QCOMPARE(calls.lastSeen(), qint64(30));
    QVERIFY(calls.apply(SqlPayload({Call(31, 9, "Lab", "2024-05-03 00:00:00", "2024-05-03 00:02:00")}), false));
    QCOMPARE(calls.total().calls, 4);
    QCOMPARE(calls.total().confirmed, 2);
    QCOMPARE(calls.total().medianWait(), 180.0);
  }

  // A server that sends call after call is not believed past a bound.
  void endlessCallsAreBounded() {
    TodayCalls calls(kDay);
    std::string reply = "\xA4RETSQL:";
    for (std::size_t n = 1; n <= TodayCalls::kMostCalls + 5; ++n)
      reply += "\xA4%LOPNR|" + std::to_string(n) + "~CALLABLESLOPNR|" + std::to_string(n) +
               "~FULLNAME|R~CALLTSTAMP|2024-05-03 08:00:00~CONFIRMTSTAMP|~%\xA4:";
    calls.apply(reply, true);
    QCOMPARE(std::size_t(calls.calls()), TodayCalls::kMostCalls);
    QCOMPARE(calls.lastSeen(), qint64(TodayCalls::kMostCalls + 5));
  }

  // The window: the total on top, a row per resource, the status line.
  void windowShowsTheDay() {
    auto w = openFilled(Morning());
    QVERIFY(w);
    QCOMPARE(Control<QLabel>(w, "lblTotal")->text(), QStringLiteral("Idag 2024-05-03: 3 kallelser, 1 bekräftade, 2 ej bekräftade"));
    QCOMPARE(Control<QTableView>(w, "grdResurser")->model()->rowCount(), 3);
    QCOMPARE(RowOf(Control<QTableView>(w, "grdResurser"), 0), (QStringList{"Totalt", "3", "1", "2", "09:40:12", "4:00"}));
    QCOMPARE(RowOf(Control<QTableView>(w, "grdResurser"), 1), (QStringList{"Rum 1", "2", "1", "1", "09:40:12", "4:00"}));
    QCOMPARE(RowOf(Control<QTableView>(w, "grdResurser"), 2), (QStringList{"Rum 2", "1", "0", "1", "08:15:00", ""}));
    QCOMPARE(Control<QLabel>(w, "lblStatus")->text(), QStringLiteral("Senast uppdaterad 10:22:33"));
    QVERIFY(Control<QChartView>(w, "chTimmar")->chart());
    QCOMPARE(w->RefreshTimer->interval(), 10000);
    QVERIFY(w->RefreshTimer->isActive());
  }

  // Between two refreshes call 14 is confirmed and call 16 is made: the
  // next refresh asks for exactly that and the figures follow.
  void callConfirmedBetweenRefreshes() {
    auto w = openFilled(Morning());
    QVERIFY(w);
    fake->clock->current = QDateTime(kDay, QTime(10, 22, 43));
    w->RefreshTimerTimer();
    const std::string sent = net->sent();
    QVERIFY(sent.find("CALLLOG.LOPNR > 15)") != std::string::npos);
    QVERIFY(sent.find("CALLLOG.LOPNR IN (14, 15)") != std::string::npos);
    RouteSqlReply(SqlPayload({Call(14, 8, "Rum 2", "2024-05-03 08:15:00", "2024-05-03 08:25:00"),
                              Call(16, 8, "Rum 2", "2024-05-03 10:22:40")}));
    QCOMPARE(RowOf(Control<QTableView>(w, "grdResurser"), 2), (QStringList{"Rum 2", "2", "1", "1", "10:22:40", "10:00"}));
    QCOMPARE(RowOf(Control<QTableView>(w, "grdResurser"), 0).mid(1, 3), (QStringList{"4", "2", "2"}));
    QCOMPARE(Control<QLabel>(w, "lblStatus")->text(), QStringLiteral("Senast uppdaterad 10:22:43"));
    w->RefreshTimerTimer();
    QVERIFY(net->sent().find("CALLLOG.LOPNR > 16)") != std::string::npos);
  }

  // A tick while a query is on its way sends nothing; pausing stops the
  // ticks and "Fortsätt" refreshes at once.
  void oneQueryAtATimeAndPause() {
    auto w = openFilled(Morning());
    QVERIFY(w);
    w->RefreshTimerTimer();
    QVERIFY(!net->sent().empty());
    w->RefreshTimerTimer();
    w->RefreshTimerTimer();
    QCOMPARE(net->sent(), std::string());
    QCOMPARE(davu::calllog::Waiting(), 1);
    RouteSqlReply(SqlPayload({}));
    Control<QPushButton>(w, "btnPaus")->click();
    QVERIFY(!w->RefreshTimer->isActive());
    QCOMPARE(Control<QPushButton>(w, "btnPaus")->text(), QStringLiteral("Fortsätt"));
    QCOMPARE(Control<QLabel>(w, "lblStatus")->text(), QStringLiteral("Senast uppdaterad 10:22:33 (pausad)"));
    w->RefreshTimerTimer();
    QCOMPARE(net->sent(), std::string());
    Control<QPushButton>(w, "btnPaus")->click();
    QVERIFY(w->RefreshTimer->isActive());
    QVERIFY(!net->sent().empty());
  }

  // A refused refresh shows why and the next tick asks again; so does one
  // that finds no connection.
  void failedRefreshShowsWhyAndTriesAgain() {
    auto w = openFilled(Morning());
    QVERIFY(w);
    fake->clock->current = QDateTime(kDay, QTime(10, 22, 43));
    w->RefreshTimerTimer();
    const std::string query = net->sent();
    QVERIFY(RouteErrorReply(QStringLiteral("Servern nekade SQL-satsen: frågan tog för lång tid.")));
    QCOMPARE(Control<QLabel>(w, "lblStatus")->text(), QStringLiteral("Uppdateringen 10:22:43 misslyckades: Servern nekade "
                                                  "SQL-satsen: frågan tog för lång tid. Nytt försök om 10 s."));
    QVERIFY(!w->queryInFlight());
    w->RefreshTimerTimer();
    QCOMPARE(net->sent(), query);

    net->socket.close();
    QVERIFY(Control<QLabel>(w, "lblStatus")->text().contains(QStringLiteral("anslutningen till servern bröts.")));
    w->RefreshTimerTimer();
    QVERIFY(Control<QLabel>(w, "lblStatus")->text().contains(QStringLiteral("misslyckades: ej ansluten till servern.")));
    QCOMPARE(w->calls().calls(), 3);  // the figures stay
  }

  // Past midnight the view starts the new day and reads it whole; the
  // reply to a query of the old day changes nothing.
  void midnightStartsTheNewDay() {
    auto w = openFilled(Morning());
    QVERIFY(w);
    fake->clock->current = QDateTime(kDay, QTime(23, 59, 58));
    w->RefreshTimerTimer();
    QVERIFY(!net->sent().empty());
    fake->clock->current = QDateTime(kDay.addDays(1), QTime(0, 0, 8));
    w->RefreshTimerTimer();  // the old day's query is still on its way
    QCOMPARE(w->calls().day(), kDay.addDays(1));
    QCOMPARE(Control<QLabel>(w, "lblTotal")->text(), QStringLiteral("Idag 2024-05-04: 0 kallelser, 0 bekräftade, 0 ej bekräftade"));
    RouteSqlReply(SqlPayload({Call(17, 7, "Rum 1", "2024-05-03 23:59:59")}));
    QCOMPARE(w->calls().calls(), 0);
    w->RefreshTimerTimer();
    QCOMPARE(net->sent(), queryOf(davu::calllog::TodayQuery(kDay.addDays(1))));
    RouteSqlReply(SqlPayload({Call(18, 7, "Rum 1", "2024-05-04 00:00:01")}));
    QCOMPARE(Control<QTableView>(w, "grdResurser")->model()->rowCount(), 2);
    QCOMPARE(w->calls().calls(), 1);
  }

  // Switched to another server while paused: the old figures go, nothing is
  // asked until "Fortsätt", which reads the new server's day whole.
  void serverSwitchedWhilePaused() {
    auto w = openFilled(Morning());
    QVERIFY(w);
    Control<QPushButton>(w, "btnPaus")->click();
    w->ServerSwitched();
    QCOMPARE(w->calls().calls(), 0);
    QCOMPARE(Control<QLabel>(w, "lblStatus")->text(),
             QStringLiteral("Ny server: dagens kallelser hämtas när du fortsätter (pausad)"));
    w->ConnectionReady();
    QCOMPARE(net->sent(), std::string());
    Control<QPushButton>(w, "btnPaus")->click();
    QCOMPARE(net->sent(), queryOf(davu::calllog::TodayQuery(kDay)));
  }

  // The refresh interval: a per-user setting of 2 to 300 seconds.
  void refreshSetting_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("seconds");
    QTest::newRow("missing") << QString() << 10;
    QTest::newRow("not a number") << "tio" << 10;
    QTest::newRow("below") << "1" << 2;
    QTest::newRow("above") << "301" << 300;
    QTest::newRow("kept") << "45" << 45;
  }
  void refreshSetting() {
    QFETCH(QString, stored);
    QFETCH(int, seconds);
    if (!stored.isNull()) WriteUserSetting("Idag", "UppdateringSekunder", stored);
    auto w = openWindow();
    QCOMPARE(w->seIntervall->value(), seconds);
    QCOMPARE(w->RefreshTimer->interval(), seconds * 1000);
    w->seIntervall->setValue(5);
    QCOMPARE(ReadUserSetting("Idag", "UppdateringSekunder"), QStringLiteral("5"));
    QCOMPARE(w->RefreshTimer->interval(), 5000);
  }
};

QTEST_MAIN(IdagTest)
#include "idag_test.moc"
