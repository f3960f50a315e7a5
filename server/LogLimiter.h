#pragma once
// Keeps one address from flooding the log: past `burst` lines about it
// within a window, lines are counted instead of written, and when the window
// ends one line says how many were left out ("… and 37 more from
// 127.0.0.2"). Times are milliseconds of a monotonic clock, passed in.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace davu::server {

class LogLimiter {
 public:
  LogLimiter(int burst, std::int64_t windowMs) : burst_(burst), windowMs_(windowMs) {}
  // Whether a line about `who` is written now. Call ended() first, so that
  // a window that is over is summed up before a new one begins.
  bool admit(const std::string& who, std::int64_t nowMs);
  // The summary lines of windows over by now, each once; windows without
  // left-out lines end silently.
  std::vector<std::string> ended(std::int64_t nowMs);
  bool holding() const { return !windows_.empty(); }

 private:
  struct Window {
    std::int64_t start = 0;
    int written = 0;
    long long leftOut = 0;
  };
  int burst_;
  std::int64_t windowMs_;
  std::unordered_map<std::string, Window> windows_;
};

}  // namespace davu::server
