#include "protocol/SqlRows.h"

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
    const std::size_t end = rest_.find(kPieceEnd);
    if (end == std::string_view::npos) {
      rest_ = {};
      entries_ = {};
      return false;
    }
    const std::string_view piece = rest_.substr(0, end + kPieceEnd.size());
    rest_.remove_prefix(piece.size());
    if (BeginsWithColon(piece)) continue;

    // Entries stand between the first "¤%" and the first "%¤" of the piece.
    // A piece without an opening "¤%" in front of its "%¤" still makes a row,
    // with no entries.
    const std::size_t close = piece.find(kEntriesClose);
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
    const std::size_t tilde = entries_.find('~');
    std::string_view part;
    if (tilde == std::string_view::npos) {
      part = entries_;
      entries_ = {};
    } else {
      part = entries_.substr(0, tilde);
      entries_.remove_prefix(tilde + 1);
    }
    part = TrimControl(part);
    if (part.empty()) {  // an empty part ends the row
      entries_ = {};
      return false;
    }
    const std::size_t bar = part.find('|');
    if (bar == std::string_view::npos) continue;
    name = part.substr(0, bar);
    value = part.substr(bar + 1);
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

}  // namespace davu::proto
