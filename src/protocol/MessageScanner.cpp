#include "protocol/MessageScanner.h"

#include "protocol/Envelope.h"

namespace davu::proto {

MessageScanner::MessageScanner(std::string_view text, std::span<const ReplyKind> kinds)
    : text_(text), kinds_(kinds), last_(kinds.size()) {
  closing_.reserve(kinds.size());
  for (const ReplyKind& k : kinds) closing_.push_back(ClosingMarker(k.tag, k.sep));
}

MessageAt MessageScanner::next(std::size_t from) {
  // Messages mostly stand back to back: the next one starts where this search does.
  std::size_t p = from < text_.size() && text_[from] == kCurrency ? from : text_.find(kCurrency, from);
  for (; p != std::string_view::npos; p = text_.find(kCurrency, p + 1)) {
    const OpeningMatch o = MatchOpening(text_, p, kinds_);
    if (o.state != OpeningMatch::Match) continue;
    MessageAt m;
    m.from = p;
    m.kind = o.kind;
    m.tagLen = o.tagLen;
    m.sep = o.sep;
    const std::size_t to = findClosing(m);
    if (to == std::string_view::npos) {
      m.state = MessageAt::Unclosed;
      return m;
    }
    m.state = MessageAt::Complete;
    m.closeAt = to;
    m.end = to + m.tagLen + 2;
    return m;
  }
  return {};
}

// The closing marker may share the opening marker's separator.
std::size_t MessageScanner::findClosing(const MessageAt& m) {
  const std::size_t from = m.from + 1 + m.tagLen;
  if (kinds_.empty()) {
    anyClosing_.assign(1, m.sep);
    anyClosing_.append(m.tag(text_));
    anyClosing_ += kCurrency;
    return text_.find(anyClosing_, from);
  }
  // A search that found its marker at or behind this start answers it too,
  // so the text is searched once per kind, however many openings stand in it.
  Search& s = last_[m.kind];
  if (!s.done || s.from > from || (s.at != std::string_view::npos && s.at < from))
    s = Search{true, from, text_.find(closing_[m.kind], from)};
  return s.at;
}

}  // namespace davu::proto
