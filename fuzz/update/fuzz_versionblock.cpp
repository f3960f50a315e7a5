// The version block parser on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "FuzzQueries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QueryEverything(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
