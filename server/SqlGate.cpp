#include "server/SqlGate.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "protocol/SqlRows.h"
#include "server/ConfirmStatement.h"
#include "server/ServerText.h"
#include "server/SqlLimits.h"

namespace davu::server {

namespace {

const char* const kPrefix = "Servern nekade SQL-satsen: ";

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "yyyy-MM-dd", "yyyy-MM-dd H:mm" or "yyyy-MM-dd HH:mm:ss" (surrounding blanks allowed).
bool ParseLiteral(std::string_view lit, std::string& canonical) {
  while (!lit.empty() && lit.front() == ' ') lit.remove_prefix(1);
  while (!lit.empty() && lit.back() == ' ') lit.remove_suffix(1);
  if (lit.size() < 10 || lit[4] != '-' || lit[7] != '-') return false;
  std::string_view y = lit.substr(0, 4), m = lit.substr(5, 2), d = lit.substr(8, 2);
  if (!AllDigits(y) || !AllDigits(m) || !AllDigits(d)) return false;
  int yy = std::stoi(std::string(y)), mm = std::stoi(std::string(m)), dd = std::stoi(std::string(d));
  if (!QDate::isValid(yy, mm, dd)) return false;
  int h = 0, mi = 0, s = 0;
  std::string_view rest = lit.substr(10);
  if (!rest.empty()) {
    if (rest.front() != ' ') return false;
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    std::array<std::string_view, 3> parts{};
    int n = 0;
    while (n < 3) {
      std::size_t c = rest.find(':');
      parts[static_cast<std::size_t>(n++)] = rest.substr(0, c);
      if (c == std::string_view::npos) {
        rest = {};
        break;
      }
      rest.remove_prefix(c + 1);
    }
    if (!rest.empty() || n < 2) return false;
    for (int i = 0; i < n; ++i) {
      auto p = parts[static_cast<std::size_t>(i)];
      if (!AllDigits(p) || p.size() > 2) return false;
    }
    h = std::stoi(std::string(parts[0]));
    mi = std::stoi(std::string(parts[1]));
    s = n == 3 ? std::stoi(std::string(parts[2])) : 0;
    if (h > 23 || mi > 59 || s > 59) return false;
  }
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", yy, mm, dd, h, mi, s);
  canonical = buf;
  return true;
}

// Functions a report may reasonably use; everything else is refused.
bool FunctionAllowed(std::string_view name) {
  static constexpr std::array<std::string_view, 31> kAllowed = {
      "count", "sum",    "total",   "avg",      "min",       "max",      "group_concat",
      "lower", "upper",  "length",  "substr",   "substring", "trim",     "ltrim",
      "rtrim", "coalesce", "ifnull", "nullif",  "iif",       "abs",      "round",
      "instr", "replace", "date",   "time",     "datetime",  "strftime", "julianday",
      "like",  "glob",   "unixepoch"};
  return std::any_of(kAllowed.begin(), kAllowed.end(),
                     [&](std::string_view a) { return EqualsNoCase(a, name); });
}

bool TableAllowed(const char* table) {
  if (table == nullptr) return false;
  return EqualsNoCase(table, "STATIONS") || EqualsNoCase(table, "CALLABLES") ||
         EqualsNoCase(table, "CALLLOG");
}

struct AuthState {
  std::string refusal;  // first reason, for the administrator
};

// `user` is the gate's slot for the client statement being prepared or run;
// between client statements the connection is the server's own.
int Authorize(void* user, int action, const char* a, const char* b, const char* dbName,
              const char* /*trigger*/) {
  auto* st = static_cast<AuthState*>(*static_cast<void**>(user));
  if (st == nullptr) return SQLITE_OK;
  auto deny = [&](std::string why) {
    if (st->refusal.empty()) st->refusal = std::move(why);
    return SQLITE_DENY;
  };
  const bool mainDb = dbName == nullptr || EqualsNoCase(dbName, "main");
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE:
      return SQLITE_OK;
    case SQLITE_READ:
      if (mainDb && TableAllowed(a)) return SQLITE_OK;
      return deny(std::string("tabellen ") + (a ? a : "?") +
                  " får inte läsas. Endast STATIONS, CALLABLES och CALLLOG kan läsas.");
    case SQLITE_FUNCTION:
      if (b && FunctionAllowed(b)) return SQLITE_OK;
      return deny(std::string("funktionen ") + (b ? b : "?") + " är inte tillåten.");
    case SQLITE_UPDATE:
      return deny("en fråga (OPENSQL) får bara läsa, inte ändra.");
    default:
      return deny("endast en SELECT-fråga över STATIONS, CALLABLES och CALLLOG är tillåten.");
  }
}

// What the progress handler watches while a statement runs.
struct Watch {
  std::chrono::steady_clock::time_point until;
  std::chrono::steady_clock::time_point yieldAt;
  const std::atomic<bool>* cancelled = nullptr;
  bool hit = false;
  bool stopped = false;  // by the cancel flag
  bool yielded = false;
};

int Progress(void* user) {
  auto* w = static_cast<Watch*>(user);
  if (w->cancelled && w->cancelled->load(std::memory_order_relaxed)) {
    w->stopped = true;
    return 1;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now > w->until) {
    w->hit = true;
    return 1;
  }
  if (!w->yielded && now > w->yieldAt) {
    w->yielded = true;
    // Only this thread: a long report gives way to short ones.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
  }
  return 0;
}

// Nothing of a client statement is left on the connection when it is done.
// The authorizer stays installed (setting one makes SQLite plan every kept
// statement again) and checks only while the slot names a statement.
class GuardScope {
 public:
  GuardScope(sqlite3* db, void*& slot, AuthState* auth, Watch* watch) : db_(db), slot_(slot), limits_(db) {
    slot_ = auth;
    sqlite3_progress_handler(db_, 2000, Progress, watch);
  }
  ~GuardScope() {
    slot_ = nullptr;
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
  }
  GuardScope(const GuardScope&) = delete;
  GuardScope& operator=(const GuardScope&) = delete;

