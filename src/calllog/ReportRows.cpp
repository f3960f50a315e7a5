#include "calllog/ReportRows.h"

#include <algorithm>
#include <cctype>

#include "calllog/TSVVirtualTable.h"
#include "common/WireText.h"
#include "protocol/TextRules.h"

namespace davu {

namespace {

constexpr std::int64_t kDay = 86400;
// QDate's Julian day of 1970-01-01.
constexpr std::int64_t kJulian1970 = 2440588;

bool Digits(std::string_view s, std::size_t at, std::size_t n, int& out) {
  if (at + n > s.size()) return false;
  int v = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's formula).
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = static_cast<int>(y - era * 400);
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Whether "SMS skickat" says yes: a number other than 0 (the system's own
// truth texts, "-1" and "1"), "True", or the words a server shows people,
// "Ja" (as davu-server sends it), "J", "T", "Yes", "Y"; any letter case.
bool TrueText(std::string_view s) {
  s = davu::proto::TrimControl(s);
  if (s.empty()) return false;
  std::size_t i = s[0] == '-' || s[0] == '+' ? 1 : 0;
  if (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    bool nonZero = false;
    for (; i < s.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
      nonZero |= s[i] != '0';
    }
    return nonZero;
  }
  std::string lower(s.size(), ' ');
  for (std::size_t k = 0; k < s.size(); ++k) lower[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[k])));
  for (const char* yes : {"true", "ja", "j", "t", "yes", "y"})
    if (lower == yes) return true;
  return false;
}

}  // namespace

// "2024-05-03 10:22:33", "2024-05-03T10:22:33", "2024-05-03 10:22" or a date
// alone (midnight).
std::int64_t MomentFromText(std::string_view text) {
  text = davu::proto::TrimControl(text);
  int y, mo, d, h = 0, mi = 0, s = 0;
  if (!Digits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2, mo) ||
      text[7] != '-' || !Digits(text, 8, 2, d))
    return kNoTime;
  if (mo < 1 || mo > 12 || d < 1 || d > QDate(y, mo, 1).daysInMonth()) return kNoTime;
  if (text.size() > 10) {
    if ((text[10] != ' ' && text[10] != 'T') || !Digits(text, 11, 2, h) || text.size() < 16 ||
        text[13] != ':' || !Digits(text, 14, 2, mi))
      return kNoTime;
    if (text.size() > 16 && (text[16] != ':' || !Digits(text, 17, 2, s) || text.size() != 19))
      return kNoTime;
    if (h > 23 || mi > 59 || s > 59) return kNoTime;
  }
  return DaysFromCivil(y, mo, d) * kDay + h * 3600 + mi * 60 + s;
}

std::int64_t JulianDayOfMoment(std::int64_t moment) {
  const std::int64_t days = moment >= 0 ? moment / kDay : (moment - kDay + 1) / kDay;
  return days + kJulian1970;
}

QDate DayOfMoment(std::int64_t moment) { return QDate::fromJulianDay(JulianDayOfMoment(moment)); }

int HourOfMoment(std::int64_t moment) {
  const std::int64_t sod = ((moment % kDay) + kDay) % kDay;
  return static_cast<int>(sod / 3600);
}

std::shared_ptr<const ReportRows> ReportRows::fromTable(const TSVVirtualTable& table,
                                                        ReportChoices choices) {
  auto rows = std::make_shared<ReportRows>(std::move(choices));
  rows->appendTableRows(table, table.RecordCount(), TableRows::Shown);
  return rows;
}

void ReportRows::appendTableRows(const TSVVirtualTable& table, int end, TableRows which) {
  static const char* const kColumns[FieldCount] = {"FRIENDLYNAME", "FULLNAME", "CALLTSTAMP",
                                                   "CONFIRMTSTAMP", "SMSSENT"};
  int col[FieldCount];
  for (int f = 0; f < FieldCount; ++f) col[f] = table.fieldIndex(QLatin1String(kColumns[f]));
  const auto cell = [&](int r, int f) {
    if (col[f] < 0) return std::string_view();
    return which == TableRows::Shown ? table.rawValue(r, col[f]) : table.arrivingValue(std::size_t(r), col[f]);
  };
  const int begin = size();
  if (end <= begin) return;
  std::size_t bytes = 0;
  for (int r = begin; r < end; ++r)
    for (int f = 0; f < FieldCount; ++f) bytes += cell(r, f).size();
  // Room at least doubles, so rows added a read at a time are not moved
  // again and again.
  const auto grow = [](auto& v, std::size_t n) {
    if (n > v.capacity()) v.reserve(std::max(n, 2 * v.capacity()));
  };
  grow(arena_, arena_.size() + bytes);
  grow(rows_, static_cast<std::size_t>(end));
  grow(cells_, static_cast<std::size_t>(end) * FieldCount);
  for (int r = begin; r < end; ++r)
    append(cell(r, Client), cell(r, Resource), cell(r, Called), cell(r, Confirmed), cell(r, SmsSent));
}

void ReportRows::clear(ReportChoices choices) {
  choices_ = std::move(choices);
  rows_.clear();
  arena_.clear();
  cells_.clear();
  clientIndex_.clear();
  resourceIndex_.clear();
  clientNames_.clear();
  resourceNames_.clear();
  clientRows_.clear();
  resourceRows_.clear();
}

std::uint32_t ReportRows::intern(NameIndex& index, std::vector<QString>& names, std::vector<int>& counts,
                                 std::string_view bytes) {
  if (auto it = index.find(bytes); it != index.end()) {
    ++counts[it->second];
    return it->second;
  }
  const auto id = static_cast<std::uint32_t>(names.size());
  index.emplace(std::string(bytes), id);
  names.push_back(FromWire(bytes));
  counts.push_back(1);
  return id;
}

void ReportRows::append(std::string_view client, std::string_view resource, std::string_view called,
                        std::string_view confirmed, std::string_view smsSent) {
  Row row;
  row.client = intern(clientIndex_, clientNames_, clientRows_, client);
  row.resource = intern(resourceIndex_, resourceNames_, resourceRows_, resource);
  row.called = MomentFromText(called);
  row.isConfirmed = !davu::proto::TrimControl(confirmed).empty();
  row.confirmed = row.isConfirmed ? MomentFromText(confirmed) : kNoTime;
  row.smsSent = TrueText(smsSent);
  rows_.push_back(row);
  for (std::string_view v : {client, resource, called, confirmed, smsSent}) {
    cells_.push_back({static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint32_t>(v.size())});
    arena_.append(v);
  }
}

std::string_view ReportRows::raw(int r, Field f) const {
  const Cell& c = cells_[static_cast<std::size_t>(r) * FieldCount + f];
  return std::string_view(arena_).substr(c.offset, c.length);
}

QString ReportRows::text(int r, Field f) const { return FromWire(raw(r, f)); }

QStringList ReportRows::titles() {
  return {QStringLiteral("Klientnamn"), QStringLiteral("Resursnamn"), QStringLiteral("Påkallad"),
          QStringLiteral("Bekräftad"), QStringLiteral("SMS skickat")};
}

}  // namespace davu
