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
// time linear in the payload.
#include <string_view>

namespace davu::proto {

class SqlRowReader {
 public:
  explicit SqlRowReader(std::string_view payload) : rest_(payload) {}

  // Moves to the next row; false when no row piece is left.
  bool nextRow();
  // The next entry of the current row; false when the row has no more.
  bool nextEntry(std::string_view& name, std::string_view& value);

 private:
  std::string_view rest_;     // the payload after the current piece
  std::string_view entries_;  // what is left of the current row's entries
};

}  // namespace davu::proto
