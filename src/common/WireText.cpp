#include "WireText.h"

#include "protocol/WireCodec.h"

QString FromWire(std::string_view bytes) {
  const std::u16string text = davu::proto::DecodeCp1252(bytes);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToWire(const QString& text) {
  return davu::proto::EncodeCp1252(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size())));
}
