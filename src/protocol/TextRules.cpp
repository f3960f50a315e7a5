#include "protocol/TextRules.h"

#include <charconv>

#include "protocol/TextUtil.h"

namespace davu::proto {
namespace {

template <class Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> s) {
  auto blank = [](Char c) { return static_cast<std::uint32_t>(c) <= 32; };
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// A number in the program's number format: an optional sign, digits, and at
// most one decimal comma; false for anything else. `zero` tells whether its
// value is 0 (also for numbers too long for any type).
bool ParseNumber(std::string_view t, bool& zero) {
  t = TrimControl(t);
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
  zero = true;
  bool digits = false;
  bool comma = false;
  for (char c : t) {
    if (c == ',' && !comma) {
      comma = true;
      continue;
    }
    if (c < '0' || c > '9') return false;
    digits = true;
    if (c != '0') zero = false;
  }
  return digits;
}

bool IsWord(std::string_view t, std::string_view word) {
  return t.size() == word.size() && FindIgnoreCase(t, word) == 0;
}

}  // namespace

std::string_view TrimControl(std::string_view s) { return Trim(s); }
std::u16string_view TrimControl(std::u16string_view s) { return Trim(s); }

std::int32_t WholeNumberOr0(std::string_view text) {
  text = TrimControl(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return 0;
  }
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

std::optional<std::int64_t> ParseWholeNumber(std::string_view text) {
  text = TrimControl(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool TruthOf(std::string_view text, bool def) {
  bool zero = false;
  if (ParseNumber(text, zero)) return !zero;
  const std::string_view t = TrimControl(text);
  if (IsWord(t, "true")) return true;
  if (IsWord(t, "false")) return false;
  return def;
}

bool WholeNumberTruthOf(std::string_view text) {
  if (const auto v = ParseWholeNumber(text)) return *v != 0;
  return IsWord(TrimControl(text), "true");
}

}  // namespace davu::proto