 private:
  sqlite3* db_;
  void*& slot_;
  QueryLimits limits_;
};

struct StmtHolder {
  sqlite3_stmt* s = nullptr;
  ~StmtHolder() { sqlite3_finalize(s); }
};

// "NAME|" for the entries of a column.
std::string EntryName(const char* name) {
  std::string n = name ? name : "";
  // A qualified name keeps only its last part; the table's columns are bare.
  std::size_t dot = n.rfind('.');
  if (dot != std::string::npos && n.find('(') == std::string::npos) n = n.substr(dot + 1);
  return davu::proto::SqlEntryName(Utf8ToWire(n));
}

// Appends one value as the administrator reads it.
void AppendValue(std::string& out, sqlite3_stmt* s, int col, bool booleanColumn) {
  switch (sqlite3_column_type(s, col)) {
    case SQLITE_NULL:
      return;
    case SQLITE_INTEGER: {
      sqlite3_int64 v = sqlite3_column_int64(s, col);
      if (booleanColumn) {
        out += v != 0 ? "Ja" : "Nej";
        return;
      }
      char buf[24];
      auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
      out.append(buf, end);
      return;
    }
    case SQLITE_FLOAT: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(s, col));
      std::string v = buf;
      std::replace(v.begin(), v.end(), '.', ',');  // the clients' decimal separator
      out += v;
      return;
    }
    case SQLITE_BLOB:
      out += Utf8ToWire("(binärt värde)");
      return;
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
      std::string_view v(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(s, col)));
      // Plain text travels as it is; anything else is converted first.
      if (davu::proto::SqlValueIsPlain(v)) out.append(v);
      else if (!davu::proto::AppendLatin1SqlValue(out, v)) davu::proto::AppendSqlValue(out, Utf8ToWire(v));
      return;
    }
  }
}

}  // namespace

bool TranslateDialect(std::string_view sql, std::string& out, std::string& error) {
  out.clear();
  out.reserve(sql.size() + 32);
  std::size_t i = 0;
  const std::size_t n = sql.size();
  while (i < n) {
    const char c = sql[i];
    if (const std::size_t skipped = SkipQuotedOrComment(sql, i); skipped != i) {
      out.append(sql.substr(i, skipped - i));
      i = skipped;
    } else if (c == '#') {
      std::size_t j = sql.find('#', i + 1);
      std::string_view lit =
          sql.substr(i + 1, (j == std::string_view::npos ? n : j) - i - 1).substr(0, 40);
      std::string canonical;
      if (j == std::string_view::npos || !ParseLiteral(lit, canonical)) {
        error = std::string(kPrefix) + "ogiltigt datum #" + std::string(lit) +
                (j == std::string_view::npos ? "" : "#") +
                ". Datum skrivs #ÅÅÅÅ-MM-DD# eller #ÅÅÅÅ-MM-DD TT:MM:SS#.";
        return false;
      }
      out += '\'';
      out += canonical;
      out += '\'';
      i = j + 1;
    } else {
      out += c;
      ++i;
    }
  }
  return true;
}

SqlGate::SqlGate(sqlite3* db) : db_(db) {
  InstallBoundedFunctions(db_);
  sqlite3_set_authorizer(db_, Authorize, &clientStatement_);
}

