#pragma once
// Runs every query TCEVersionInfo makes on a block; the results are thrown away.
#include <string_view>

#include "update/VersionBlock.h"

inline void QueryEverything(std::string_view block) {
  using namespace davu::version;
  const auto tr = QueryTranslation(block);
  const std::u16string table = TableName(tr ? *tr : Translation{0x041D, 0x04E4});
  for (std::u16string_view entry :
       {u"CompanyName", u"FileDescription", u"FileVersion", u"InternalName", u"LegalCopyright",
        u"LegalTradeMarks", u"OriginalFilename", u"ProductName", u"ProductVersion", u"Comments",
        u"SpecialBuild"})
    (void)QueryString(block, table, entry);
}
