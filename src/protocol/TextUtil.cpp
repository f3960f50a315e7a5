#include "protocol/TextUtil.h"

#include <algorithm>

namespace davu::proto {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

std::string ExtractField(std::string_view text, int index, char sep) {
  if (index < 0) return {};
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const std::size_t p = text.find(sep, start);
    if (p == std::string_view::npos) return {};
    start = p + 1;
  }
  std::size_t end = text.find(sep, start);
  if (end == std::string_view::npos) end = text.size();
  return std::string(TrimControl(text.substr(start, end - start)));
}

FieldList::FieldList(std::string_view text, char sep) : text_(text), sep_(sep) {
  // One counting pass sizes the list exactly: no regrowth for large payloads.
  fields_.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), sep)) + 1);
  std::size_t start = 0;
  for (;;) {
    const std::size_t p = text.find(sep, start);
    if (p == std::string_view::npos) {
      fields_.push_back(TrimControl(text.substr(start)));
      break;
    }
    fields_.push_back(TrimControl(text.substr(start, p - start)));
    start = p + 1;
  }
}

std::string_view FieldList::field(std::size_t i) const {
  return i < fields_.size() ? fields_[i] : std::string_view{};
}

// A trimmed field ends where its blanks before the next separator begin
// (a blank field: at that separator), so its raw end is found from there.
std::size_t FieldList::rawEnd(std::size_t i) const {
  const auto trimmedEnd = static_cast<std::size_t>(fields_[i].data() - text_.data()) + fields_[i].size();
  const std::size_t p = text_.find(sep_, trimmedEnd);
  return p == std::string_view::npos ? text_.size() : p;
}

std::string_view FieldList::raw(std::size_t i) const {
  if (i >= fields_.size()) return {};
  const std::size_t start = i == 0 ? 0 : rawEnd(i - 1) + 1;
  return text_.substr(start, rawEnd(i) - start);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (;;) {
    const std::size_t p = text.find(from, start);
    if (p == std::string_view::npos) break;
    out.append(text, start, p - start);
    out += to;
    start = p + from.size();
  }
  out.append(text, start);
  return out;
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  if (needle.size() > text.size() - from) return std::string_view::npos;
  const char first = LowerAscii(needle[0]);
  const std::size_t last = text.size() - needle.size();
  for (std::size_t i = from; i <= last; ++i) {
    if (LowerAscii(text[i]) != first) continue;
    std::size_t k = 1;
    while (k < needle.size() && LowerAscii(text[i + k]) == LowerAscii(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view from,
                                 std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (;;) {
    const std::size_t p = FindIgnoreCase(text, from, start);
    if (p == std::string_view::npos) break;
    out.append(text, start, p - start);
    out += to;
    start = p + from.size();
  }
  out.append(text, start);
  return out;
}

}  // namespace davu::proto
