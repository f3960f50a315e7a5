#pragma once
// Wire bytes written as readable text: "¤" and the Swedish letters of a
// UTF-8 literal or a QString become their Windows-1252 bytes, by the
// protocol's own conversion.
#include <QString>
#include <string>
#include <string_view>

#include "protocol/WireCodec.h"

inline std::string W(const QString& text) {
  return davu::proto::EncodeCp1252(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}
inline std::string W(std::string_view utf8) {
  return W(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}
inline std::string W(const char* utf8) { return W(std::string_view(utf8)); }
