#pragma once
// What one client statement may build. SQLite checks its time limit only
// between steps of a statement, never inside one function call, so every
// function a report may use must finish in time linear in its arguments, and
// the arguments themselves are bounded:
//   - strings and blobs, the SQL text, expression depth, compound selects and
//     LIKE/GLOB patterns are limited with sqlite3_limit while a client
//     statement is prepared and run (QueryLimits);
//   - instr(), replace() and the trim family, whose built-in versions take time
//     proportional to the product of their arguments' lengths, are replaced on
//     the connection by versions with the same results that search in linear
//     time, or refuse an argument pair that would take too long
//     (InstallBoundedFunctions).
#include <sqlite3.h>

#include <array>
#include <cstddef>

namespace davu::server {

// Longest string or blob a client statement may make, in bytes.
inline constexpr int kMaxValueBytes = 1000000;
// Most parameters a client statement may have, the server's own bound lists
// included.
inline constexpr int kMaxParameters = 32;

// Replaces instr, replace, trim, ltrim and rtrim on `db`.
void InstallBoundedFunctions(sqlite3* db);

// Sets the limits for a client statement and puts back what was there.
class QueryLimits {
 public:
  explicit QueryLimits(sqlite3* db);
  ~QueryLimits();
  QueryLimits(const QueryLimits&) = delete;
  QueryLimits& operator=(const QueryLimits&) = delete;

 private:
  struct Limit {
    int id;
    int value;
  };
  static const std::array<Limit, 9> kLimits;
  sqlite3* db_;
  std::array<int, 9> saved_{};
};

}  // namespace davu::server
