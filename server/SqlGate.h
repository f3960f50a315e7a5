#pragma once
// Runs the SQL that clients send, in the dialect they write it: date and
// date-time literals between "#" ("#2024-05-03#", "#2024-05-03 10:22:33#").
// Only what the administration client legitimately sends is allowed, and that
// is enforced by SQLite itself (authorizer, read-only check, one statement),
// not by looking at the text:
//   OPENSQL  one read-only SELECT over STATIONS, CALLABLES and CALLLOG;
//   EXECSQL  one UPDATE that sets CALLLOG.CONFIRMTSTAMP and nothing else.
// Refusals carry a message an administrator can act on (Swedish).
#include <sqlite3.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace davu::server {

// Translates the "#...#" literals into SQLite text literals
// ('yyyy-MM-dd HH:mm:ss'); quoted strings, identifiers and comments are left
// alone. Returns false with a message in `error` for a malformed literal.
bool TranslateDialect(std::string_view sql, std::string& out, std::string& error);

struct SqlOutcome {
  bool ok = false;
  std::string error;      // for the administrator when !ok
  std::string rows;       // OPENSQL: the head, then the row pieces joined by ":", wire bytes
  std::size_t rowCount = 0;
  int changes = 0;        // EXECSQL: rows updated
};

class SqlGate {
 public:
  explicit SqlGate(sqlite3* db) : db_(db) {}

  // A query that runs longer than this is interrupted, so one report cannot
  // stall every other connection of the single-threaded server.
  void setTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
  // Largest RETSQL reply, in bytes.
  void setReplyLimit(std::size_t bytes) { replyLimit_ = bytes; }

  // `sql` is UTF-8 in the client's dialect. The rows are appended to `head`
  // in SqlOutcome::rows, so a reply is built in one buffer.
  SqlOutcome openSql(std::string_view sql, std::string_view head = {});
  SqlOutcome execSql(std::string_view sql);

 private:
  enum class Mode { Query, Confirm };
  SqlOutcome prepareAndRun(std::string_view sql, Mode mode, std::string_view head);

  sqlite3* db_;
  std::chrono::milliseconds timeLimit_{20000};
  std::size_t replyLimit_ = 48u * 1024u * 1024u;
};

// A value as it may stand in a RETSQL entry: the characters that would end an
// entry, a row or the frame are replaced. Input and output are wire bytes.
std::string SqlValueForWire(std::string_view wire);

}  // namespace davu::server
