#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/Records.h"

using namespace davu;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  const auto list = DecodeMachineList(payload);
  // Record n starts at field 8(n-1)+1: that many separators and a byte of its own.
  if (!list.empty() && 8 * (list.size() - 1) + 2 > size) std::abort();
  for (const MachinePtr& m : list) {
    if (m->Name.isEmpty()) std::abort();
    (void)MachineItemText(*m);
  }
  return 0;
}
