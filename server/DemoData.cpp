#include "server/DemoData.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "server/RegisterStore.h"

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

const std::vector<DemoCallable>& Callables() {
  static const std::vector<DemoCallable> callables = {
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
  return callables;
}

const std::vector<DemoStation>& Stations() {
  static const std::vector<DemoStation> stations = {
      {"RECEPTION-PC", "Receptionen", 0, Rgb(255, 255, 255), {0, 1, 2, 5}},
      {"LAKEXP-PC", "Läkarexpeditionen", 0, Rgb(230, 240, 255), {0, 1, 2}},
      {"SSKEXP-PC", "Sköterskeexpeditionen", 0, Rgb(255, 240, 245), {3, 4, 10, 9}},
      {"LAB-PC", "Labbet", 0, Rgb(255, 255, 224), {5, 6}},
      {"SKARM-VANTRUM", "Väntrummet, skärm", 1, Rgb(32, 32, 32), {0, 1, 2, 3, 4, 5, 7}},
      {"SKARM-ENTRE", "Entrén, skärm", 1, Rgb(0, 51, 102), {9, 10, 6}},
  };
  return stations;
}

bool HoldsData(Database& db) {
  Statement s(db.handle(),
              "SELECT (SELECT COUNT(*) FROM CALLABLES) + (SELECT COUNT(*) FROM STATIONS) +"
              " (SELECT COUNT(*) FROM CALLLOG)");
  s.step();
  return s.integer(0) != 0;
}

// The resources' numbers, in the order of Callables().
std::vector<std::int64_t> InsertCallables(Database& db) {
  std::vector<std::int64_t> lopnrs;
  Statement ins(db.handle(),
                "INSERT INTO CALLABLES (NAME, FULLNAME, COLOUR, SENDSMS, MOBILNUMMER, ACTIVE)"
                " VALUES (?, ?, ?, ?, ?, ?)");
  for (const auto& c : Callables()) {
    ins.reset();
    bool sms = *c.mobile != '\0';
    ins.bind(1, c.name).bind(2, c.fullName).bind(3, c.colour).bind(4, std::int64_t{sms});
    ins.bind(5, c.mobile).bind(6, std::int64_t{c.active}).run();
    lopnrs.push_back(db.lastInsertId());
  }
  return lopnrs;
}

// The clients with their resources; their numbers, in the order of Stations().
std::vector<std::int64_t> InsertStations(Database& db, const std::vector<std::int64_t>& callableLopnr) {
  std::vector<std::int64_t> lopnrs;
  Statement ins(db.handle(), "INSERT INTO STATIONS (NAME, FRIENDLYNAME, COLOR, CLIENTTYPE) VALUES (?, ?, ?, ?)");
  Statement sc(db.handle(),
               "INSERT INTO STATIONCALLABLES (STATIONSLOPNR, CALLABLESLOPNR, POSITION)"
               " VALUES (?, ?, ?)");
  for (const auto& s : Stations()) {
    ins.reset();
    ins.bind(1, s.name).bind(2, s.place).bind(3, s.color).bind(4, std::int64_t{s.type}).run();
    std::int64_t lopnr = db.lastInsertId();
    lopnrs.push_back(lopnr);
    for (std::size_t i = 0; i < s.callables.size(); ++i) {
      sc.reset();
      sc.bind(1, lopnr)
          .bind(2, callableLopnr[static_cast<std::size_t>(s.callables[i])])
          .bind(3, static_cast<std::int64_t>(i))
          .run();
    }
  }
  return lopnrs;
}

void InsertClinic(Database& db) {
  Statement sms(db.handle(),
                "INSERT OR REPLACE INTO SMSSETTINGS (ID, USERNAME, PASSWORD, KUNDNR)"
                " VALUES (1, 'bjorkdal', 'sommar24', '104233')");
  sms.run();
  if (db.meta("KLINIKNAMN").empty()) db.setMeta("KLINIKNAMN", "Vårdcentralen Björkdalen");
}

// Calls from the call clients, at random but the same for the same day.
class CallMaker {
 public:
  CallMaker(Database& db, const QDateTime& now, const std::vector<std::int64_t>& callableLopnr,
            const std::vector<std::int64_t>& stationLopnr)
      : now_(now),
        rng_(static_cast<unsigned>(now.date().toJulianDay())),
        call_(db.handle(),
              "INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, COMINGTSTAMP,"
              " CONFIRMTSTAMP, SMSSENT) VALUES (?, ?, ?, ?, ?, ?)"),
        callableLopnr_(callableLopnr),
        stationLopnr_(stationLopnr) {}

  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  void add(const QDateTime& at, bool today, bool last) {
    // Only call clients make calls, each to one of its own active resources.
    std::size_t si = static_cast<std::size_t>(uniform(0, 3));
    const auto& st = Stations()[si];
    int ci = st.callables[static_cast<std::size_t>(uniform(0, static_cast<int>(st.callables.size()) - 1))];
    const auto& c = Callables()[static_cast<std::size_t>(ci)];
    call_.reset();
    call_.bind(1, stationLopnr_[si]).bind(2, callableLopnr_[static_cast<std::size_t>(ci)]);
    call_.bind(3, Stamp(at));
    int outcome = uniform(0, 99);
    // Older calls are nearly all confirmed; today's last ones are still open.
    bool onTheWay = today && last ? outcome < 50 : outcome < 97;
    bool confirmed = today && last ? false : outcome < (today ? 85 : 94);
    QDateTime coming = at.addSecs(uniform(20, 180));
    QDateTime confirm = coming.addSecs(uniform(60, 600));
    if (onTheWay && coming <= now_) call_.bind(4, Stamp(coming));
    else call_.bindNull(4);
    if (confirmed && onTheWay && confirm <= now_) call_.bind(5, Stamp(confirm));
    else call_.bindNull(5);
    call_.bind(6, std::int64_t{*c.mobile != '\0' && uniform(0, 9) > 0});
    call_.run();
  }

  // Weekdays of the last three months.
  void addPastDays() {
    const QDate today = now_.date();
    for (QDate d = today.addMonths(-3); d < today; d = d.addDays(1)) {
      if (d.dayOfWeek() > 5) continue;
      int count = uniform(25, 45);
      std::vector<int> seconds;
      for (int i = 0; i < count; ++i) seconds.push_back(uniform(8 * 3600, 16 * 3600 + 1800));
      std::sort(seconds.begin(), seconds.end());
      for (int s : seconds) add(QDateTime(d, QTime(0, 0).addSecs(s)), false, false);
    }
  }

  // Today: from 08:00 (or the last two hours, early in the day) up to now.
  void addToday() {
    const QDate today = now_.date();
    QDateTime from(today, QTime(8, 0));
    if (now_ < from.addSecs(3600)) from = std::max(QDateTime(today, QTime(0, 0)), now_.addSecs(-7200));
    qint64 span = std::max<qint64>(from.secsTo(now_), 60);
    int count = 18;
    for (int i = 0; i < count; ++i) {
      QDateTime at = from.addSecs(span * i / count + uniform(0, static_cast<int>(span / count / 2)));
      if (at > now_) at = now_;
      add(at, true, i >= count - 6);
    }
  }

 private:
  const QDateTime now_;
  std::mt19937 rng_;
  Statement call_;
  const std::vector<std::int64_t>& callableLopnr_;
  const std::vector<std::int64_t>& stationLopnr_;
};

}  // namespace

bool FillDemoData(Database& db, const QDateTime& now) {
  if (HoldsData(db)) return false;
  Transaction t(db);
  const std::vector<std::int64_t> callableLopnr = InsertCallables(db);
  const std::vector<std::int64_t> stationLopnr = InsertStations(db, callableLopnr);
  InsertClinic(db);
  CallMaker calls(db, now, callableLopnr, stationLopnr);
  calls.addPastDays();
  calls.addToday();
  t.commit();
  return true;
}

}  // namespace davu::server
