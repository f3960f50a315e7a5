#pragma once
// What the register's edit dialogs share: the OK/Avbryt row, the colour
// swatch with its picker, and the check of typed text before it goes on the
// wire.
#include <QString>
#include <cstdint>

class QBoxLayout;
class QDialog;
class QFrame;
class QLineEdit;
class QPushButton;

namespace davu {

// The dialog's bottom row: `ok` ("OK", `BitBtn1`, the default button) and
// `cancel` ("Avbryt", `BitBtn2`, which rejects the dialog), at the right.
QBoxLayout* OkCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel);

// The swatch `swatch` shows the register colour `colour`.
void ShowSwatchColour(QFrame* swatch, std::int32_t colour);
// The colour picker opened on `colour`; true, with `colour` changed, when the
// administrator confirms.
bool PickSwatchColour(std::int32_t& colour);

// Nothing is escaped on the wire: a typed separator or tag marker would
// shift the record's fields, and a character the code page lacks would
// arrive as '?'. False, with a balloon at the field that names the
// character, when `field` holds such text; text as the server sent it
// (`loaded`) goes back unchanged.
bool SendableField(QLineEdit* field, const QString& label, const QString& loaded);

}  // namespace davu
