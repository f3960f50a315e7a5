#pragma once
// Conversion between the wire's Windows-1252 bytes and the UTF-8 the database
// holds (pure ASCII, the common case, is copied without conversion), and
// client text made safe for the log.
#include <QString>

#include <string>
#include <string_view>

namespace davu::server {

std::string WireToUtf8(std::string_view wire);
std::string Utf8ToWire(std::string_view utf8);

// A log line as it may be written: every control character (C0, DEL, C1,
// line and paragraph separators, direction overrides) written as \xNN or
// \u{NNNN}, so that text from a client can never start a line of its own or
// rewrite what a terminal shows; longer than maxChars it is cut, saying how
// much was left out.
QString LogSafe(const QString& line, qsizetype maxChars = 4096);

}  // namespace davu::server
