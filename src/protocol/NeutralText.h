#pragma once
// A text as it may stand inside a message or an error reply without changing
// how the receiver cuts the stream. Nothing on the wire is escaped, so what
// could be read as structure is replaced instead:
//   "¤"                      -> "?"    (every marker starts with it)
//   "#DATASTART#" "#DATAEND#" -> "# DATASTART#" "# DATAEND#" (frame markers)
//   each byte of `cutters`   -> `standIn` (the message's separators)
// Wire bytes in and out; one pass, linear in the text.
#include <string>
#include <string_view>

namespace davu::proto {

std::string NeutralText(std::string_view wire, std::string_view cutters = {},
                        char standIn = '?');

// An error reply: "ERROR: " and the text, neutral. It has no closing marker
// of its own, so nothing in it may read as a marker.
std::string ErrorReply(std::string_view wireText);

// A text as one field of a message whose separator is `sep`: the separator
// stands in as ';' when it is ':', as '-' otherwise.
std::string FieldText(std::string_view wire, char sep);

}  // namespace davu::proto
