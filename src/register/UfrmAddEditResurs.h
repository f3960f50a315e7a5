#pragma once
// "Lägg till/redigera resurs": the properties of one resource. The caller
// sets `cl` before showing the dialog; "OK" writes the edits into that record
// in place (the caller then sends it), "Avbryt" leaves it untouched.
#include <QDialog>

#include "Records.h"

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

  CallablePtr cl;

  QGroupBox* GroupBox1 = nullptr;  // "Resurserns egenskaper"
  QCheckBox* CheckBox1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QFrame* Panel6 = nullptr;
  QPushButton* BitBtn5 = nullptr;
  TCheckedGroupBox* CheckedGroupBox1 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;

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
