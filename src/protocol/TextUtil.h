#pragma once
// Field extraction and replacement on wire bytes. All functions are linear in
// the length of their input.
#include <string>
#include <string_view>
#include <vector>

#include "protocol/TextRules.h"

namespace davu::proto {

// Field `index` (from 0) of `text` split at `sep`, trimmed of codes 0..32;
// empty when the text has no such field. A trailing separator is implied, so
// "a:b:" has fields "a", "b", "" and nothing after.
std::string ExtractField(std::string_view text, int index, char sep);

// Splits a payload once; field(i) then costs O(1). Use this for record loops
// instead of calling ExtractField per field.
class FieldList {
 public:
  FieldList(std::string_view text, char sep);
  // Same result as ExtractField(text, i, sep), without the copy.
  std::string_view field(std::size_t i) const;
  // The field as it stands in the text, untrimmed; a view into the text.
  std::string_view raw(std::size_t i) const;
  std::size_t size() const { return fields_.size(); }

 private:
  std::size_t rawEnd(std::size_t i) const;

  std::string_view text_;
  char sep_;
  std::vector<std::string_view> fields_;  // trimmed
};

// Every occurrence replaced in one left-to-right pass; replaced text is not
// searched again. An empty `from` leaves the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// The same with ASCII letters matched regardless of case.
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view from,
                                 std::string_view to);

// Position of `needle` in `text` ignoring ASCII letter case, or npos.
std::size_t FindIgnoreCase(std::string_view text, std::string_view needle,
                           std::size_t from = 0);

}  // namespace davu::proto
