#include "register/UfrmAddEditKlient.h"

#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "register/DialogFields.h"
#include "widgets/Dialogs.h"
#include "widgets/KeyboardAccess.h"

using namespace davu;

TfrmAddEditKlient::TfrmAddEditKlient(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAddEditKlient"));
  setWindowTitle(QStringLiteral("Lägg till/redigera klient"));
  setModal(true);

  auto* group = new QGroupBox(QStringLiteral("Klientens egenskaper"));
  group->setObjectName(QStringLiteral("GroupBox1"));
  edName = new QLineEdit;
  edName->setObjectName(QStringLiteral("Edit1"));
  edPlace = new QLineEdit;
  edPlace->setObjectName(QStringLiteral("Edit2"));
  pnlColour = new QFrame;
  pnlColour->setObjectName(QStringLiteral("Panel6"));
  pnlColour->setFrameShape(QFrame::Panel);
  pnlColour->setFrameShadow(QFrame::Sunken);
  pnlColour->setAutoFillBackground(true);
  pnlColour->setMinimumSize(60, 24);
  btnChooseColour = new QPushButton(QStringLiteral("Välj färg..."));
  btnChooseColour->setObjectName(QStringLiteral("BitBtn5"));
  btnChooseColour->setAutoDefault(false);

  RadioGroup1 = new QGroupBox(QStringLiteral("Klienttyp"));
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  rbCall = new QRadioButton(QStringLiteral("Call"));
  rbCall->setObjectName(QStringLiteral("RadioGroup1Call"));
  rbShow = new QRadioButton(QStringLiteral("Show"));
  rbShow->setObjectName(QStringLiteral("RadioGroup1Show"));
  auto* types = new QGridLayout(RadioGroup1);  // two columns
  types->addWidget(rbCall, 0, 0);
  types->addWidget(rbShow, 0, 1);

  auto* colourRow = new QHBoxLayout;
  colourRow->addWidget(pnlColour, 1);
  colourRow->addWidget(btnChooseColour);
  auto* form = new QFormLayout(group);
  const auto caption = [](const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text);
    l->setBuddy(buddy);
    return l;
  };
  form->addRow(caption(QStringLiteral("&Datornamn/namn:"), edName), edName);
  form->addRow(caption(QStringLiteral("&Plats:"), edPlace), edPlace);
  // The colour is chosen with the button beside its swatch.
  form->addRow(caption(QStringLiteral("Fär&g"), btnChooseColour), colourRow);
  form->addRow(RadioGroup1);

  QBoxLayout* buttons = OkCancelRow(this, btnOk, btnCancel);

  auto* main = new QVBoxLayout(this);
  main->addWidget(group);
  main->addLayout(buttons);

  davu::keys::PressFocusedButtonOnReturn(this);
  connect(btnOk, &QPushButton::clicked, this, &TfrmAddEditKlient::BitBtn1Click);
  connect(btnChooseColour, &QPushButton::clicked, this, &TfrmAddEditKlient::BitBtn5Click);

  resize(380, sizeHint().height());
  setFixedSize(size());
}

int TfrmAddEditKlient::RadioGroup1ItemIndex() const {
  if (rbCall->isChecked()) return ctCall;
  if (rbShow->isChecked()) return ctShow;
  return -1;
}

void TfrmAddEditKlient::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TfrmAddEditKlient::FormShow() {
  if (!mc) return;
  edName->setText(mc->Name);
  edPlace->setText(mc->FriendlyName);
  FColour = mc->Color;
  ShowSwatchColour(pnlColour, FColour);
  // Only "Call" and "Show" are offered; every other type shows as "Show".
  (mc->MachineType == ctCall ? rbCall : rbShow)->setChecked(true);
}

void TfrmAddEditKlient::BitBtn5Click() {
  if (PickSwatchColour(FColour)) ShowSwatchColour(pnlColour, FColour);
}

void TfrmAddEditKlient::BitBtn1Click() {
  if (edName->text().trimmed().isEmpty()) {
    ShowInfoHint(QStringLiteral("Namn får ej vara tomt!"), this);
    return;
  }
  if (edPlace->text().trimmed().isEmpty()) {
    ShowInfoHint(QStringLiteral("Plats får ej vara tom!"), this);
    return;
  }
  if (!mc) return;
  if (!SendableField(edName, QStringLiteral("Datornamn/namn"), mc->Name) ||
      !SendableField(edPlace, QStringLiteral("Plats"), mc->FriendlyName))
    return;
  // As typed, blanks included; IMEI number and extra text stay unchanged.
  mc->Name = edName->text();
  mc->FriendlyName = edPlace->text();
  mc->Color = FColour;
  mc->MachineType = RadioGroup1ItemIndex();
  accept();
}
