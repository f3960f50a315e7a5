#include "ServerText.h"

#include <QString>

#include "protocol/WireCodec.h"

namespace davu::server {

namespace {
bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}
}  // namespace

std::string WireToUtf8(std::string_view wire) {
  if (IsAscii(wire)) return std::string(wire);
  std::u16string u = davu::proto::DecodeCp1252(wire);
  return QString::fromStdU16String(u).toStdString();
}

std::string Utf8ToWire(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  QString q = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  return davu::proto::EncodeCp1252(q.toStdU16String());
}

}  // namespace davu::server
