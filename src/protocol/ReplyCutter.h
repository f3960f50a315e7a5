#pragma once
// Taking one reply out of a received text: the payload runs from the first
// opening marker ("¤TAG:") through the separator that starts the first
// closing marker (":TAG¤") after it, so field 0 is "¤TAG", the values are
// fields 1.. and the last field is empty. The whole message is removed from
// the text, and the text before and after it join up.
#include <optional>
#include <string>
#include <string_view>

namespace davu::proto {

// Returns nullopt when `text` has no opening marker. When the closing marker
// is missing, the payload is everything from the opening marker to the end of
// the text and all of it is removed, so a dispatcher never loops on it.
std::optional<std::string> CutReply(std::string& text, std::string_view openingMarker,
                                    std::string_view closingMarker);

// Convenience for the common ":" form: CutReply(text, "¤TAG:", ":TAG¤").
std::optional<std::string> CutTaggedReply(std::string& text, std::string_view tag,
                                          char sep = ':');

}  // namespace davu::proto
