#include "register/UfrmAddEditResurs.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/WireText.h"
#include "common/platform/Platform.h"
#include "register/CallableList.h"
#include "register/DialogFields.h"
#include "register/UCheckedGroupBox.h"
#include "widgets/Dialogs.h"
#include "widgets/KeyboardAccess.h"

using namespace davu;

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

  gbProperties = new QGroupBox(QStringLiteral("Resurserns egenskaper"));
  gbProperties->setObjectName(QStringLiteral("GroupBox1"));
  cbActive = new QCheckBox(QStringLiteral("Aktiv"));
  cbActive->setObjectName(QStringLiteral("CheckBox1"));
  edName = Edit("Edit1");
  edFullName = Edit("Edit2");
  pnlColour = new QFrame;
  pnlColour->setObjectName(QStringLiteral("Panel6"));
  pnlColour->setFrameShape(QFrame::Panel);
  pnlColour->setFrameShadow(QFrame::Sunken);
  pnlColour->setAutoFillBackground(true);
  pnlColour->setFixedSize(60, 24);
  btnChooseColour = new QPushButton(QStringLiteral("Välj färg..."));
  btnChooseColour->setObjectName(QStringLiteral("BitBtn5"));
  btnChooseColour->setAutoDefault(false);

  gbSendSms = new TCheckedGroupBox(QStringLiteral("Skicka SMS (kostnad tillkommer)"));
  gbSendSms->setObjectName(QStringLiteral("CheckedGroupBox1"));
  gbSendSms->SetCheckedDisables(false);
  edMobileNumber = Edit("Edit3");
  edMobileNumber->setPlaceholderText(QStringLiteral("Fyll i mobilnummer"));
  auto* sms = new QHBoxLayout(gbSendSms);
  sms->setContentsMargins(10, 22, 10, 10);
  sms->addWidget(Caption(QStringLiteral("N&ummer:"), edMobileNumber));
  sms->addWidget(edMobileNumber, 1);

  auto* colour = new QHBoxLayout;
  colour->addWidget(pnlColour);
  colour->addWidget(btnChooseColour);
  colour->addStretch(1);

  auto* grid = new QGridLayout(gbProperties);
  grid->addWidget(cbActive, 0, 1);
  grid->addWidget(Caption(QStringLiteral("&Namn:"), edName), 1, 0);
  grid->addWidget(edName, 1, 1);
  grid->addWidget(Caption(QStringLiteral("&Fullständigt namn:"), edFullName), 2, 0);
  grid->addWidget(edFullName, 2, 1);
  // The colour is chosen with the button beside its swatch.
  grid->addWidget(Caption(QStringLiteral("Fär&g"), btnChooseColour), 3, 0);
  grid->addLayout(colour, 3, 1);
  grid->addWidget(gbSendSms, 4, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  QBoxLayout* buttons = OkCancelRow(this, btnOk, btnCancel);

  auto* main = new QVBoxLayout(this);
  main->addWidget(gbProperties);
  main->addLayout(buttons);
  setFixedSize(420, 300);

  davu::keys::PressFocusedButtonOnReturn(this);
  connect(btnOk, &QPushButton::clicked, this, &TfrmAddEditResurs::BitBtn1Click);
  connect(btnChooseColour, &QPushButton::clicked, this, &TfrmAddEditResurs::BitBtn5Click);
}

void TfrmAddEditResurs::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TfrmAddEditResurs::FormShow() {
  if (!cl) return;
  cbActive->setChecked(cl->Aktiv);
  edName->setText(cl->CallableName);
  edFullName->setText(cl->CallableFriendlyname);
  SetSwatch(cl->CallableColour);
  gbSendSms->SetChecked(cl->CallableSendSMS);
  edMobileNumber->setText(cl->CallableMobilnummer);
}

void TfrmAddEditResurs::SetSwatch(std::int32_t colour) {
  FColour = colour;
  ShowSwatchColour(pnlColour, colour);
}

void TfrmAddEditResurs::BitBtn5Click() {
  if (PickSwatchColour(FColour)) SetSwatch(FColour);
}

bool TfrmAddEditResurs::Sendable(QLineEdit* field, const QString& label, const QString& loaded) {
  return SendableField(field, label, loaded);
}

void TfrmAddEditResurs::BitBtn1Click() {
  if (edName->text().trimmed().isEmpty()) {
    ShowInfoHint(QStringLiteral("Namn får ej vara tomt!"), this);
    return;
  }
  if (edFullName->text().trimmed().isEmpty()) {
    ShowInfoHint(QStringLiteral("Fullständigt namn får ej vara tomt!"), this);
    return;
  }
  const TCallable none;
  const TCallable& was = cl ? *cl : none;
  if (!Sendable(edName, QStringLiteral("Namn"), was.CallableName) ||
      !Sendable(edFullName, QStringLiteral("Fullständigt namn"), was.CallableFriendlyname) ||
      !Sendable(edMobileNumber, QStringLiteral("Nummer"), was.CallableMobilnummer))
    return;
  if (cl) {
    // As typed, blanks included.
    cl->CallableName = edName->text();
    cl->CallableFriendlyname = edFullName->text();
    cl->CallableColour = FColour;
    cl->CallableSendSMS = gbSendSms->Checked();
    cl->CallableMobilnummer = edMobileNumber->text();
    cl->Aktiv = cbActive->isChecked();
  }
  accept();
}
