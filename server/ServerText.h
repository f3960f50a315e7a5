#pragma once
// Conversion between the wire's Windows-1252 bytes and the UTF-8 the database
// holds. Pure ASCII, the common case, is copied without conversion.
#include <string>
#include <string_view>

namespace davu::server {

std::string WireToUtf8(std::string_view wire);
std::string Utf8ToWire(std::string_view utf8);

}  // namespace davu::server
