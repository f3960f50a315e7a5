#include "calllog/ReportFigures.h"

#include <algorithm>
#include <map>

#include "calllog/ReportRows.h"

namespace davu {

namespace {

constexpr std::int64_t kMostDays = 3660;

// The confirmation times of one group while the rows are read.
struct Tally {
  GroupFigures figures;
  std::vector<int> waits;

  void add(const ReportRows::Row& row) {
    ++figures.calls;
    figures.smsSent += row.smsSent;
    if (!row.isConfirmed) return;
    ++figures.confirmed;
    if (row.called != kNoTime && row.confirmed != kNoTime && row.confirmed >= row.called)
      waits.push_back(static_cast<int>(std::min<std::int64_t>(row.confirmed - row.called, INT32_MAX)));
  }
  GroupFigures finish() {
    if (!waits.empty()) {
      figures.longestSeconds = *std::max_element(waits.begin(), waits.end());
      figures.p90Seconds = Percentile(waits, 90);
      figures.medianSeconds = Median(waits);
    }
    return figures;
  }
};

std::vector<GroupFigures> Finish(std::vector<Tally>& tallies, const std::vector<QString>& names,
                                 GroupFigures::Kind kind) {
  std::vector<GroupFigures> out;
  out.reserve(tallies.size());
  for (std::size_t i = 0; i < tallies.size(); ++i) {
    tallies[i].figures.kind = kind;
    tallies[i].figures.name = names[i];
    out.push_back(tallies[i].finish());
  }
  std::sort(out.begin(), out.end(), [](const GroupFigures& a, const GroupFigures& b) {
    return QString::localeAwareCompare(a.name, b.name) < 0;
  });
  return out;
}

}  // namespace

double Median(std::vector<int>& v) {
  if (v.empty()) return -1;
  const std::size_t mid = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + mid, v.end());
  const int upper = v[mid];
  if (v.size() % 2) return upper;
  const int lower = *std::max_element(v.begin(), v.begin() + mid);
  return (double(lower) + upper) / 2;
}

int Percentile(std::vector<int>& v, int p) {
  if (v.empty()) return -1;
  // Rank ceil(p/100 * n), counted from 1.
  const std::size_t rank = (static_cast<std::size_t>(p) * v.size() + 99) / 100;
  const std::size_t at = std::max<std::size_t>(rank, 1) - 1;
  std::nth_element(v.begin(), v.begin() + at, v.end());
  return v[at];
}

std::vector<const GroupFigures*> ReportFigures::topResources() const {
  std::vector<const GroupFigures*> top;
  for (const GroupFigures& g : resources) top.push_back(&g);
  // `resources` is by name already, so a stable sort keeps ties by name.
  std::stable_sort(top.begin(), top.end(),
                   [](const GroupFigures* a, const GroupFigures* b) { return a->calls > b->calls; });
  if (top.size() > 10) top.resize(10);
  return top;
}

ReportFigures ReportFigures::compute(const ReportRows& rows) {
  std::vector<Tally> resources(rows.resourceNames().size()), clients(rows.clientNames().size());
  // Each list of waiting times is made once at its largest: growing them
  // row by row costs more than the pass itself on a large report.
  for (std::size_t i = 0; i < resources.size(); ++i) resources[i].waits.reserve(std::size_t(rows.resourceRows()[i]));
  for (std::size_t i = 0; i < clients.size(); ++i) clients[i].waits.reserve(std::size_t(rows.clientRows()[i]));
  Tally total;
  total.waits.reserve(static_cast<std::size_t>(rows.size()));
  ReportFigures f;

  // Calls per day: straight into the chosen range's days. Without a chosen
  // range (a report made outside the window) the days are gathered by
  // number and laid out at the end.
  const ReportChoices& c = rows.choices();
  const bool chosen = c.from.isValid() && c.to.isValid() && c.from <= c.to;
  std::int64_t firstDay = chosen ? c.from.toJulianDay() : 0;
  const std::int64_t chosenDays = chosen ? std::min<std::int64_t>(c.to.toJulianDay() - firstDay + 1, kMostDays) : 0;
  std::vector<DayCalls> days(static_cast<std::size_t>(chosenDays));
  std::map<std::int64_t, DayCalls> byDay;

  for (int r = 0; r < rows.size(); ++r) {
    const ReportRows::Row& row = rows.row(r);
    resources[row.resource].add(row);
    clients[row.client].add(row);
    total.add(row);
    if (row.called == kNoTime) continue;
    ++f.hours[static_cast<std::size_t>(HourOfMoment(row.called))];
    const std::int64_t day = JulianDayOfMoment(row.called);
    DayCalls* d = nullptr;
    if (!chosen) d = &byDay[day];
    else if (day >= firstDay && day - firstDay < chosenDays) d = &days[static_cast<std::size_t>(day - firstDay)];
    if (d) ++(row.isConfirmed ? d->confirmed : d->unconfirmed);
  }

  if (!chosen && !byDay.empty()) {
    // A stray year in the data must not make a chart of a million days.
    firstDay = byDay.begin()->first;
    const std::int64_t last = std::min(byDay.rbegin()->first, firstDay + kMostDays - 1);
    days.resize(static_cast<std::size_t>(last - firstDay + 1));
    for (const auto& [day, counted] : byDay)
      if (day <= last) days[static_cast<std::size_t>(day - firstDay)] = counted;
  }
  for (std::size_t i = 0; i < days.size(); ++i)
    days[i].day = QDate::fromJulianDay(firstDay + static_cast<std::int64_t>(i));
  f.days = std::move(days);
  f.resources = Finish(resources, rows.resourceNames(), GroupFigures::Resource);
  f.clients = Finish(clients, rows.clientNames(), GroupFigures::Client);
  f.total = total.finish();
  f.total.kind = GroupFigures::Total;
  f.total.name = QStringLiteral("Totalt");
  return f;
}

}  // namespace davu
