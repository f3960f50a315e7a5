#include "protocol/ReplyDispatch.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "protocol/MessageScanner.h"
#include "protocol/TextRules.h"

namespace davu::proto {
namespace {

constexpr std::string_view kErrorSuppressed = "ERROR: 001";
constexpr std::size_t kNone = std::string_view::npos;

struct Found {
  std::size_t from;  // opening "¤"
  std::size_t to;    // the closing marker's separator
  std::size_t end;   // just behind the message
};

}  // namespace

void DispatchText(std::string_view text, std::span<const ReplyKind> kinds, ReplyRoutes& routes) {
  std::vector<std::vector<Found>> byKind(kinds.size());  // each in the order of the text
  std::vector<Found> inError;  // the replies behind errorAt, in the order of the text
  MessageScanner scanner(text, kinds);
  std::size_t errorAt = kNone;
  for (std::size_t p = 0; p < text.size();) {
    const MessageAt m = scanner.next(p);
    // An error reply starts outside the replies; "ERROR:" holds no "¤", so
    // one that starts in front of the next opening ends there too.
    const std::size_t gapEnd = m.state == MessageAt::None ? text.size() : m.from;
    if (errorAt == kNone && gapEnd - p >= kErrorReply.size())
      errorAt = text.substr(0, gapEnd).find(kErrorReply, p);
    if (m.state == MessageAt::None) break;
    if (m.state == MessageAt::Unclosed) {  // opens nothing
      p = m.from + 1;
      continue;
    }
    byKind[m.kind].push_back({m.from, m.closeAt, m.end});
    if (errorAt != kNone) inError.push_back({m.from, m.closeAt, m.end});
    p = m.end;
  }

  // The error text, with the replies that stand in it taken out. Without
  // such replies it is the text's own tail: an error text of many megabytes
  // is not copied.
  std::string joined;
  std::string_view errorText;
  if (errorAt != kNone && inError.empty()) {
    errorText = text.substr(errorAt);
  } else if (errorAt != kNone) {
    std::size_t from = errorAt;
    for (const Found& f : inError) {
      joined.append(text, from, f.from - from);
      from = f.end;
    }
    joined.append(text, from);
    errorText = joined;
  }

  const bool shownError = errorAt != kNone && errorText.find(kErrorSuppressed) == std::string_view::npos;
  if (shownError) {
    for (std::size_t kind = 0; kind < byKind.size(); ++kind) {
      std::vector<Found>& list = byKind[kind];
      if (list.empty() || !routes.errorBreaksOff(kind)) continue;
      // The replies of a kind stand in the order of the text: only the last
      // one in front of the error can stand directly in front of it.
      auto it = std::find_if(list.rbegin(), list.rend(), [&](const Found& f) { return f.end <= errorAt; });
      if (it != list.rend() && TrimControl(text.substr(it->end, errorAt - it->end)).empty())
        list.erase(std::next(it).base());
    }
  }

  // Round r hands on the r-th reply of each kind that has one. Only the
  // kinds with replies left take part, so many replies of one kind cost one
  // step each, not one per kind of the table.
  std::vector<std::size_t> left;
  for (std::size_t kind = 0; kind < byKind.size(); ++kind)
    if (!byKind[kind].empty()) left.push_back(kind);
  for (std::size_t r = 0; !left.empty(); ++r) {
    std::size_t kept = 0;
    for (const std::size_t kind : left) {
      const Found& f = byKind[kind][r];
      if (!routes.reply(kind, text.substr(f.from, f.to + 1 - f.from))) return;
      if (r + 1 < byKind[kind].size()) left[kept++] = kind;
    }
    left.resize(kept);
  }
  if (errorAt == kNone) {
    routes.settled();
    return;
  }
  if (!shownError) return;
  routes.error(errorText.substr(std::min<std::size_t>(7, errorText.size())));
}

int VersionNumber(std::string_view version) {
  long long n = 0;
  bool digits = false;
  bool negative = false;
  std::size_t i = 0;
  if (!version.empty() && (version[0] == '+' || version[0] == '-')) {
    negative = version[0] == '-';
    i = 1;
  }
  for (; i < version.size(); ++i) {
    const char c = version[i];
    if (c == '.') continue;
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
    if (n > std::numeric_limits<int>::max()) return 0;
    digits = true;
  }
  if (!digits) return 0;
  return static_cast<int>(negative ? -n : n);
}

}  // namespace davu::proto