SqlGate::~SqlGate() { sqlite3_set_authorizer(db_, nullptr, nullptr); }

SqlOutcome SqlGate::execSql(std::string_view clientSql) {
  SqlOutcome r;
  std::string sql;
  if (!TranslateDialect(clientSql, sql, r.error)) return r;
  std::string why;
  const std::optional<Confirmation> c = ReadConfirmation(sql, why);
  const int changed = c ? ApplyConfirmation(db_, *c, why) : -1;
  if (changed < 0) {
    r.error = std::string(kPrefix) + (c ? "databasfel: " + why + ". Försök igen." : why);
    return r;
  }
  r.changes = changed;
  r.ok = true;
  return r;
}

namespace {

using Why = std::optional<std::string>;

// Prepares the one statement in `sql`; anything but blanks, comments and ";"
// after it is a second one.
Why PrepareOne(sqlite3* db, const std::string& sql, const AuthState& auth, StmtHolder& stmt) {
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt.s, &tail) != SQLITE_OK) {
    if (!auth.refusal.empty()) return auth.refusal;
    return std::string("SQL-fel: ") + sqlite3_errmsg(db);
  }
  if (stmt.s == nullptr) return "SQL-satsen är tom.";
  const char* end = sql.data() + sql.size();
  while (tail != nullptr && tail < end) {
    StmtHolder next;
    const char* nextTail = nullptr;
    int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &next.s, &nextTail);
    if (rc != SQLITE_OK || next.s != nullptr) return "endast en SQL-sats i taget är tillåten.";
    if (nextTail == tail) break;
    tail = nextTail;
  }
  return std::nullopt;
}

// A query (OPENSQL) reads only and is not EXPLAIN.
Why CheckQuery(sqlite3_stmt* s, const AuthState& auth) {
  if (!auth.refusal.empty()) return auth.refusal;
  if (sqlite3_stmt_isexplain(s) != 0) return "endast en vanlig SELECT-fråga är tillåten.";
  if (!sqlite3_stmt_readonly(s) || sqlite3_column_count(s) == 0)
    return "en fråga (OPENSQL) måste vara en SELECT som bara läser.";
  return std::nullopt;
}

// Why a step that gave neither a row nor the end stopped.
Why StepFailure(sqlite3* db, int rc, const AuthState& auth, const Watch& watch) {
  if (watch.stopped) return "frågan avbröts.";
  if (watch.hit) return "frågan tog för lång tid och avbröts. Välj ett kortare datumintervall.";
  if ((rc & 0xff) == SQLITE_TOOBIG)
    return "ett värde i frågan blir längre än " + std::to_string(kMaxValueBytes / 1000000) +
           " MB och frågan avbröts.";
  if ((rc & 0xff) == SQLITE_CONSTRAINT) return "ogiltigt värde. Tidsstämplar skrivs #ÅÅÅÅ-MM-DD TT:MM:SS#.";
  if (!auth.refusal.empty()) return auth.refusal;
  return std::string("SQL-fel: ") + sqlite3_errmsg(db);
}

// Where the rows go and how many may go.
struct Streaming {
  std::size_t replyLimit;
  std::size_t pieceBytes;
  const SqlGate::PieceSink& sink;
};

// Steps through the rows into r.rows behind `head`, handing full pieces to
// the sink when there is one.
Why StreamRows(sqlite3* db, sqlite3_stmt* s, const AuthState& auth, Watch& watch, const Streaming& out,
               std::string_view head, SqlOutcome& r) {
  const int cols = sqlite3_column_count(s);
  std::vector<std::string> names;  // "NAME|"
  std::vector<bool> boolean;
  for (int c = 0; c < cols; ++c) {
    names.push_back(EntryName(sqlite3_column_name(s, c)));
    const char* decl = sqlite3_column_decltype(s, c);
    boolean.push_back(decl != nullptr && EqualsNoCase(decl, "BOOLEAN"));
  }

  r.rows.assign(head);
  while (true) {
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) return StepFailure(db, rc, auth, watch);
    davu::proto::BeginSqlRow(r.rows, r.rowCount == 0);
    for (int c = 0; c < cols; ++c) {
      r.rows += names[static_cast<std::size_t>(c)];
      AppendValue(r.rows, s, c, boolean[static_cast<std::size_t>(c)]);
      davu::proto::EndSqlEntry(r.rows);
    }
    davu::proto::EndSqlRow(r.rows);
    ++r.rowCount;
    if (r.streamed + r.rows.size() > out.replyLimit)
      return "resultatet är för stort (över " + std::to_string(out.replyLimit / (1024 * 1024)) +
             " MB). Välj ett kortare datumintervall eller färre klienter och resurser.";
    if (out.sink && r.rows.size() >= out.pieceBytes) {
      const auto before = std::chrono::steady_clock::now();
      const std::size_t size = r.rows.size();
      if (!out.sink(r.rows)) return "frågan avbröts.";
      r.streamed += size;
      r.rows.clear();
      // Waiting for a slow reader is not the statement's time.
      const auto waited = std::chrono::steady_clock::now() - before;
      watch.until += waited;
      if (watch.yieldAt != std::chrono::steady_clock::time_point::max()) watch.yieldAt += waited;
    }
  }
  return std::nullopt;
}

}  // namespace

