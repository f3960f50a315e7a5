#include "protocol/Replies.h"

namespace davu::proto {
namespace {

constexpr std::size_t kMaxTag = 32;  // longer runs of capitals after "¤" are not tags

bool IsTagChar(char c) { return c >= 'A' && c <= 'Z'; }
bool IsSeparator(char c) { return c == ':' || c == '~' || c == '$'; }

}  // namespace

OpeningMatch MatchOpening(std::string_view text, std::size_t at, std::span<const ReplyKind> kinds) {
  OpeningMatch m;
  std::size_t q = at + 1;
  while (q < text.size() && q - at - 1 <= kMaxTag && IsTagChar(text[q])) ++q;
  const std::size_t tagLen = q - at - 1;
  if (tagLen > kMaxTag) return m;
  const std::string_view tag = text.substr(at + 1, tagLen);
  if (q == text.size()) {
    // The tag or its separator is still to come.
    bool couldBe = kinds.empty();
    for (const ReplyKind& k : kinds) couldBe = couldBe || k.tag.starts_with(tag);
    if (couldBe) m.state = OpeningMatch::Partial;
    return m;
  }
  if (tagLen == 0 || !IsSeparator(text[q])) return m;
  if (kinds.empty()) {
    m.state = OpeningMatch::Match;
  } else {
    for (std::size_t i = 0; i < kinds.size() && m.state == OpeningMatch::None; ++i) {
      if (kinds[i].tag == tag && kinds[i].sep == text[q]) {
        m.state = OpeningMatch::Match;
        m.kind = i;
      }
    }
    if (m.state == OpeningMatch::None) return m;
  }
  m.tagLen = tagLen;
  m.sep = text[q];
  return m;
}

}  // namespace davu::proto
