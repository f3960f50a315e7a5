#pragma once
// Hands the replies of one received text to their owners, in one pass over
// the text.
//
//   text  := { reply | "ERROR:" | other }
//   reply := "¤" TAG SEP ... SEP TAG "¤"   of a known kind; it ends at the
//            first closing marker behind its opening marker. An opening
//            marker whose closing marker is not in the text opens nothing.
//
// Replies are handed on in rounds, not in the order of arrival: the first
// reply of each kind in the order of the kinds, then the second of each kind,
// and so on. The payload runs from the opening "¤" through the closing
// marker's separator, so field 0 is "¤" TAG and the last field is empty.
// The error text runs from the first "ERROR:" outside a reply to the end of
// the text, with the replies in it taken out; its message is what follows
// "ERROR:" and the one character after it. A reply directly in front of a
// shown error may count as broken off by it (ReplyRoutes::errorBreaksOff).
#include <cstddef>
#include <span>
#include <string_view>

#include "protocol/Replies.h"

namespace davu::proto {

class ReplyRoutes {
 public:
  virtual ~ReplyRoutes() = default;
  // A reply of kinds[kind]. False stops the handing on: the rest of the text
  // is dropped, error included.
  virtual bool reply(std::size_t kind, std::string_view payload) = 0;
  // The message of an error reply, after all replies; never for "ERROR: 001".
  virtual void error(std::string_view message) = 0;
  // The text held no error reply and nothing stopped: the last call.
  virtual void settled() = 0;
  // True when a reply of kinds[kind] that an error reply follows directly
  // (blanks between at most) was broken off by the server: such a reply is
  // not handed on, its error is.
  virtual bool errorBreaksOff(std::size_t /*kind*/) const { return false; }
};

void DispatchText(std::string_view text, std::span<const ReplyKind> kinds, ReplyRoutes& routes);

// A version text without its dots, read as a whole number; 0 when it is not
// one. "1.10.1" gives 1101.
int VersionNumber(std::string_view version);

}  // namespace davu::proto
