#pragma once
// The figures of a report, worked out in one pass over its rows: the
// summary per resource and per client with a total, and the series the
// charts draw. No widgets here: the summary model, the charts, the export
// and the printout all read the same figures.
#include <QDate>
#include <QString>
#include <array>
#include <vector>

namespace davu {

class ReportRows;

// Calls and confirmation times of one resource, one client, or all calls.
struct GroupFigures {
  enum Kind { Resource, Client, Total };
  Kind kind = Total;
  QString name;
  int calls = 0;
  int confirmed = 0;
  int smsSent = 0;
  // Seconds from call to confirmation over the confirmed calls whose two
  // times could be read; -1 when there are none.
  double medianSeconds = -1;
  int p90Seconds = -1;  // nearest rank: the smallest time that 90 % do not exceed
  int longestSeconds = -1;

  double confirmedShare() const { return calls ? double(confirmed) / calls : 0; }
};

struct DayCalls {
  QDate day;
  int confirmed = 0;
  int unconfirmed = 0;
};

struct ReportFigures {
  std::vector<GroupFigures> resources;  // by name
  std::vector<GroupFigures> clients;    // by name
  GroupFigures total;

  // Every day of the chosen range, also days without calls (calls outside
  // it are not counted here); without a chosen range, the days of the calls.
  std::vector<DayCalls> days;
  std::array<int, 24> hours{};  // calls by hour of the day
  // The ten resources with most calls, most first (ties by name).
  std::vector<const GroupFigures*> topResources() const;

  static ReportFigures compute(const ReportRows& rows);
};

// Median of `values` (reordered); the mean of the two middle values when
// the count is even. -1 when empty.
double Median(std::vector<int>& values);
// Nearest-rank percentile `p` (0-100) of `values` (reordered); -1 when empty.
int Percentile(std::vector<int>& values, int p);

}  // namespace davu
