#include "server/ServerText.h"

#include <QString>

#include <algorithm>

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

namespace {
bool Unsafe(char16_t c) {
  return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0x200e || c == 0x200f ||
         c == 0x061c || c == 0xfeff;
}
}  // namespace

QString LogSafe(const QString& line, qsizetype maxChars) {
  const qsizetype shown = std::min(line.size(), maxChars);
  QString out;
  out.reserve(shown + 16);
  for (qsizetype i = 0; i < shown; ++i) {
    const char16_t c = line[i].unicode();
    if (!Unsafe(c)) out += line[i];
    else if (c <= 0xff) out += QStringLiteral("\\x%1").arg(unsigned(c), 2, 16, QLatin1Char('0'));
    else out += QStringLiteral("\\u{%1}").arg(unsigned(c), 4, 16, QLatin1Char('0'));
  }
  if (shown < line.size()) out += QStringLiteral("… (%1 more characters)").arg(line.size() - shown);
  return out;
}

}  // namespace davu::server
