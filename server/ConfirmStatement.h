#pragma once
// The one change a client may make with EXECSQL: stamping named calls as
// confirmed. The administration client sends
//   UPDATE CALLLOG SET CONFIRMTSTAMP = #yyyy-MM-dd HH:mm:ss# WHERE  ( LOPNR = 12 OR  LOPNR = 15 )
// so a statement is read by this grammar (keywords in any letter case, any
// blanks between tokens, the "#...#" literal already translated to a quoted
// text by TranslateDialect):
//   stmt  := UPDATE [main.]CALLLOG SET CONFIRMTSTAMP = time WHERE cond {";"}
//   cond  := term { OR term }
//   term  := "(" cond ")" | key "=" number | number "=" key | key IN "(" number {"," number} ")"
//   key   := [CALLLOG.]LOPNR
// and nothing else is accepted: a statement without the calls' numbers, one
// that sets anything but a time, or one whose condition could match a call it
// does not name is refused. The change is then made by key, so it holds the
// write lock only for as long as the named rows take.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace davu::server {

struct Confirmation {
  std::string stamp;                // "yyyy-MM-dd HH:mm:ss"
  std::vector<std::int64_t> calls;  // LOPNR, as named (duplicates allowed)
};

// Most calls one statement may confirm.
inline constexpr std::size_t kMaxConfirmedCalls = 10000;

// Reads a translated statement; nullopt with the reason (Swedish) in `why`.
std::optional<Confirmation> ReadConfirmation(std::string_view sql, std::string& why);

// Stamps the named calls in one short transaction. Returns the rows changed,
// or -1 with SQLite's message in `error`.
int ApplyConfirmation(sqlite3* db, const Confirmation& c, std::string& error);

}  // namespace davu::server
