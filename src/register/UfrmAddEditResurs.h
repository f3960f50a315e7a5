#pragma once
// "Lägg till/redigera resurs": the properties of one resource. The caller
// sets `cl` before showing the dialog; "OK" writes the edits into that record
// in place (the caller then sends it), "Avbryt" leaves it untouched.
#include <QDialog>

#include "common/Records.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TCheckedGroupBox;

class TfrmAddEditResurs : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAddEditResurs(QWidget* parent = nullptr);

  davu::CallablePtr cl;

  QGroupBox* gbProperties = nullptr;  // "Resurserns egenskaper"
  QCheckBox* cbActive = nullptr;
  QLineEdit* edName = nullptr;
  QLineEdit* edFullName = nullptr;
  QFrame* pnlColour = nullptr;
  QPushButton* btnChooseColour = nullptr;
  TCheckedGroupBox* gbSendSms = nullptr;
  QLineEdit* edMobileNumber = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  QGroupBox*& GroupBox1 = gbProperties;
  QCheckBox*& CheckBox1 = cbActive;
  QLineEdit*& Edit1 = edName;
  QLineEdit*& Edit2 = edFullName;
  QFrame*& Panel6 = pnlColour;
  QPushButton*& BitBtn5 = btnChooseColour;
  TCheckedGroupBox*& CheckedGroupBox1 = gbSendSms;
  QLineEdit*& Edit3 = edMobileNumber;
  QPushButton*& BitBtn1 = btnOk;
  QPushButton*& BitBtn2 = btnCancel;

  // The colour the swatch shows, as the record keeps it.
  std::int32_t SwatchColour() const { return FColour; }

  // Every control takes its value from `cl`.
  void FormShow();
  void BitBtn1Click();
  void BitBtn5Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetSwatch(std::int32_t colour);
  // False, with a balloon at the field, when a typed text cannot be sent.
  bool Sendable(QLineEdit* field, const QString& label, const QString& loaded);

  std::int32_t FColour = 0;
};
