#pragma once
// Reading the rows of a RETSQL payload. The payload, as the dispatcher cuts
// it, runs from "¤RETSQL:" through the ':' that opens ":RETSQL¤":
//
//   payload   = "¤RETSQL:" { piece ":" }        (the last ':' is the closing one)
//   piece     = "¤%" { entry "~" } "%¤"
//   entry     = name "|" value                   (first '|' splits; value may hold '|' and ':')
//
// A row piece therefore ends at the first "%¤:". The tag's head stays in
// front of the first piece. A piece whose text before its first ':' is blank
// is skipped. Entries are split at '~' and trimmed of codes 0..32; an empty
// entry ends the row and an entry without '|' is skipped. The value is not
// trimmed again, so blanks right after '|' stay.
//
// The reader walks the payload once, handing out views into it: no copies,
// time linear in the payload. The writer below builds what the reader reads.
#include <string>
#include <string_view>

namespace davu::proto {

class SqlRowReader {
 public:
  explicit SqlRowReader(std::string_view payload) : begin_(payload.data()), rest_(payload) {}

  // Moves to the next row; false when no row piece is left.
  bool nextRow();
  // The next entry of the current row; false when the row has no more.
  bool nextEntry(std::string_view& name, std::string_view& value);
  // Bytes of the payload up to the end of the last piece read. Every piece
  // ends at its first "%¤:", so a reader of the first bytes of a payload
  // reads the same pieces as a reader of the whole, up to here.
  std::size_t used() const { return used_; }

 private:
  const char* begin_;
  std::string_view rest_;     // the payload after the current piece
  std::string_view entries_;  // what is left of the current row's entries
  std::size_t used_ = 0;
};

// Writing a RETSQL reply: the head, the rows joined by ':', the tail. Rows
// are appended to one buffer as the query yields them, so a reply may be
// handed out in pieces between rows.
//
//   reply = "#DATASTART#" "¤RETSQL:" [ row { ":" row } ] ":RETSQL¤" "#DATAEND#"
//   row   = "¤%" { SqlEntryName(column) value "~" } "%¤"
std::string RetSqlHead();
std::string RetSqlTail();

// A column's name with the '|' that ends it: "NAME|". What would end a
// name, an entry or the message ('|', '~', ':', "¤", frame markers) is
// replaced.
std::string SqlEntryName(std::string_view wireName);
// True when `text` travels as it stands, in any encoding: ASCII without
// '~' (ends an entry) or '#' (starts a frame marker).
inline bool SqlValueIsPlain(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80 || c == '~' || c == '#') return false;
  return true;
}
// Appends a value; what would end an entry, a row or the frame is replaced.
void AppendSqlValue(std::string& out, std::string_view wire);
// Appends UTF-8 text as a value, the same bytes as AppendSqlValue of its
// Windows-1252 form, in one pass and without converting it first, when it
// holds only ASCII and U+00A0..U+00FF (the Latin-1 letters and signs, which
// are the same bytes in Windows-1252). Returns false, having appended
// nothing, when it holds anything else: the caller converts it then.
bool AppendLatin1SqlValue(std::string& out, std::string_view utf8);

inline void BeginSqlRow(std::string& out, bool firstRow) {
  if (!firstRow) out += ':';
  out += "\xA4%";
}
inline void EndSqlEntry(std::string& out) { out += '~'; }
inline void EndSqlRow(std::string& out) { out += "%\xA4"; }

}  // namespace davu::proto
