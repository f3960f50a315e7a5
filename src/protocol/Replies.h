#pragma once
// The replies the administration client understands on its main connection,
// and how a reply's opening marker is recognised in received bytes.
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace davu::proto {

// A reply: "¤" TAG SEP ... SEP TAG "¤".
struct ReplyKind {
  std::string_view tag;
  char sep = ':';
};

// The main connection's replies, in the order the dispatcher hands them on
// when one text holds several.
inline constexpr std::array<ReplyKind, 10> kMainReplies{{
    {"RETSERVERVERSION", ':'},
    {"RETINITEXT", ':'},
    {"RETSQL", ':'},
    {"RETKLINIKNAMN", ':'},
    {"RETSMSSETTINGS", ':'},
    {"DAVUCLIENTDATA", ':'},
    {"RETALLMACHINES", ':'},
    {"RETCALLLIST", '~'},
    {"RETSTATIONCALLABLES", ':'},
    {"RETALLCALLABLES", ':'},
}};

inline constexpr std::string_view kErrorReply = "ERROR:";

// What stands at a "¤" in a text.
struct OpeningMatch {
  enum State { None, Partial, Match };
  State state = None;
  std::size_t kind = 0;    // index into the kinds, when they were given
  std::size_t tagLen = 0;  // the tag runs from at + 1 for tagLen bytes
  char sep = ':';
};

// Whether text[at] (a "¤") opens a message. With `kinds` empty any tag of
// capitals followed by ":", "~" or "$" does; otherwise only the kinds given.
// Partial: the text ends before this is decided.
OpeningMatch MatchOpening(std::string_view text, std::size_t at, std::span<const ReplyKind> kinds);

}  // namespace davu::proto
