#pragma once
// The rows of one statistics report, taken once from the result table when
// its reply has been loaded, with the call and confirmation times read from
// their text. Everything built on a report (summary, charts, export, print)
// works from this and never from the table: it is immutable and shared, so
// an export still running when the next reply replaces the table keeps the
// rows it started with.
//
// The cells are kept as the wire bytes the server sent (Windows-1252), so an
// export writes exactly what the grid shows.
#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TSVVirtualTable;

namespace davu {

// What the report was asked for: shown above the summary and on paper.
struct ReportChoices {
  QDate from;
  QDate to;
  QStringList clients;    // names of the ticked clients; empty: all
  QStringList resources;  // names of the ticked resources; empty: all
  bool confirmedOnly = false;
  QString clinic;  // the clinic name the main window shows, or empty
};

// Moments as seconds counted from 1970-01-01 00:00 on the clinic's wall
// clock; the calls of a day never cross a change of daylight saving time.
inline constexpr std::int64_t kNoTime = INT64_MIN;
std::int64_t MomentFromText(std::string_view text);  // kNoTime when unreadable
QDate DayOfMoment(std::int64_t moment);
std::int64_t JulianDayOfMoment(std::int64_t moment);
int HourOfMoment(std::int64_t moment);

class ReportRows {
 public:
  // The columns in the grid's order.
  enum Field { Client, Resource, Called, Confirmed, SmsSent, FieldCount };

  struct Row {
    std::uint32_t client = 0;    // index into clientNames()
    std::uint32_t resource = 0;  // index into resourceNames()
    std::int64_t called = kNoTime;
    std::int64_t confirmed = kNoTime;
    bool isConfirmed = false;  // a confirmation time was sent, readable or not
    bool smsSent = false;
  };

  // The table's rows in its order, in one pass.
  static std::shared_ptr<const ReportRows> fromTable(const TSVVirtualTable& table,
                                                     ReportChoices choices = {});

  // Where appendTableRows reads: the rows of the reply still arriving, or
  // the rows the table shows.
  enum class TableRows { Arriving, Shown };
  // Appends the table's rows from size() up to `end`, so that a report is
  // built while its reply arrives and only the last rows are left when it
  // is shown.
  void appendTableRows(const TSVVirtualTable& table, int end, TableRows which);

  // Empties the rows for a new report, keeping the buffers.
  void clear(ReportChoices choices);

  ReportRows() = default;
  explicit ReportRows(ReportChoices choices) : choices_(std::move(choices)) {}
  // Appends one row of wire bytes (benchmarks and tests build reports so).
  void append(std::string_view client, std::string_view resource, std::string_view called,
              std::string_view confirmed, std::string_view smsSent);

  int size() const { return static_cast<int>(rows_.size()); }
  const Row& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }
  std::string_view raw(int r, Field f) const;
  QString text(int r, Field f) const;

  const std::vector<QString>& clientNames() const { return clientNames_; }
  const std::vector<QString>& resourceNames() const { return resourceNames_; }
  // Rows per name, by name index: lets the figures size their lists once.
  const std::vector<int>& clientRows() const { return clientRows_; }
  const std::vector<int>& resourceRows() const { return resourceRows_; }
  const ReportChoices& choices() const { return choices_; }

  // The grid's titles, in Field order.
  static QStringList titles();

 private:
  struct Cell {
    std::uint32_t offset;
    std::uint32_t length;
  };
  struct BytesHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using NameIndex = std::unordered_map<std::string, std::uint32_t, BytesHash, std::equal_to<>>;
  static std::uint32_t intern(NameIndex& index, std::vector<QString>& names, std::vector<int>& counts,
                              std::string_view bytes);

  ReportChoices choices_;
  std::vector<Row> rows_;
  std::string arena_;
  std::vector<Cell> cells_;  // FieldCount per row
  NameIndex clientIndex_, resourceIndex_;
  std::vector<QString> clientNames_, resourceNames_;
  std::vector<int> clientRows_, resourceRows_;
};

}  // namespace davu
