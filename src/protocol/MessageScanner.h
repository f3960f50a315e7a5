#pragma once
// Finds whole messages in a text: the one scanner of the client's reply
// dispatcher and the server's request handler.
//
//   message := "¤" TAG SEP body SEP TAG "¤"   (an opening as MatchOpening takes it)
//
// A message runs from its opening marker to the first closing marker behind
// it, which may share the opening marker's separator ("¤TAG:TAG¤" has no
// body). It is never cut by splitting at "¤": bodies carry the admin's name,
// the delete mark and the record end, all with "¤" in them.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Replies.h"

namespace davu::proto {

struct MessageAt {
  enum State { None, Unclosed, Complete };
  State state = None;
  std::size_t from = 0;     // the opening "¤"
  std::size_t kind = 0;     // index into the scanner's kinds, when it has some
  std::size_t tagLen = 0;   // the tag runs from `from` + 1
  char sep = ':';
  std::size_t closeAt = 0;  // the closing marker's separator (Complete only)
  std::size_t end = 0;      // just behind the closing marker (Complete only)

  std::string_view tag(std::string_view text) const { return text.substr(from + 1, tagLen); }
  // Between the separators of the opening and the closing marker.
  std::string_view body(std::string_view text) const {
    const std::size_t b = from + tagLen + 2;
    return closeAt > b ? text.substr(b, closeAt - b) : std::string_view();
  }
  // From the opening "¤" through the closing marker's separator, so field 0
  // is "¤" TAG, the values are fields 1.. and the last field is empty.
  std::string_view payload(std::string_view text) const {
    return text.substr(from, closeAt + 1 - from);
  }
};

class MessageScanner {
 public:
  // With `kinds` empty, any opening of capitals and a separator counts.
  explicit MessageScanner(std::string_view text, std::span<const ReplyKind> kinds = {});

  // The first opening at or after `from`: Complete, Unclosed when the text
  // holds no closing marker for it, or None when no opening is left. Called
  // with rising positions, the scan stays linear in the text: each kind's
  // closing marker is searched once until a message passes it. Any-tag
  // openings have no such memory; their callers stop at an Unclosed one.
  MessageAt next(std::size_t from);

 private:
  struct Search {
    bool done = false;
    std::size_t from = 0;
    std::size_t at = std::string_view::npos;
  };
  std::size_t findClosing(const MessageAt& m);

  std::string_view text_;
  std::span<const ReplyKind> kinds_;
  std::vector<std::string> closing_;  // per kind
  std::vector<Search> last_;          // per kind
  std::string anyClosing_;            // any-tag mode
};

}  // namespace davu::proto
