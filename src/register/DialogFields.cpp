#include "DialogFields.h"

#include <QFrame>
#include <QLineEdit>

#include "CallableList.h"
#include "Dialogs.h"
#include "WireText.h"
#include "platform/Platform.h"

void ShowSwatchColour(QFrame* swatch, std::int32_t colour) {
  QPalette p = swatch->palette();
  p.setColor(QPalette::Window, ColourOf(colour));
  swatch->setPalette(p);
}

bool PickSwatchColour(std::int32_t& colour) {
  QColor chosen = ColourOf(colour);
  if (!platform::dialogs().pickColour(chosen)) return false;
  colour = ColourValue(chosen);
  return true;
}

bool SendableField(QLineEdit* field, const QString& label, const QString& loaded) {
  if (field->text() == loaded) return true;
  const QString bad = FirstUnsendableChar(field->text());
  if (bad.isEmpty()) return true;
  ShowInfoHint(UnsendableCharMessage(label, bad), field);
  field->setFocus();
  return false;
}
