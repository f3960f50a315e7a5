#pragma once
// Today's calls as the "Idag" window keeps them: one small record per call,
// filled by the day's first query and brought up to date by the replies of
// the refresh queries, which carry only new calls and calls confirmed since.
// The figures per resource and per hour are worked out from the records; no
// widgets here.
//
// Replies are RETSQL payloads with the columns LOPNR, CALLABLESLOPNR,
// FULLNAME, CALLTSTAMP and CONFIRMTSTAMP (see TodayQuery). A row is applied
// by its LOPNR, so a row that comes twice changes nothing. Rows without a
// number, or with a call time that is not on the day, are left out.
#include <QDate>
#include <QString>
#include <array>
#include <cstdint>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace davu::calllog {

struct TodayResource {
  qint64 callableLopnr = 0;
  QString name;
  int calls = 0;
  int confirmed = 0;
  std::int64_t lastCall = INT64_MIN;  // a moment (see ReportRows.h); INT64_MIN: none
  std::vector<int> waits;             // seconds from call to confirmation
  int unconfirmed() const { return calls - confirmed; }
  // Median of the waits in seconds; -1 without any.
  double medianWait() const;
};

class TodayCalls {
 public:
  explicit TodayCalls(QDate day = {}) : day_(day) {}

  QDate day() const { return day_; }
  // True once the day's first query has been answered.
  bool filled() const { return filled_; }

  // The query the next refresh sends: the whole day until it has been
  // read, then only what is new or changed.
  QString nextQuery() const;
  // Applies the rows of a reply to nextQuery(); `firstFill` says which kind
  // of query it answered. True when a figure changed.
  bool apply(std::string_view payload, bool firstFill);

  // Per resource, by name; the total of all of them.
  std::vector<const TodayResource*> resources() const;
  TodayResource total() const;
  std::array<int, 24> hours() const { return hours_; }
  int calls() const { return static_cast<int>(calls_.size()); }
  qint64 lastSeen() const { return lastSeen_; }
  int openCalls() const { return static_cast<int>(open_.size()); }

  // The open calls one refresh asks about, so that a refresh costs the
  // server the same with five open calls and with five hundred: the newest
  // ones every time (most calls are confirmed soon after they are made), and
  // as many of the older ones in turn. An older open call's confirmation
  // shows within (open - kNewestAsked) / kInTurnAsked refreshes, rounded up.
  static constexpr std::size_t kNewestAsked = 8;
  static constexpr std::size_t kInTurnAsked = 8;
  static constexpr std::size_t kMostAsked = kNewestAsked + kInTurnAsked;
  // The calls of one day kept at most; a server that sends more is not
  // believed further (no clinic calls this many times a day).
  static constexpr std::size_t kMostCalls = 200000;
  // A resource's name is shown with at most this many characters.
  static constexpr int kNameLimit = 64;

 private:
  struct Call {
    std::uint32_t resource;  // index into resources_
    std::int64_t called;
    bool confirmed;
  };
  struct Row;
  void add(qint64 lopnr, const Row& row);
  void confirm(Call& call, const Row& row);
  std::uint32_t resourceIndex(qint64 callableLopnr, std::string_view name);

  QDate day_;
  bool filled_ = false;
  qint64 lastSeen_ = 0;
  std::unordered_map<qint64, Call> calls_;
  std::set<qint64> open_;
  mutable qint64 askedUpTo_ = 0;  // the last older open call asked about
  std::vector<TodayResource> resources_;
  std::unordered_map<qint64, std::uint32_t> resourceByLopnr_;
  std::array<int, 24> hours_{};
};

}  // namespace davu::calllog
