#include "register/DialogFields.h"

#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "common/WireText.h"
#include "common/platform/Platform.h"
#include "register/CallableList.h"
#include "widgets/Dialogs.h"

namespace davu {

void ShowSwatchColour(QFrame* swatch, std::int32_t colour) {
  QPalette p = swatch->palette();
  p.setColor(QPalette::Window, ColourOf(colour));
  swatch->setPalette(p);
  // The swatch shows nothing to a screen reader: its name says the colour.
  swatch->setAccessibleName(QStringLiteral("Färg: ") + ColourOf(colour).name());
}

bool PickSwatchColour(std::int32_t& colour) {
  QColor chosen = ColourOf(colour);
  if (!davu::platform::dialogs().pickColour(chosen)) return false;
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

QBoxLayout* OkCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel) {
  ok = new QPushButton(QStringLiteral("OK"));
  ok->setObjectName(QStringLiteral("BitBtn1"));
  ok->setDefault(true);
  cancel = new QPushButton(QStringLiteral("Avbryt"));
  cancel->setObjectName(QStringLiteral("BitBtn2"));
  cancel->setAutoDefault(false);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

}  // namespace davu
