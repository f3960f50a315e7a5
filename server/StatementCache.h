#pragma once
// The prepared form of the queries a connection ran last, so that a query
// asked again, such as a window refreshing itself every few seconds, is not
// parsed and planned again: that is most of what a small query costs.
//
// A list of plain whole numbers after IN is bound instead of being part of
// the statement's text (ListsAsParameters), so a refresh that asks about
// other calls each time still finds its statement. Statements are kept only
// after they passed the gate's checks, and at most `capacity` of them.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace davu::server {

// Where the quoted text ('...', "...", `...`, [...]) or comment (-- or
// /* */) that starts at `i` of a statement ends, or `i` when none starts there.
std::size_t SkipQuotedOrComment(std::string_view sql, std::size_t i);

// Rewrites each "IN (n, n, ...)" of plain decimal numbers in `sql` (outside
// quotes and comments) as "IN (?, ?, ...)" in `text` and appends the numbers
// to `values`, in order. Nothing is rewritten, and false is returned, when
// the statement has parameters of its own or more than `most` numbers would
// be bound; `text` is then `sql`.
bool ListsAsParameters(std::string_view sql, std::size_t most, std::string& text,
                       std::vector<std::int64_t>& values);

class StatementCache {
 public:
  explicit StatementCache(std::size_t capacity = 16) : capacity_(capacity) {}
  ~StatementCache();
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // Longest text and largest statement kept: a larger one is prepared each
  // time, so what a connection keeps stays small whatever clients send.
  static constexpr std::size_t kMaxText = 8192;
  static constexpr int kMaxStatementBytes = 64 * 1024;

  // The statement kept for `text`, reset and unbound; null when none is.
  sqlite3_stmt* find(std::string_view text);
  // Keeps `statement` for `text`, in place of the one used longest ago when
  // full, and takes it (it is finalized when dropped); false, and the
  // statement stays the caller's, when it is too large to keep.
  bool keep(std::string text, sqlite3_stmt* statement);
  // Drops (and finalizes) the statement kept for `text`.
  void drop(std::string_view text);
  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::string text;
    sqlite3_stmt* statement;
    std::uint64_t used;
  };
  std::size_t capacity_;
  std::uint64_t clock_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace davu::server
