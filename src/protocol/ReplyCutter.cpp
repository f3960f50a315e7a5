#include "protocol/ReplyCutter.h"

#include "protocol/Envelope.h"

namespace davu::proto {

std::optional<std::string> CutReply(std::string& text, std::string_view openingMarker,
                                    std::string_view closingMarker) {
  if (openingMarker.empty()) return std::nullopt;
  const std::size_t from = text.find(openingMarker);
  if (from == std::string::npos) return std::nullopt;
  // The closing marker is looked for behind the opening one (a stray closing
  // marker in front of it must not give a reversed cut). It may share the
  // opening marker's separator: "¤TAG:TAG¤" is a message without fields.
  const std::size_t to = closingMarker.empty()
                             ? std::string::npos
                             : text.find(closingMarker, from + openingMarker.size() - 1);
  if (to == std::string::npos) {
    std::string payload = text.substr(from);
    text.erase(from);
    return payload;
  }
  // The payload keeps the closing marker's separator, so its last field is empty.
  std::string payload = text.substr(from, to + 1 - from);
  text.erase(from, to + closingMarker.size() - from);
  return payload;
}

std::optional<std::string> CutTaggedReply(std::string& text, std::string_view tag, char sep) {
  return CutReply(text, OpeningMarker(tag, sep), ClosingMarker(tag, sep));
}

}  // namespace davu::proto
