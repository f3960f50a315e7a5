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

// A main-connection reply by its place in kMainReplies (MainReply::RetSql).
struct MainReply {
  enum Kind : std::size_t {
    RetServerVersion,
    RetIniText,
    RetSql,
    RetKlinikNamn,
    RetSmsSettings,
    DavuClientData,
    RetAllMachines,
    RetCallList,
    RetStationCallables,
    RetAllCallables,
  };
};
static_assert(kMainReplies[MainReply::RetServerVersion].tag == "RETSERVERVERSION");
static_assert(kMainReplies[MainReply::RetIniText].tag == "RETINITEXT");
static_assert(kMainReplies[MainReply::RetSql].tag == "RETSQL");
static_assert(kMainReplies[MainReply::RetKlinikNamn].tag == "RETKLINIKNAMN");
static_assert(kMainReplies[MainReply::RetSmsSettings].tag == "RETSMSSETTINGS");
static_assert(kMainReplies[MainReply::DavuClientData].tag == "DAVUCLIENTDATA");
static_assert(kMainReplies[MainReply::RetAllMachines].tag == "RETALLMACHINES");
static_assert(kMainReplies[MainReply::RetCallList].tag == "RETCALLLIST");
static_assert(kMainReplies[MainReply::RetStationCallables].tag == "RETSTATIONCALLABLES");
static_assert(kMainReplies[MainReply::RetAllCallables].tag == "RETALLCALLABLES");
static_assert(kMainReplies.size() == MainReply::RetAllCallables + 1);

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
