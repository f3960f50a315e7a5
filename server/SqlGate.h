#pragma once
// Runs the SQL that clients send, in the dialect they write it: date and
// date-time literals between "#" ("#2024-05-03#", "#2024-05-03 10:22:33#").
// Only what the administration client legitimately sends is allowed:
//   OPENSQL  one read-only SELECT over STATIONS, CALLABLES and CALLLOG,
//            enforced by SQLite itself (authorizer, read-only check, one
//            statement), not by looking at the text;
//   EXECSQL  the confirmation of named calls at a time, read by its own
//            strict grammar and applied by key (ConfirmStatement.h).
// Refusals carry a message an administrator can act on (Swedish).
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "server/StatementCache.h"

namespace davu::server {

// Translates the "#...#" literals into SQLite text literals
// ('yyyy-MM-dd HH:mm:ss'); quoted strings, identifiers and comments are left
// alone. Returns false with a message in `error` for a malformed literal.
bool TranslateDialect(std::string_view sql, std::string& out, std::string& error);

struct SqlOutcome {
  bool ok = false;
  std::string error;      // for the administrator when !ok
  std::string rows;       // OPENSQL: the head, then the row pieces joined by ":", wire bytes
                          // (what is left of them after the pieces handed out)
  std::size_t rowCount = 0;
  std::size_t streamed = 0;  // bytes already handed to the piece sink
  int changes = 0;        // EXECSQL: rows updated
  // The statement ran long enough to lower its thread's priority, which the
  // thread cannot raise again.
  bool lowered = false;
};

class SqlGate {
 public:
  // Takes a piece of a reply that is being built; false stops the statement.
  using PieceSink = std::function<bool(std::string& piece)>;

  // Installs the bounded string functions and the authorizer on `db` (see
  // SqlLimits.h). The gate must go before its connection is closed.
  explicit SqlGate(sqlite3* db);
  ~SqlGate();
  SqlGate(const SqlGate&) = delete;
  SqlGate& operator=(const SqlGate&) = delete;

  // A statement that runs longer than this is stopped. A change (EXECSQL)
  // gets at most kConfirmLimit, including its wait for the write lock.
  void setTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
  static constexpr std::chrono::milliseconds kConfirmLimit{2000};
  // Largest RETSQL reply, in bytes.
  void setReplyLimit(std::size_t bytes) { replyLimit_ = bytes; }
  // Hands the reply out in pieces of about `bytes` as rows come; the time
  // the sink takes does not count against the time limit.
  void setPieceSink(std::size_t bytes, PieceSink sink) {
    pieceBytes_ = bytes;
    sink_ = std::move(sink);
  }
  // Stops the running statement as soon as the flag is set.
  void setCancelFlag(const std::atomic<bool>* flag) { cancelled_ = flag; }
  // A statement running longer than this lowers the priority of its thread,
  // so that short requests on other threads come first. Zero: never.
  void setYieldAfter(std::chrono::milliseconds after) { yieldAfter_ = after; }

  // Keeps the statements of the queries run last for the next time they are
  // asked (on by default). The gate is then kept with its connection.
  void setStatementReuse(bool on) { reuse_ = on; }

  // `sql` is UTF-8 in the client's dialect. The rows are appended to `head`
  // in SqlOutcome::rows, so a reply is built in one buffer.
  SqlOutcome openSql(std::string_view sql, std::string_view head = {});
  SqlOutcome execSql(std::string_view sql);

 private:
  sqlite3* db_;
  std::chrono::milliseconds timeLimit_{20000};
  std::size_t replyLimit_ = 48u * 1024u * 1024u;
  std::size_t pieceBytes_ = 0;
  PieceSink sink_;
  const std::atomic<bool>* cancelled_ = nullptr;
  std::chrono::milliseconds yieldAfter_{0};
  bool reuse_ = true;
  void* clientStatement_ = nullptr;  // what the authorizer checks, while a client statement is prepared or runs
  StatementCache statements_;
};

}  // namespace davu::server
