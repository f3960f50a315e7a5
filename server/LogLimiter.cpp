#include "server/LogLimiter.h"

namespace davu::server {

namespace {
// Addresses followed at once; beyond this, new ones share one window, so
// many addresses cannot grow the table either.
constexpr std::size_t kMaxAddresses = 4096;
const std::string kOthers = "other addresses";
}  // namespace

bool LogLimiter::admit(const std::string& who, std::int64_t nowMs) {
  auto it = windows_.find(who);
  if (it == windows_.end()) {
    const std::string& key = windows_.size() < kMaxAddresses ? who : kOthers;
    it = windows_.try_emplace(key, Window{nowMs, 0, 0}).first;
  }
  Window& w = it->second;
  if (w.written < burst_) {
    ++w.written;
    return true;
  }
  ++w.leftOut;
  return false;
}

std::vector<std::string> LogLimiter::ended(std::int64_t nowMs) {
  std::vector<std::string> lines;
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (nowMs - it->second.start < windowMs_) {
      ++it;
      continue;
    }
    if (it->second.leftOut > 0)
      lines.push_back("… and " + std::to_string(it->second.leftOut) + " more from " + it->first);
    it = windows_.erase(it);
  }
  return lines;
}

}  // namespace davu::server
