// The PE resource walker on arbitrary files, then the block it finds.
#include <cstddef>
#include <cstdint>

#include "FuzzQueries.h"
#include "update/ExecutableImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  if (const auto block = davu::version::FindPeVersionResource(file)) QueryEverything(*block);
  return 0;
}
