#pragma once
// The version-information block of a program file, in the binary layout that
// Windows version resources use (VS_VERSIONINFO). Every node is
//
//   u16 wLength        bytes of the node, its children included
//   u16 wValueLength   value size: UTF-16 units for text, bytes for binary
//   u16 wType          1 text, 0 binary
//   UTF-16LE key, zero-terminated, padded to a 4-byte boundary
//   value, padded to a 4-byte boundary
//   children, each starting on a 4-byte boundary
//
// with "VS_VERSION_INFO" (value: the fixed file info) at the root, holding
// "StringFileInfo" -> one table per "<language><code page>" -> text entries,
// and "VarFileInfo" -> "Translation" (pairs of u16 language and code page).
// Offsets are aligned relative to the start of the block. Plain C++: the
// parser only reads inside the given bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace davu::version {

struct Translation {
  std::uint16_t language = 0;
  std::uint16_t codePage = 0;
};

// The first pair of `\VarFileInfo\Translation`, or nothing when the block or
// the value is missing or shorter than one pair.
std::optional<Translation> QueryTranslation(std::string_view block);

// `\StringFileInfo\<table>\<entry>` up to its terminating zero; keys are
// matched without regard to ASCII letter case. Nothing when the entry is
// missing; an empty text when it is there with no characters.
std::optional<std::u16string> QueryString(std::string_view block, std::u16string_view table,
                                          std::u16string_view entry);

// "041d04e4" for language 0x041D and code page 0x04E4.
std::u16string TableName(Translation t);

struct BlockContents {
  std::uint16_t fileVersion[4] = {0, 0, 0, 0};
  std::uint16_t productVersion[4] = {0, 0, 0, 0};
  // Tables in order; the translations list the same pairs unless given.
  struct Table {
    Translation translation;
    std::vector<std::pair<std::u16string, std::u16string>> entries;
  };
  std::vector<Table> tables;
  std::vector<Translation> translations;  // empty: one per table
};

// A complete VS_VERSIONINFO block.
std::string BuildVersionBlock(const BlockContents& contents);

// UTF-8 to UTF-16 for the build tool and tests; invalid bytes become U+FFFD.
std::u16string Utf16FromUtf8(std::string_view s);

}  // namespace davu::version
