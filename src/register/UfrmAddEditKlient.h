#pragma once
// "Lägg till/redigera klient": the dialog in which a client's name, location,
// colour and type are edited. The caller sets `mc` before showing it; "OK"
// stores the fields into `mc`, "Avbryt" leaves it untouched. The client's
// IMEI number and extra text are not shown and stay as they are.
#include <QDialog>

#include "common/Records.h"

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
  davu::MachinePtr mc;

  QLineEdit* edName = nullptr;  // "Datornamn/namn:"
  QLineEdit* edPlace = nullptr;  // "Plats:"
  QFrame* pnlColour = nullptr;  // "Färg"
  QPushButton* btnChooseColour = nullptr;  // "Välj färg..."
  QGroupBox* RadioGroup1 = nullptr;  // "Klienttyp": "Call", "Show"
  QPushButton* btnOk = nullptr;  // "OK"
  QPushButton* btnCancel = nullptr;  // "Avbryt"
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  QLineEdit*& Edit1 = edName;
  QLineEdit*& Edit2 = edPlace;
  QFrame*& Panel6 = pnlColour;
  QPushButton*& BitBtn5 = btnChooseColour;
  QPushButton*& BitBtn1 = btnOk;
  QPushButton*& BitBtn2 = btnCancel;

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
