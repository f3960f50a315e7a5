#pragma once
// A group box with a small tick box on its frame beside the caption. The
// tick enables or disables every control inside the group, so a block of
// settings is switched on and off with one click.
//
// `Enabled` is the tick box's enabled state, not the group box's own: a
// disabled group disables its children one by one and keeps its frame, so
// that nested groups and the rule below stay in step.
#include <QGroupBox>

class QCheckBox;

class TCheckedGroupBox : public QGroupBox {
  Q_OBJECT
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
  Q_PROPERTY(bool CheckedDisables READ CheckedDisables WRITE SetCheckedDisables)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(TCaptionPositions CaptionPosition READ CaptionPosition WRITE SetCaptionPosition)
  Q_PROPERTY(TCheckBoxPositions CheckBoxPosition READ CheckBoxPosition WRITE SetCheckBoxPosition)

 public:
  enum TCaptionPositions { cpTopLeft, cpBottomLeft };
  enum TCheckBoxPositions { cbpTopLeft, cbpBottomLeft };
  Q_ENUM(TCaptionPositions)
  Q_ENUM(TCheckBoxPositions)

  // The tick box: 15 x 15, no caption, 8 from the left edge.
  static constexpr int kBoxSize = 15;
  static constexpr int kBoxLeft = 8;

  explicit TCheckedGroupBox(const QString& caption = QString(), QWidget* parent = nullptr);

  bool Checked() const;
  void SetChecked(bool value);
  bool CheckedDisables() const { return FCheckedDisables; }
  void SetCheckedDisables(bool value);
  bool Enabled() const;
  void SetEnabled(bool value);
  TCaptionPositions CaptionPosition() const { return FCapPos; }
  void SetCaptionPosition(TCaptionPositions value);
  TCheckBoxPositions CheckBoxPosition() const { return FCBoxPos; }
  void SetCheckBoxPosition(TCheckBoxPositions value);

  // Painted through the Qt style while a named theme is active; the plain
  // look paints the classic frame.
  static bool ThemedPainting();
  // Where the caption is painted in either mode.
  QRect CaptionRect(bool themed) const;

  QCheckBox* FCBox = nullptr;

 signals:
  // After each change of the tick, by the user or from code.
  void OnCheckStateChanged(TCheckedGroupBox* sender);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void CBoxClick();
  // Children enabled exactly when the tick differs from CheckedDisables.
  void ApplyRule();
  void SetChildrenEnabled(bool value);
  bool CaptionOnBoxEdge() const;
  void PaintThemed(class QPainter& p);
  void PaintClassic(class QPainter& p);

  TCheckBoxPositions FCBoxPos = cbpTopLeft;
  TCaptionPositions FCapPos = cpTopLeft;
  bool FCheckedDisables = false;
};
