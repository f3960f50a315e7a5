#pragma once
// A message is "¤" TAG SEP field SEP field ... SEP TAG "¤", written back to
// back with other messages and never escaped. Long messages travel inside
// "#DATASTART#" ... "#DATAEND#". Everything here is wire bytes (Windows-1252),
// so "¤" is the byte 0xA4.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace davu::proto {

inline constexpr char kCurrency = '\xA4';                 // "¤"
inline constexpr std::string_view kCurrencyStr{"\xA4", 1};
// The frame markers are assembled at start-up rather than spelled as
// literals: davu-admin's own program file travels inside a frame to the
// clients that update themselves, so it must not carry the markers in its
// bytes. Initialised before any namespace-scope value of a file that
// includes this header.
std::string_view FrameStartMarker();  // "#DATASTART#"
std::string_view FrameEndMarker();    // "#DATAEND#"
inline const std::string_view kFrameStart = FrameStartMarker();
inline const std::string_view kFrameEnd = FrameEndMarker();

// Bytes a field value must not hold, since nothing is escaped: the field
// separators ':' and '~' and the tag marker "¤". One of them in a value
// shifts the fields of its record or cuts the message it travels in.
inline constexpr std::string_view kFieldBreakers{":~\xA4", 3};
// The same for a message whose fields never travel in a '~' list (the SMS
// account): only ':' and "¤" break it.
inline constexpr std::string_view kColonFieldBreakers{":\xA4", 2};

// "¤" + tag + sep + fields joined by sep + sep + tag + "¤".
std::string BuildMessage(std::string_view tag, char sep,
                         std::initializer_list<std::string_view> fields);
// The same for fields gathered in a list (records of a reply).
std::string BuildMessage(std::string_view tag, char sep, const std::vector<std::string>& fields);

// "#DATASTART#" + message + "#DATAEND#".
std::string Frame(std::string_view message);

// The opening and closing markers of a tag: "¤TAG:" and ":TAG¤".
std::string OpeningMarker(std::string_view tag, char sep = ':');
std::string ClosingMarker(std::string_view tag, char sep = ':');

}  // namespace davu::proto
