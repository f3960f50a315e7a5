#pragma once
// Windows-1252, the single-byte code page of the wire. Every byte value
// round-trips: the five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as the Windows
// conversion does. A character the code page lacks is sent as "?".
#include <string>
#include <string_view>

namespace davu::proto {

std::u16string DecodeCp1252(std::string_view bytes);
std::string EncodeCp1252(std::u16string_view text);
// True when the code page carries `c` (a surrogate half never counts).
bool IsCp1252(char16_t c);
// Appends the UTF-8 form of Windows-1252 bytes to `out` (files for other
// programs are written in UTF-8).
void AppendCp1252AsUtf8(std::string& out, std::string_view bytes);

}  // namespace davu::proto
