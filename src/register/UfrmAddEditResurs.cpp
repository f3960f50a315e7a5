#include "UfrmAddEditResurs.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "CallableList.h"
#include "DialogFields.h"
#include "Dialogs.h"
#include "KeyboardAccess.h"
#include "UCheckedGroupBox.h"
#include "WireText.h"
#include "platform/Platform.h"

namespace {

QLineEdit* Edit(const char* name) {
  auto* e = new QLineEdit;
  e->setObjectName(QLatin1String(name));
  return e;
}

QLabel* Caption(const QString& text, QWidget* buddy) {
  auto* l = new QLabel(text);
  l->setBuddy(buddy);
  return l;
}

}  // namespace

TfrmAddEditResurs::TfrmAddEditResurs(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAddEditResurs"));
  setWindowTitle(QStringLiteral("Lägg till/redigera resurs"));
  setModal(true);

  GroupBox1 = new QGroupBox(QStringLiteral("Resurserns egenskaper"));
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  CheckBox1 = new QCheckBox(QStringLiteral("Aktiv"));
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  Edit1 = Edit("Edit1");
  Edit2 = Edit("Edit2");
  Panel6 = new QFrame;
  Panel6->setObjectName(QStringLiteral("Panel6"));
  Panel6->setFrameShape(QFrame::Panel);
  Panel6->setFrameShadow(QFrame::Sunken);
  Panel6->setAutoFillBackground(true);
  Panel6->setFixedSize(60, 24);
  BitBtn5 = new QPushButton(QStringLiteral("Välj färg..."));
  BitBtn5->setObjectName(QStringLiteral("BitBtn5"));
  BitBtn5->setAutoDefault(false);

  CheckedGroupBox1 = new TCheckedGroupBox(QStringLiteral("Skicka SMS (kostnad tillkommer)"));
  CheckedGroupBox1->setObjectName(QStringLiteral("CheckedGroupBox1"));
  CheckedGroupBox1->SetCheckedDisables(false);
  Edit3 = Edit("Edit3");
  Edit3->setPlaceholderText(QStringLiteral("Fyll i mobilnummer"));
  auto* sms = new QHBoxLayout(CheckedGroupBox1);
  sms->setContentsMargins(10, 22, 10, 10);
  sms->addWidget(Caption(QStringLiteral("N&ummer:"), Edit3));
  sms->addWidget(Edit3, 1);

  auto* colour = new QHBoxLayout;
  colour->addWidget(Panel6);
  colour->addWidget(BitBtn5);
  colour->addStretch(1);

  auto* grid = new QGridLayout(GroupBox1);
  grid->addWidget(CheckBox1, 0, 1);
  grid->addWidget(Caption(QStringLiteral("&Namn:"), Edit1), 1, 0);
  grid->addWidget(Edit1, 1, 1);
  grid->addWidget(Caption(QStringLiteral("&Fullständigt namn:"), Edit2), 2, 0);
  grid->addWidget(Edit2, 2, 1);
  // The colour is chosen with the button beside its swatch.
  grid->addWidget(Caption(QStringLiteral("Fär&g"), BitBtn5), 3, 0);
  grid->addLayout(colour, 3, 1);
  grid->addWidget(CheckedGroupBox1, 4, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  QBoxLayout* buttons = OkCancelRow(this, BitBtn1, BitBtn2);

  auto* main = new QVBoxLayout(this);
  main->addWidget(GroupBox1);
  main->addLayout(buttons);
  setFixedSize(420, 300);

  davu::keys::PressFocusedButtonOnReturn(this);
  connect(BitBtn1, &QPushButton::clicked, this, &TfrmAddEditResurs::BitBtn1Click);
  connect(BitBtn5, &QPushButton::clicked, this, &TfrmAddEditResurs::BitBtn5Click);
}

void TfrmAddEditResurs::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TfrmAddEditResurs::FormShow() {
  if (!cl) return;
  CheckBox1->setChecked(cl->Aktiv);
  Edit1->setText(cl->CallableName);
  Edit2->setText(cl->CallableFriendlyname);
  SetSwatch(cl->CallableColour);
  CheckedGroupBox1->SetChecked(cl->CallableSendSMS);
  Edit3->setText(cl->CallableMobilnummer);
}

void TfrmAddEditResurs::SetSwatch(std::int32_t colour) {
  FColour = colour;
  ShowSwatchColour(Panel6, colour);
}

void TfrmAddEditResurs::BitBtn5Click() {
  if (PickSwatchColour(FColour)) SetSwatch(FColour);
}

bool TfrmAddEditResurs::Sendable(QLineEdit* field, const QString& label, const QString& loaded) {
  return SendableField(field, label, loaded);
}

void TfrmAddEditResurs::BitBtn1Click() {
  if (Edit1->text().trimmed().isEmpty()) {
    ShowInfoHint(QStringLiteral("Namn får ej vara tomt!"), this);
    return;
  }
  if (Edit2->text().trimmed().isEmpty()) {
    ShowInfoHint(QStringLiteral("Fullständigt namn får ej vara tomt!"), this);
    return;
  }
  const TCallable none;
  const TCallable& was = cl ? *cl : none;
  if (!Sendable(Edit1, QStringLiteral("Namn"), was.CallableName) ||
      !Sendable(Edit2, QStringLiteral("Fullständigt namn"), was.CallableFriendlyname) ||
      !Sendable(Edit3, QStringLiteral("Nummer"), was.CallableMobilnummer))
    return;
  if (cl) {
    // As typed, blanks included.
    cl->CallableName = Edit1->text();
    cl->CallableFriendlyname = Edit2->text();
    cl->CallableColour = FColour;
    cl->CallableSendSMS = CheckedGroupBox1->Checked();
    cl->CallableMobilnummer = Edit3->text();
    cl->Aktiv = CheckBox1->isChecked();
  }
  accept();
}
