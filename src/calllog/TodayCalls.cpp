#include "calllog/TodayCalls.h"

#include <algorithm>
#include <charconv>

#include "calllog/CallLogSql.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportRows.h"
#include "common/WireText.h"
#include "protocol/SqlRows.h"
#include "protocol/TextRules.h"

namespace davu::calllog {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
         });
}

// A whole number, or false.
bool Number(std::string_view text, qint64& n) {
  text = davu::proto::TrimControl(text);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

double TodayResource::medianWait() const {
  std::vector<int> w = waits;
  return Median(w);
}

struct TodayCalls::Row {
  qint64 lopnr = 0;
  bool hasLopnr = false;
  qint64 callable = 0;
  std::string_view name, called, confirmed;
};

QString TodayCalls::nextQuery() const {
  if (!filled_) return TodayQuery(day_);
  std::vector<qint64> asked;
  asked.reserve(std::min(open_.size(), kMostAsked));
  auto older = open_.end();
  for (std::size_t i = 0; i < kNewestAsked && older != open_.begin(); ++i) asked.push_back(*--older);
  // The older ones are [open_.begin(), older): from the one after the last
  // asked, round to the start again.
  if (older != open_.begin()) {
    const std::size_t most = asked.size() + kInTurnAsked;
    const bool round = askedUpTo_ < *std::prev(older);
    auto it = round ? open_.upper_bound(askedUpTo_) : open_.begin();
    for (; it != older && asked.size() < most; ++it) asked.push_back(*it);
    if (round)
      for (it = open_.begin(); it != older && asked.size() < most && *it <= askedUpTo_; ++it) asked.push_back(*it);
    askedUpTo_ = asked.back();
  }
  std::sort(asked.begin(), asked.end());
  return TodayChangesQuery(day_, lastSeen_, asked);
}

bool TodayCalls::apply(std::string_view payload, bool firstFill) {
  bool changed = firstFill && !filled_;
  if (firstFill) filled_ = true;
  davu::proto::SqlRowReader reader(payload);
  while (reader.nextRow()) {
    Row row;
    std::string_view name, value;
    while (reader.nextEntry(name, value)) {
      if (SameName(name, "LOPNR")) {
        row.hasLopnr = Number(value, row.lopnr);
      } else if (SameName(name, "CALLABLESLOPNR")) {
        if (!Number(value, row.callable)) row.callable = 0;
      } else if (SameName(name, "FULLNAME")) {
        row.name = value;
      } else if (SameName(name, "CALLTSTAMP")) {
        row.called = value;
      } else if (SameName(name, "CONFIRMTSTAMP")) {
        row.confirmed = value;
      }
    }
    if (!row.hasLopnr) continue;
    lastSeen_ = std::max(lastSeen_, row.lopnr);
    const auto known = calls_.find(row.lopnr);
    if (known == calls_.end()) {
      const std::int64_t called = MomentFromText(row.called);
      if (called == kNoTime || DayOfMoment(called) != day_ || calls_.size() >= kMostCalls) continue;
      add(row.lopnr, row);
      changed = true;
    } else if (!known->second.confirmed && !davu::proto::TrimControl(row.confirmed).empty()) {
      confirm(known->second, row);
      open_.erase(row.lopnr);
      changed = true;
    }
  }
  return changed;
}

std::uint32_t TodayCalls::resourceIndex(qint64 callableLopnr, std::string_view name) {
  const auto found = resourceByLopnr_.find(callableLopnr);
  if (found != resourceByLopnr_.end()) return found->second;
  TodayResource r;
  r.callableLopnr = callableLopnr;
  r.name = FromWire(name).trimmed().left(kNameLimit);
  resources_.push_back(std::move(r));
  const auto index = static_cast<std::uint32_t>(resources_.size() - 1);
  resourceByLopnr_.emplace(callableLopnr, index);
  return index;
}

void TodayCalls::add(qint64 lopnr, const Row& row) {
  Call call{resourceIndex(row.callable, row.name), MomentFromText(row.called), false};
  TodayResource& r = resources_[call.resource];
  ++r.calls;
  r.lastCall = std::max(r.lastCall, call.called);
  ++hours_[static_cast<std::size_t>(HourOfMoment(call.called))];
  if (davu::proto::TrimControl(row.confirmed).empty()) {
    open_.insert(lopnr);
  } else {
    confirm(call, row);
  }
  calls_.emplace(lopnr, call);
}

void TodayCalls::confirm(Call& call, const Row& row) {
  call.confirmed = true;
  TodayResource& r = resources_[call.resource];
  ++r.confirmed;
  // A confirmation time that cannot be read still counts as confirmed.
  const std::int64_t at = MomentFromText(row.confirmed);
  if (at != kNoTime && at >= call.called) r.waits.push_back(static_cast<int>(std::min<std::int64_t>(at - call.called, INT32_MAX)));
}

std::vector<const TodayResource*> TodayCalls::resources() const {
  std::vector<const TodayResource*> out;
  out.reserve(resources_.size());
  for (const TodayResource& r : resources_) out.push_back(&r);
  std::sort(out.begin(), out.end(), [](const TodayResource* a, const TodayResource* b) {
    const int c = QString::localeAwareCompare(a->name, b->name);
    return c != 0 ? c < 0 : a->callableLopnr < b->callableLopnr;
  });
  return out;
}

TodayResource TodayCalls::total() const {
  TodayResource t;
  t.name = QStringLiteral("Totalt");
  for (const TodayResource& r : resources_) {
    t.calls += r.calls;
    t.confirmed += r.confirmed;
    t.lastCall = std::max(t.lastCall, r.lastCall);
    t.waits.insert(t.waits.end(), r.waits.begin(), r.waits.end());
  }
  return t;
}

}  // namespace davu::calllog
