#include "common/WireText.h"

#include "protocol/Envelope.h"
#include "protocol/TextRules.h"
#include "protocol/WireCodec.h"

namespace davu {

QString FromWire(std::string_view bytes) {
  const std::u16string text = davu::proto::DecodeCp1252(bytes);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString TrimControl(const QString& text) {
  const std::u16string_view all(reinterpret_cast<const char16_t*>(text.utf16()),
                                static_cast<std::size_t>(text.size()));
  const std::u16string_view kept = davu::proto::TrimControl(all);
  return text.mid(kept.data() - all.data(), static_cast<qsizetype>(kept.size()));
}

std::string ToWire(const QString& text) {
  return davu::proto::EncodeCp1252(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size())));
}

QString FirstUnsendableChar(const QString& text) {
  return FirstUnsendableChar(text, davu::proto::kFieldBreakers);
}

QString FirstUnsendableChar(const QString& text, std::string_view breakers) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
      return text.mid(i, 2);
    const char16_t u = c.unicode();
    if (!davu::proto::IsCp1252(u)) return QString(c);
    if (u < 0x100 && breakers.find(static_cast<char>(u)) != std::string_view::npos)
      return QString(c);
  }
  return {};
}

QString UnsendableCharMessage(const QString& label, const QString& bad) {
  QString text = label + QStringLiteral(" får inte innehålla tecknet '") + bad + u'\'';
  if (!bad.isEmpty() && !davu::proto::IsCp1252(bad.front().unicode()))
    text += QStringLiteral(", som inte kan skickas till servern");
  return text;
}

QString ShownText(std::string_view bytes) {
  // One byte is one character in Windows-1252.
  if (bytes.size() <= kShownTextLimit) return FromWire(bytes);
  return FromWire(bytes.substr(0, kShownTextLimit)) + QStringLiteral(" …");
}

}  // namespace davu
