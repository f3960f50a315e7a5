#include "DemoData.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "RegisterStore.h"

namespace davu::server {

namespace {

std::int64_t Rgb(int r, int g, int b) { return r + g * 256 + b * 65536; }

struct DemoCallable {
  const char* name;
  const char* fullName;
  std::int64_t colour;
  const char* mobile;  // SMS is sent when not empty
  bool active;
};

struct DemoStation {
  const char* name;
  const char* place;
  int type;  // 0 call, 1 show
  std::int64_t color;
  std::vector<int> callables;  // indexes into the resource table, in order
};

std::string Stamp(const QDateTime& t) {
  return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

}  // namespace

bool FillDemoData(Database& db, const QDateTime& now) {
  {
    Statement s(db.handle(),
                "SELECT (SELECT COUNT(*) FROM CALLABLES) + (SELECT COUNT(*) FROM STATIONS) +"
                " (SELECT COUNT(*) FROM CALLLOG)");
    s.step();
    if (s.integer(0) != 0) return false;
  }

  const std::vector<DemoCallable> callables = {
      {"L1", "Dr Anna Lindqvist, rum 1", Rgb(198, 224, 255), "", true},
      {"L2", "Dr Erik Sjöberg, rum 2", Rgb(204, 255, 204), "", true},
      {"L3", "Dr Maria Håkansson, rum 3", Rgb(255, 236, 179), "", true},
      {"SSK1", "Sjuksköterska Karin Ek, rum 5", Rgb(255, 204, 229), "070-123 45 67", true},
      {"SSK2", "Sjuksköterska Jonas Berg, rum 6", Rgb(229, 204, 255), "", true},
      {"LAB", "Provtagning, lab", Rgb(255, 255, 153), "", true},
      {"RTG", "Röntgen, plan 2", Rgb(0, 64, 128), "073-555 12 34", true},
      {"FYS", "Fysioterapeut Lena Åström", Rgb(178, 235, 242), "", true},
      {"KUR", "Kurator Per Öberg", Rgb(215, 215, 215), "", false},
      {"BVC", "Barnavårdscentralen, rum 12", Rgb(255, 218, 185), "076-987 65 43", true},
      {"VAC", "Vaccination, rum 8", Rgb(200, 230, 201), "", true},
      {"AKUT", "Akutrummet", Rgb(178, 34, 34), "", false},
  };
  const std::vector<DemoStation> stations = {
      {"RECEPTION-PC", "Receptionen", 0, Rgb(255, 255, 255), {0, 1, 2, 5}},
      {"LAKEXP-PC", "Läkarexpeditionen", 0, Rgb(230, 240, 255), {0, 1, 2}},
      {"SSKEXP-PC", "Sköterskeexpeditionen", 0, Rgb(255, 240, 245), {3, 4, 10, 9}},
      {"LAB-PC", "Labbet", 0, Rgb(255, 255, 224), {5, 6}},
      {"SKARM-VANTRUM", "Väntrummet, skärm", 1, Rgb(32, 32, 32), {0, 1, 2, 3, 4, 5, 7}},
      {"SKARM-ENTRE", "Entrén, skärm", 1, Rgb(0, 51, 102), {9, 10, 6}},
  };

  Transaction t(db);
  std::vector<std::int64_t> callableLopnr;
  {
    Statement ins(db.handle(),
                  "INSERT INTO CALLABLES (NAME, FULLNAME, COLOUR, SENDSMS, MOBILNUMMER, ACTIVE)"
                  " VALUES (?, ?, ?, ?, ?, ?)");
    for (const auto& c : callables) {
      ins.reset();
      bool sms = *c.mobile != '\0';
      ins.bind(1, c.name).bind(2, c.fullName).bind(3, c.colour).bind(4, std::int64_t{sms});
      ins.bind(5, c.mobile).bind(6, std::int64_t{c.active}).run();
      callableLopnr.push_back(db.lastInsertId());
    }
  }
  std::vector<std::int64_t> stationLopnr;
  {
    Statement ins(db.handle(),
                  "INSERT INTO STATIONS (NAME, FRIENDLYNAME, COLOR, CLIENTTYPE) VALUES (?, ?, ?, ?)");
    Statement sc(db.handle(),
                 "INSERT INTO STATIONCALLABLES (STATIONSLOPNR, CALLABLESLOPNR, POSITION)"
                 " VALUES (?, ?, ?)");
    for (const auto& s : stations) {
      ins.reset();
      ins.bind(1, s.name).bind(2, s.place).bind(3, s.color).bind(4, std::int64_t{s.type}).run();
      std::int64_t lopnr = db.lastInsertId();
      stationLopnr.push_back(lopnr);
      for (std::size_t i = 0; i < s.callables.size(); ++i) {
        sc.reset();
        sc.bind(1, lopnr)
            .bind(2, callableLopnr[static_cast<std::size_t>(s.callables[i])])
            .bind(3, static_cast<std::int64_t>(i))
            .run();
      }
    }
  }
  {
    Statement sms(db.handle(),
                  "INSERT OR REPLACE INTO SMSSETTINGS (ID, USERNAME, PASSWORD, KUNDNR)"
                  " VALUES (1, 'bjorkdal', 'sommar24', '104233')");
    sms.run();
  }
  if (db.meta("KLINIKNAMN").empty()) db.setMeta("KLINIKNAMN", "Vårdcentralen Björkdalen");

  // Calls: weekdays of the last three months and today, from the call clients.
  std::mt19937 rng(static_cast<unsigned>(now.date().toJulianDay()));
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Statement call(db.handle(),
                 "INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, COMINGTSTAMP,"
                 " CONFIRMTSTAMP, SMSSENT) VALUES (?, ?, ?, ?, ?, ?)");
  auto addCall = [&](const QDateTime& at, bool today, bool last) {
    // Only call clients make calls, each to one of its own active resources.
    std::size_t si = static_cast<std::size_t>(uniform(0, 3));
    const auto& st = stations[si];
    int ci = st.callables[static_cast<std::size_t>(uniform(0, static_cast<int>(st.callables.size()) - 1))];
    const auto& c = callables[static_cast<std::size_t>(ci)];
    call.reset();
    call.bind(1, stationLopnr[si]).bind(2, callableLopnr[static_cast<std::size_t>(ci)]);
    call.bind(3, Stamp(at));
    int outcome = uniform(0, 99);
    // Older calls are nearly all confirmed; today's last ones are still open.
    bool onTheWay = today && last ? outcome < 50 : outcome < 97;
    bool confirmed = today && last ? false : outcome < (today ? 85 : 94);
    QDateTime coming = at.addSecs(uniform(20, 180));
    QDateTime confirm = coming.addSecs(uniform(60, 600));
    if (onTheWay && coming <= now) call.bind(4, Stamp(coming));
    else call.bindNull(4);
    if (confirmed && onTheWay && confirm <= now) call.bind(5, Stamp(confirm));
    else call.bindNull(5);
    call.bind(6, std::int64_t{*c.mobile != '\0' && uniform(0, 9) > 0});
    call.run();
  };

  const QDate today = now.date();
  for (QDate d = today.addMonths(-3); d < today; d = d.addDays(1)) {
    if (d.dayOfWeek() > 5) continue;
    int count = uniform(25, 45);
    std::vector<int> seconds;
    for (int i = 0; i < count; ++i) seconds.push_back(uniform(8 * 3600, 16 * 3600 + 1800));
    std::sort(seconds.begin(), seconds.end());
    for (int s : seconds) addCall(QDateTime(d, QTime(0, 0).addSecs(s)), false, false);
  }
  // Today: from 08:00 (or the last two hours, early in the day) up to now.
  QDateTime from(today, QTime(8, 0));
  if (now < from.addSecs(3600)) from = std::max(QDateTime(today, QTime(0, 0)), now.addSecs(-7200));
  qint64 span = std::max<qint64>(from.secsTo(now), 60);
  int count = 18;
  for (int i = 0; i < count; ++i) {
    QDateTime at = from.addSecs(span * i / count + uniform(0, static_cast<int>(span / count / 2)));
    if (at > now) at = now;
    addCall(at, true, i >= count - 6);
  }
  t.commit();
  return true;
}

}  // namespace davu::server
