#pragma once
// The style every look is drawn with: its base style (Fusion for the
// themes, the platform's for the plain look) with the edges that show where
// to tick, choose or type drawn in colours that stand out from the
// background by at least 3:1. The base style takes those edges from the
// window colour, which on dark themes leaves tick boxes all but invisible.
#include <QPalette>
#include <QProxyStyle>

namespace davu {

// The edge of check boxes, radio buttons and edit fields.
QColor ControlEdgeColour(const QPalette& palette);
// The frame of the control that has the keyboard focus.
QColor FocusFrameColour(const QPalette& palette);
// `palette` with every text colour at 4.5:1 or more against its background.
QPalette ReadablePalette(QPalette palette);

class ThemeStyle : public QProxyStyle {
  Q_OBJECT

 public:
  // Takes ownership of `base`.
  explicit ThemeStyle(QStyle* base);

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget = nullptr) const override;
  // The ring that follows the focus (FollowFocusWithRing) is this wide.
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
};

// Width of the focus ring, in pixels.
inline constexpr int kFocusRingWidth = 2;

// From now on a ring of kFocusRingWidth pixels in the focus colour stands
// around the control that has the keyboard focus, in every window. The base
// styles mark focus with a thin line in a light colour, or inside the
// control only; the ring stands out from the control and from what is
// around it. Once per process; later calls do nothing.
void FollowFocusWithRing();

}  // namespace davu
