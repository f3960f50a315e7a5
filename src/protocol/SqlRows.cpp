#include "protocol/SqlRows.h"

#include <cstring>

#include "protocol/Envelope.h"
#include "protocol/NeutralText.h"
#include "protocol/TextRules.h"

namespace davu::proto {
namespace {

constexpr std::string_view kPieceEnd{"%\xA4:", 3};  // "%¤:"
constexpr std::string_view kEntriesOpen{"\xA4%", 2};  // "¤%"
constexpr std::string_view kEntriesClose{"%\xA4", 2}; // "%¤"

// True when the piece's text before its first ':' is blank. The piece ends
// in "%¤:", so the trim stops at once at its end.
bool BeginsWithColon(std::string_view piece) {
  const std::string_view t = TrimControl(piece);
  return !t.empty() && t.front() == ':';
}

}  // namespace

bool SqlRowReader::nextRow() {
  for (;;) {
    // One walk over the piece's '%' bytes finds both its end, the first
    // "%¤:", and where its entries end, the first "%¤".
    const char* const base = rest_.data();
    const std::size_t n = rest_.size();
    std::size_t close = std::string_view::npos;
    std::size_t end = std::string_view::npos;
    for (std::size_t i = 0; i + 2 < n;) {
      const void* hit = std::memchr(base + i, '%', n - 2 - i);
      if (!hit) break;
      i = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
      if (base[i + 1] == kEntriesClose[1]) {
        if (close == std::string_view::npos) close = i;
        if (base[i + 2] == ':') {
          end = i;
          break;
        }
      }
      ++i;
    }
    if (end == std::string_view::npos) {
      rest_ = {};
      entries_ = {};
      return false;
    }
    const std::string_view piece = rest_.substr(0, end + kPieceEnd.size());
    rest_.remove_prefix(piece.size());
    used_ = static_cast<std::size_t>(rest_.data() - begin_);
    if (BeginsWithColon(piece)) continue;

    // Entries stand between the first "¤%" and the first "%¤" of the piece.
    // A piece without an opening "¤%" in front of its "%¤" still makes a row,
    // with no entries.
    const std::size_t open = piece.substr(0, close).find(kEntriesOpen);
    if (open == std::string_view::npos) {
      entries_ = {};
    } else {
      const std::size_t from = open + kEntriesOpen.size();
      entries_ = piece.substr(from, close - from);
    }
    return true;
  }
}

bool SqlRowReader::nextEntry(std::string_view& name, std::string_view& value) {
  while (!entries_.empty()) {
    // Names are short: the first '|' is looked for on the way to the '~'.
    const char* const p = entries_.data();
    const std::size_t n = entries_.size();
    std::size_t bar = std::string_view::npos;
    std::size_t i = sqlrows_detail::FindAny(p, n, 0, '~', '|', '|');
    if (i < n && p[i] == '|') {
      bar = i;
      i = sqlrows_detail::FindAny(p, n, i, '~', '~', '~');
    }
    std::string_view part = entries_.substr(0, i);
    if (i < n) {
      entries_.remove_prefix(i + 1);
    } else {
      entries_ = {};
    }
    // Most parts have nothing to trim: two bytes tell.
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    const std::string_view trimmed =
        !part.empty() && !blank(part.front()) && !blank(part.back()) ? part : TrimControl(part);
    if (trimmed.empty()) {  // an empty part ends the row
      entries_ = {};
      return false;
    }
    if (bar == std::string_view::npos) continue;
    // Trimming only moves the part's start and end; the '|' stays inside.
    const std::size_t at = bar - static_cast<std::size_t>(trimmed.data() - part.data());
    name = trimmed.substr(0, at);
    value = trimmed.substr(at + 1);
    return true;
  }
  return false;
}

std::string RetSqlHead() { return std::string(kFrameStart) + OpeningMarker("RETSQL"); }

std::string RetSqlTail() { return ClosingMarker("RETSQL") + std::string(kFrameEnd); }

std::string SqlEntryName(std::string_view wireName) {
  return NeutralText(wireName, "|~:", '_') + '|';
}

void AppendSqlValue(std::string& out, std::string_view wire) {
  if (SqlValueIsPlain(wire)) {
    out.append(wire);
    return;
  }
  out += NeutralText(wire, "~", '-');  // "~" ends an entry
}

bool AppendLatin1SqlValue(std::string& out, std::string_view utf8) {
  const std::size_t start = out.size();
  const std::size_t n = utf8.size();
  std::size_t run = 0;  // start of the bytes that go as they are
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80 && c != '~' && c != '#') continue;
    out.append(utf8.substr(run, i - run));
    if (c == '~') {
      out += '-';  // "~" ends an entry
    } else if (c == '#') {
      const std::string_view rest = utf8.substr(i);
      out += rest.starts_with(kFrameStart) || rest.starts_with(kFrameEnd) ? "# " : "#";
    } else {
      // Two bytes C2/C3 xx are U+0080..U+00FF; below U+00A0 the code page differs.
      const auto next = i + 1 < n ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
      const unsigned code = ((c & 0x1Fu) << 6) | (next & 0x3Fu);
      if ((c != 0xC2 && c != 0xC3) || (next & 0xC0u) != 0x80u || code < 0xA0) {
        out.resize(start);
        return false;
      }
      out += code == static_cast<unsigned char>(kCurrency) ? '?' : static_cast<char>(code);
      ++i;
    }
    run = i + 1;
  }
  out.append(utf8.substr(run));
  return true;
}

}  // namespace davu::proto
