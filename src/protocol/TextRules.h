#pragma once
// How texts on the wire are read as numbers and truth values, and how they
// are trimmed. Both programs read the same texts, so the rules live here
// once. The client and the server read truth texts and whole numbers
// differently (the server refuses what it cannot read exactly, the client
// falls back); both rules are kept, each named after what it accepts.
// Wire bytes in; every function is linear in its input.
#include <cstdint>
#include <optional>
#include <string_view>

namespace davu::proto {

// Trims characters with codes 0..32 at both ends.
std::string_view TrimControl(std::string_view s);
std::u16string_view TrimControl(std::u16string_view s);

// The client's whole number: trimmed, an optional "+" or "-", decimal digits,
// within 32 bits. Anything else gives 0 ("12x", "+-1", "2147483648").
std::int32_t WholeNumberOr0(std::string_view text);

// The server's whole number: trimmed, an optional "+", then a 64-bit integer
// as std::from_chars reads it (so "+-5" is -5); nullopt for anything else.
std::optional<std::int64_t> ParseWholeNumber(std::string_view text);

// The client's truth text: a number in the program's number format (an
// optional sign, digits and at most one decimal comma: "1,5", "-0,25") is
// true unless it is zero ("0,0"); "True" and "False" in any letter case;
// anything else gives `def`.
bool TruthOf(std::string_view text, bool def);

// The server's truth text: a whole number (ParseWholeNumber) other than 0,
// or "True" in any letter case. Everything else is false.
bool WholeNumberTruthOf(std::string_view text);

// How the register's truth values travel: "-1" and "0" for flags, "T" and
// "F" for a resource's active state (any text but "F" is active).
inline constexpr std::string_view kTrueNumber = "-1";
inline constexpr std::string_view kFalseNumber = "0";
inline constexpr std::string_view kActiveText = "T";
inline constexpr std::string_view kInactiveText = "F";

}  // namespace davu::proto
