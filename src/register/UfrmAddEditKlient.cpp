#include "UfrmAddEditKlient.h"

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

#include "DialogFields.h"
#include "Dialogs.h"
#include "KeyboardAccess.h"

TfrmAddEditKlient::TfrmAddEditKlient(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAddEditKlient"));
  setWindowTitle(QStringLiteral("Lägg till/redigera klient"));
  setModal(true);

  auto* group = new QGroupBox(QStringLiteral("Klientens egenskaper"));
  group->setObjectName(QStringLiteral("GroupBox1"));
  Edit1 = new QLineEdit;
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit2 = new QLineEdit;
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Panel6 = new QFrame;
  Panel6->setObjectName(QStringLiteral("Panel6"));
  Panel6->setFrameShape(QFrame::Panel);
  Panel6->setFrameShadow(QFrame::Sunken);
  Panel6->setAutoFillBackground(true);
  Panel6->setMinimumSize(60, 24);
  BitBtn5 = new QPushButton(QStringLiteral("Välj färg..."));
  BitBtn5->setObjectName(QStringLiteral("BitBtn5"));
  BitBtn5->setAutoDefault(false);

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
  colourRow->addWidget(Panel6, 1);
  colourRow->addWidget(BitBtn5);
  auto* form = new QFormLayout(group);
  const auto caption = [](const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text);
    l->setBuddy(buddy);
    return l;
  };
  form->addRow(caption(QStringLiteral("&Datornamn/namn:"), Edit1), Edit1);
  form->addRow(caption(QStringLiteral("&Plats:"), Edit2), Edit2);
  // The colour is chosen with the button beside its swatch.
  form->addRow(caption(QStringLiteral("Fär&g"), BitBtn5), colourRow);
  form->addRow(RadioGroup1);

  QBoxLayout* buttons = OkCancelRow(this, BitBtn1, BitBtn2);

  auto* main = new QVBoxLayout(this);
  main->addWidget(group);
  main->addLayout(buttons);

  davu::keys::PressFocusedButtonOnReturn(this);
  connect(BitBtn1, &QPushButton::clicked, this, &TfrmAddEditKlient::BitBtn1Click);
  connect(BitBtn5, &QPushButton::clicked, this, &TfrmAddEditKlient::BitBtn5Click);

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
  Edit1->setText(mc->Name);
  Edit2->setText(mc->FriendlyName);
  FColour = mc->Color;
  ShowSwatchColour(Panel6, FColour);
  // Only "Call" and "Show" are offered; every other type shows as "Show".
  (mc->MachineType == ctCall ? rbCall : rbShow)->setChecked(true);
}

void TfrmAddEditKlient::BitBtn5Click() {
  if (PickSwatchColour(FColour)) ShowSwatchColour(Panel6, FColour);
}

void TfrmAddEditKlient::BitBtn1Click() {
  if (Edit1->text().trimmed().isEmpty()) {
    ShowInfoHint(QStringLiteral("Namn får ej vara tomt!"), this);
    return;
  }
  if (Edit2->text().trimmed().isEmpty()) {
    ShowInfoHint(QStringLiteral("Plats får ej vara tom!"), this);
    return;
  }
  if (!mc) return;
  if (!SendableField(Edit1, QStringLiteral("Datornamn/namn"), mc->Name) ||
      !SendableField(Edit2, QStringLiteral("Plats"), mc->FriendlyName))
    return;
  // As typed, blanks included; IMEI number and extra text stay unchanged.
  mc->Name = Edit1->text();
  mc->FriendlyName = Edit2->text();
  mc->Color = FColour;
  mc->MachineType = RadioGroup1ItemIndex();
  accept();
}
