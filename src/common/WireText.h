#pragma once
// The edge between wire bytes (Windows-1252) and Qt text.
#include <QString>
#include <string>
#include <string_view>

namespace davu {

QString FromWire(std::string_view bytes);
// A text from a peer as it may be shown to a person: at most
// kShownTextLimit characters, then " …". Cut before it is converted, so a
// text of megabytes costs no more than its first characters.
inline constexpr std::size_t kShownTextLimit = 1000;
QString ShownText(std::string_view bytes);
// The text without characters of codes 0..32 at either end, as
// davu::proto::TrimControl trims wire bytes.
QString TrimControl(const QString& text);
std::string ToWire(const QString& text);

// The first character of `text` that cannot travel as a field value: one that
// would split or cut a message (':', '~', '¤') or one Windows-1252 lacks (it
// would arrive as '?'). Empty when the whole text can be sent.
// `breakers` are the bytes that break the message the text travels in.
QString FirstUnsendableChar(const QString& text, std::string_view breakers);
QString FirstUnsendableChar(const QString& text);
// "Namn får inte innehålla tecknet ':'", for the field named `label` and the
// character `bad` that FirstUnsendableChar found.
QString UnsendableCharMessage(const QString& label, const QString& bad);

}  // namespace davu
