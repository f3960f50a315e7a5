#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/Records.h"

using namespace davu;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  const auto list = DecodeCallableList(payload);
  // Record n starts at field 7(n-1)+1: that many separators and a byte of its own.
  if (!list.empty() && 7 * (list.size() - 1) + 2 > size) std::abort();
  for (const CallablePtr& c : list) {
    if (c->CallableName.isEmpty() || c->Updated) std::abort();
    (void)CallableItemText(*c);
  }
  return 0;
}
