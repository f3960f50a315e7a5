#pragma once
// Checks shared by the server's fuzz targets: every reply is well framed, and
// a refused request leaves the database as it was.
#include <sqlite3.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/Envelope.h"
#include "server/RequestHandler.h"

namespace davu::fuzz {

inline std::size_t Count(std::string_view s, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t p = s.find(what); p != s.npos; p = s.find(what, p + 1)) ++n;
  return n;
}

// One reply: an error text with no marker in it; a message "¤TAG" sep ... sep
// "TAG¤" whose only "¤" are its ends; or a RETSQL frame whose other "¤" are
// those of its rows ("¤%" and "%¤"). No frame marker but a frame's own. The
// two writes of a program file are checked as their head and tail.
inline bool WellFramed(std::string_view r) {
  using davu::proto::kFrameEnd;
  using davu::proto::kFrameStart;
  if (r.starts_with("ERROR: "))
    return Count(r, "\xA4") == 0 && Count(r, kFrameStart) == 0 && Count(r, kFrameEnd) == 0;
  if (r.starts_with(":RETNEWCLIENT\xA4")) return r == ":RETNEWCLIENT\xA4#DATAEND#";
  if (r.starts_with("#DATASTART#\xA4RETNEWCLIENT:")) return true;  // the file as it is
  bool framed = r.starts_with(kFrameStart);
  if (framed) {
    if (!r.ends_with(kFrameEnd) || Count(r, kFrameStart) != 1 || Count(r, kFrameEnd) != 1)
      return false;
    r = r.substr(kFrameStart.size(), r.size() - kFrameStart.size() - kFrameEnd.size());
  } else if (Count(r, kFrameStart) != 0 || Count(r, kFrameEnd) != 0) {
    return false;
  }
  if (r.size() < 4 || r.front() != '\xA4' || r.back() != '\xA4') return false;
  std::size_t q = 1;
  while (q < r.size() && r[q] >= 'A' && r[q] <= 'Z') ++q;
  if (q == 1 || q >= r.size()) return false;
  const std::string_view tag = r.substr(1, q - 1);
  const std::string closing = std::string(1, r[q]) + std::string(tag) + "\xA4";
  if (r.find(closing, q) != r.size() - closing.size()) return false;
  std::string_view body = r.substr(q + 1, r.size() - closing.size() - q - 1);
  if (tag != "RETSQL") return Count(body, "\xA4") == 0;
  if (!framed) return false;
  // Rows: "¤%" entries "%¤", joined by ':'.
  std::size_t marks = Count(body, "\xA4");
  return marks == 2 * Count(body, "\xA4%") && marks == 2 * Count(body, "%\xA4");
}

// What a refused request must not change: rows (counted by SQLite) and schema.
struct DbMark {
  explicit DbMark(sqlite3* db) : changes(sqlite3_total_changes64(db)), schema(SchemaVersion(db)) {}
  bool operator==(const DbMark&) const = default;
  static long long SchemaVersion(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    long long v = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA schema_version", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
      v = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return v;
  }
  sqlite3_int64 changes;
  long long schema;
};

inline void Require(bool ok, const char* what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "oracle: %s\n%.*s\n", what, static_cast<int>(std::min<std::size_t>(detail.size(), 2000)),
               detail.data());
  std::abort();
}

}  // namespace davu::fuzz
