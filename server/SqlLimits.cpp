#include "server/SqlLimits.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace davu::server {

const std::array<QueryLimits::Limit, 9> QueryLimits::kLimits = {{
    {SQLITE_LIMIT_LENGTH, kMaxValueBytes},
    {SQLITE_LIMIT_SQL_LENGTH, 1000000},
    // The client's confirmation ORs one term per ticked call; SQLite's own
    // default depth is kept so that none of those is refused.
    {SQLITE_LIMIT_EXPR_DEPTH, 1000},
    {SQLITE_LIMIT_COMPOUND_SELECT, 50},
    {SQLITE_LIMIT_VDBE_OP, 1000000},
    {SQLITE_LIMIT_FUNCTION_ARG, 32},
    {SQLITE_LIMIT_ATTACHED, 0},
    {SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 200},
    {SQLITE_LIMIT_VARIABLE_NUMBER, kMaxParameters},
}};

QueryLimits::QueryLimits(sqlite3* db) : db_(db) {
  for (std::size_t i = 0; i < kLimits.size(); ++i)
    saved_[i] = sqlite3_limit(db_, kLimits[i].id, kLimits[i].value);
}

QueryLimits::~QueryLimits() {
  for (std::size_t i = 0; i < kLimits.size(); ++i) sqlite3_limit(db_, kLimits[i].id, saved_[i]);
}

namespace {

// Work a single trim() may do: characters of X tried against distinct
// characters of Y. Far more than any report needs; a millisecond or so.
constexpr std::size_t kMaxTrimWork = 64u * 1000u * 1000u;

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string_view Text(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return {p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

std::string_view Blob(sqlite3_value* v) {
  const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
  return {p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// instr(X, Y): the 1-based position of the first Y in X, in characters for
// text and bytes for two blobs; 0 when absent, NULL when either is NULL.
void Instr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || IsNull(argv[1])) return;
  const bool blobs = sqlite3_value_type(argv[0]) == SQLITE_BLOB &&
                     sqlite3_value_type(argv[1]) == SQLITE_BLOB;
  // Text is read as text on both sides, as the built-in does for mixed types.
  sqlite3_value* hay = sqlite3_value_dup(argv[0]);
  sqlite3_value* needle = sqlite3_value_dup(argv[1]);
  if (!hay || !needle) {
    sqlite3_value_free(hay);
    sqlite3_value_free(needle);
    sqlite3_result_error_nomem(ctx);
    return;
  }
  std::string_view h = blobs ? Blob(hay) : Text(hay);
  std::string_view n = blobs ? Blob(needle) : Text(needle);
  sqlite3_int64 result = 1;
  if (!n.empty()) {
    result = 0;
    std::size_t from = 0;
    while (from + n.size() <= h.size()) {
      const void* at = memmem(h.data() + from, h.size() - from, n.data(), n.size());
      if (at == nullptr) break;
      std::size_t off = static_cast<std::size_t>(static_cast<const char*>(at) - h.data());
      // Text is searched at character starts only.
      if (!blobs && off > 0 && IsContinuation(h[off])) {
        from = off + 1;
        continue;
      }
      result = 1;
      if (blobs) result += static_cast<sqlite3_int64>(off);
      else
        for (std::size_t i = 0; i < off; ++i) result += IsContinuation(h[i]) ? 0 : 1;
      break;
    }
  }
  sqlite3_value_free(hay);
  sqlite3_value_free(needle);
  sqlite3_result_int64(ctx, result);
}

// replace(X, Y, Z): every Y in X, left to right, replaced by Z.
void Replace(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return;
  std::string_view x = Text(argv[0]);
  if (IsNull(argv[1])) return;
  std::string_view y = Text(argv[1]);
  if (y.empty() || y.front() == '\0') {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  if (IsNull(argv[2])) return;
  std::string_view z = Text(argv[2]);
  x = Text(argv[0]);  // reading the others may have moved it
  y = Text(argv[1]);
  const std::size_t limit =
      static_cast<std::size_t>(sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1));
  std::string out;
  std::size_t from = 0;
  while (true) {
    const void* at = from + y.size() <= x.size()
                         ? memmem(x.data() + from, x.size() - from, y.data(), y.size())
                         : nullptr;
    std::size_t off = at ? static_cast<std::size_t>(static_cast<const char*>(at) - x.data()) : x.size();
    if (out.size() + (off - from) + (at ? z.size() : 0) > limit) {
      sqlite3_result_error_toobig(ctx);
      return;
    }
    out.append(x.substr(from, off - from));
    if (!at) break;
    out.append(z);
    from = off + y.size();
  }
  sqlite3_result_text64(ctx, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// trim(X [, Y]) and its one-sided forms: the characters of Y (a blank when
// absent) taken off the ends of X. The characters of Y are tried in the order
// they first appear in Y, as the built-in does.
void Trim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto sides = reinterpret_cast<std::uintptr_t>(sqlite3_user_data(ctx));  // 1 left, 2 right
  if (IsNull(argv[0])) return;
  std::vector<std::string_view> set;
  std::string_view chars = " ";
  if (argc == 2) {
    if (IsNull(argv[1])) return;
    chars = Text(argv[1]);
    std::unordered_set<std::string_view> seen;
    for (std::size_t i = 0; i < chars.size();) {
      std::size_t j = i + 1;
      if (static_cast<unsigned char>(chars[i]) >= 0xC0)
        while (j < chars.size() && IsContinuation(chars[j])) ++j;
      std::string_view ch = chars.substr(i, j - i);
      if (seen.insert(ch).second) set.push_back(ch);
      i = j;
    }
  } else {
    set.push_back(chars);
  }
  std::string_view x = Text(argv[0]);
  if (set.size() > 1 && set.size() * x.size() > kMaxTrimWork) {
    sqlite3_result_error(ctx, "trim: för många tecken att ta bort ur en för lång text", -1);
    return;
  }
  // The length of the first character of the set that `rest` starts (or
  // ends) with; 0 when none does.
  auto match = [&](std::string_view rest, bool atEnd) -> std::size_t {
    for (std::string_view ch : set)
      if (atEnd ? rest.ends_with(ch) : rest.starts_with(ch)) return ch.size();
    return 0;
  };
  std::size_t begin = 0, end = x.size();
  if (sides & 1)
    while (std::size_t n = begin < end ? match(x.substr(begin, end - begin), false) : 0) begin += n;
  if (sides & 2)
    while (std::size_t n = begin < end ? match(x.substr(begin, end - begin), true) : 0) end -= n;
  sqlite3_result_text64(ctx, x.data() + begin, end - begin, SQLITE_TRANSIENT, SQLITE_UTF8);
}

}  // namespace

void InstallBoundedFunctions(sqlite3* db) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  sqlite3_create_function_v2(db, "instr", 2, flags, nullptr, Instr, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "replace", 3, flags, nullptr, Replace, nullptr, nullptr, nullptr);
  struct Named {
    const char* name;
    std::uintptr_t sides;
  };
  for (Named t : {Named{"trim", 3}, Named{"ltrim", 1}, Named{"rtrim", 2}})
    for (int argc : {1, 2})
      sqlite3_create_function_v2(db, t.name, argc, flags, reinterpret_cast<void*>(t.sides), Trim,
                                 nullptr, nullptr, nullptr);
}

}  // namespace davu::server