namespace {

// Whether a bound list shows in a result column's name ("LOPNR IN (?, ?)").
bool NamesShowParameters(sqlite3_stmt* s) {
  for (int c = 0; c < sqlite3_column_count(s); ++c) {
    const char* name = sqlite3_column_name(s, c);
    if (name == nullptr || std::strchr(name, '?') != nullptr) return true;
  }
  return false;
}

// The statement a query runs on: one the cache keeps, reset and unbound when
// the query is done (it must not hold its read transaction while the
// connection waits for the next query), or one of its own.
class QueryStatement {
 public:
  QueryStatement(StatementCache& cache, bool reuse) : cache_(cache), reuse_(reuse) {}
  ~QueryStatement() {
    if (!kept_) return;
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  QueryStatement(const QueryStatement&) = delete;
  QueryStatement& operator=(const QueryStatement&) = delete;

  sqlite3_stmt* get() const { return kept_ ? s_ : own_.s; }

  // Finds or prepares the statement for `sql`, with its whole-number lists
  // bound when that leaves the reply as it is.
  Why prepare(sqlite3* db, const std::string& sql, const AuthState& auth) {
    if (!reuse_) text_ = sql;
    else ListsAsParameters(sql, static_cast<std::size_t>(kMaxParameters), text_, values_);
    if (reuse_ && (s_ = cache_.find(text_)) != nullptr) {
      kept_ = true;
      return bind();
    }
    Why why = PrepareOne(db, text_, auth, own_);
    if (!why) why = CheckQuery(own_.s, auth);
    // Bound lists must not show, in a column's name or in the reason for a
    // refusal, and SQLite must have read every one of them as a list (not,
    // say, after a NUL that ends its text): the text as it came answers then.
    if (!values_.empty() && (why || NamesShowParameters(own_.s) ||
                             sqlite3_bind_parameter_count(own_.s) != static_cast<int>(values_.size()))) {
      sqlite3_finalize(own_.s);
      own_.s = nullptr;
      text_ = sql;
      values_.clear();
      why = PrepareOne(db, text_, auth, own_);
      if (!why) why = CheckQuery(own_.s, auth);
    }
    if (why) return why;
    if (reuse_ && cache_.keep(text_, own_.s)) {
      s_ = own_.s;
      own_.s = nullptr;
      kept_ = true;
    }
    return bind();
  }

  // A statement that failed is not kept: it is prepared afresh next time.
  void failed() {
    if (!kept_) return;
    cache_.drop(text_);
    kept_ = false;
  }

 private:
  Why bind() {
    for (std::size_t i = 0; i < values_.size(); ++i)
      if (sqlite3_bind_int64(get(), static_cast<int>(i + 1), values_[i]) != SQLITE_OK) return "SQL-fel vid bindning.";
    return std::nullopt;
  }

  StatementCache& cache_;
  bool reuse_;
  std::string text_;
  std::vector<std::int64_t> values_;
  StmtHolder own_;
  sqlite3_stmt* s_ = nullptr;  // the cache's
  bool kept_ = false;
};

}  // namespace

SqlOutcome SqlGate::openSql(std::string_view clientSql, std::string_view head) {
  SqlOutcome r;
  std::string sql;
  if (!TranslateDialect(clientSql, sql, r.error)) return r;

  AuthState auth;
  const auto start = std::chrono::steady_clock::now();
  Watch watch;
  watch.until = start + timeLimit_;
  watch.yieldAt = yieldAfter_.count() > 0 ? start + yieldAfter_ : std::chrono::steady_clock::time_point::max();
  watch.cancelled = cancelled_;
  GuardScope guard(db_, clientStatement_, &auth, &watch);

  QueryStatement stmt(statements_, reuse_);
  Why why = stmt.prepare(db_, sql, auth);
  if (!why) why = StreamRows(db_, stmt.get(), auth, watch, {replyLimit_, pieceBytes_, sink_}, head, r);
  r.lowered = watch.yielded;
  if (why) {
    stmt.failed();
    r.ok = false;
    r.rows.clear();
    r.error = std::string(kPrefix) + *why;
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace davu::server
