// Cuts every reply of a few tags out of the input the way the dispatcher
// does, and reads each payload's fields both ways.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/ReplyCutter.h"
#include "protocol/TextUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const char sep = ":~$"[data[0] % 3];
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  static const std::string_view kTags[] = {"RETSQL", "RETINITEXT", "RETCALLLIST", "A"};
  for (std::string_view tag : kTags) {
    for (;;) {
      const std::size_t before = text.size();
      const auto payload = davu::proto::CutTaggedReply(text, tag, sep);
      if (!payload) break;
      if (text.size() >= before) std::abort();  // every cut consumes something
      const davu::proto::FieldList fields(*payload, sep);
      for (std::size_t i = 0; i <= fields.size() && i < 64; ++i)
        if (fields.field(i) != davu::proto::ExtractField(*payload, int(i), sep)) std::abort();
    }
  }

  // Replacing with pieces of the input itself.
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::string_view from = all.substr(0, std::min<std::size_t>(size, data[0] % 5));
  if (davu::proto::ReplaceAll(all, from, from) != all) std::abort();
  if (davu::proto::ReplaceAllIgnoreCase(all, from, "").size() > all.size()) std::abort();
  if (davu::proto::ReplaceAll(all, from, "").size() > all.size()) std::abort();
  return 0;
}
