#pragma once
// "Lägg till/redigera klient": the dialog in which a client's name, location,
// colour and type are edited. The caller sets `mc` before showing it; "OK"
// stores the fields into `mc`, "Avbryt" leaves it untouched. The client's
// IMEI number and extra text are not shown and stay as they are.
#include <QDialog>

#include "Records.h"

class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QGroupBox;

class TfrmAddEditKlient : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAddEditKlient(QWidget* parent = nullptr);

  // The client being edited; set before showing.
  MachinePtr mc;

  QLineEdit* Edit1 = nullptr;  // "Datornamn/namn:"
  QLineEdit* Edit2 = nullptr;  // "Plats:"
  QFrame* Panel6 = nullptr;  // "Färg"
  QPushButton* BitBtn5 = nullptr;  // "Välj färg..."
  QGroupBox* RadioGroup1 = nullptr;  // "Klienttyp": "Call", "Show"
  QPushButton* BitBtn1 = nullptr;  // "OK"
  QPushButton* BitBtn2 = nullptr;  // "Avbryt"

  // The chosen entry of "Klienttyp": 0 "Call", 1 "Show".
  int RadioGroup1ItemIndex() const;
  // The colour the swatch shows, as the record keeps it.
  std::int32_t SwatchColour() const { return FColour; }

  void FormShow();
  void BitBtn1Click();
  void BitBtn5Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::int32_t FColour = 0;
  QRadioButton* rbCall = nullptr;
  QRadioButton* rbShow = nullptr;
};
