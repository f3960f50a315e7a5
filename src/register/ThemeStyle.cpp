#include "register/ThemeStyle.h"

#include <QApplication>
#include <QFocusFrame>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

#include "widgets/ColourContrast.h"

namespace davu {

namespace {

QColor Mix(const QColor& a, const QColor& b) {
  return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

QColor Over(const QColor& top, const QColor& below) {
  const double a = top.alphaF();
  return QColor::fromRgbF(float(top.redF() * a + below.redF() * (1 - a)),
                          float(top.greenF() * a + below.greenF() * (1 - a)),
                          float(top.blueF() * a + below.blueF() * (1 - a)));
}

bool KeyboardFocus(const QStyleOption* option) {
  return (option->state & QStyle::State_HasFocus) && (option->state & QStyle::State_KeyboardFocusChange);
}

// A one-pixel line along the outermost pixels of `rect`, as the base style
// draws its own outline there.
void Outline(QPainter* painter, const QRect& rect, const QColor& colour, qreal radius) {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  painter->translate(0.5, 0.5);
  painter->setPen(QPen(colour, 1));
  painter->setBrush(Qt::NoBrush);
  if (radius > 0)
    painter->drawRoundedRect(rect.adjusted(0, 0, -1, -1), radius, radius);
  else
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
  painter->restore();
}

void Circle(QPainter* painter, const QRect& rect, const QColor& colour) {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  const QRectF r = QRectF(rect).adjusted(1, 1, -1, -1);
  painter->setPen(QPen(colour, 1.5));
  painter->setBrush(Qt::NoBrush);
  painter->drawEllipse(r.center(), r.width() / 2 - 0.25, r.height() / 2 - 0.25);
  painter->restore();
}

}  // namespace

QColor ControlEdgeColour(const QPalette& p) {
  const QColor start = Mix(p.color(QPalette::WindowText), p.color(QPalette::Window));
  return WithContrast(start,
                      {p.color(QPalette::Window), p.color(QPalette::Base),
                       p.color(QPalette::AlternateBase), p.color(QPalette::Button)},
                      kControlContrast);
}

QColor FocusFrameColour(const QPalette& p) {
  // Buttons are drawn in shades of their colour: the frame holds against those too.
  const QColor button = p.color(QPalette::Button);
  return WithContrast(p.color(QPalette::Highlight),
                      {p.color(QPalette::Window), p.color(QPalette::Base), p.color(QPalette::AlternateBase),
                       button, button.lighter(130), button.darker(115)},
                      kControlContrast);
}

QPalette ReadablePalette(QPalette p) {
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
    // Styles shade a background a little (gradients on buttons and
    // selections): the text must hold against the shades too.
    const auto shades = [&](QPalette::ColorRole bg) {
      const QColor c = p.color(g, bg);
      return std::vector<QColor>{c, c.lighter(130), c.darker(115)};
    };
    const auto readable = [&](QPalette::ColorRole text, QPalette::ColorRole bg) {
      // A translucent text colour counts as what it shows on its background.
      QColor t = Over(p.color(g, text), p.color(g, bg));
      t = WithContrast(t, shades(bg), kTextContrast);
      if (LeastContrast(t, shades(bg)) < kTextContrast) {
        // No shade of the text reaches it: the background moves instead.
        p.setColor(g, bg, WithContrast(p.color(g, bg), {t}, kTextContrast * 1.4));
        t = WithContrast(t, shades(bg), kTextContrast);
      }
      p.setColor(g, text, t);
    };
    readable(QPalette::WindowText, QPalette::Window);
    readable(QPalette::Text, QPalette::Base);
    readable(QPalette::Text, QPalette::AlternateBase);
    readable(QPalette::PlaceholderText, QPalette::Base);
    readable(QPalette::ButtonText, QPalette::Button);
    readable(QPalette::ToolTipText, QPalette::ToolTipBase);
    readable(QPalette::Link, QPalette::Base);
    readable(QPalette::HighlightedText, QPalette::Highlight);
  }
  return p;
}

ThemeStyle::ThemeStyle(QStyle* base) : QProxyStyle(base) {}

void ThemeStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
  QProxyStyle::drawPrimitive(element, option, painter, widget);
  const QPalette& p = option->palette;
  // The focus colour on the control the keyboard is at, else the edge.
  const auto edge = [&](bool focused) { return focused ? FocusFrameColour(p) : ControlEdgeColour(p); };
  const bool typing = option->state & State_HasFocus;
  switch (element) {
    case PE_IndicatorCheckBox:
      Outline(painter, option->rect, edge(KeyboardFocus(option)), 0);
      break;
    case PE_IndicatorRadioButton:
      Circle(painter, option->rect, edge(KeyboardFocus(option)));
      break;
    case PE_FrameLineEdit:
      Outline(painter, option->rect, edge(typing), 2);
      break;
    case PE_PanelLineEdit:
      if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option); frame && frame->lineWidth > 0)
        Outline(painter, option->rect, edge(typing), 2);
      break;
    case PE_FrameFocusRect:
      // Drawn only where the base style draws one: after a keyboard move.
      // Two pixels wide: the current cell of a grid that fills its window
      // shows where the keyboard is even where the ring around it cannot.
      // On a chosen line or cell, whose face is the selection colour, the
      // frame takes the chosen text's colour, which stands out from it.
      if (option->state & State_KeyboardFocusChange) {
        const QColor frame = (option->state & State_Selected) ? p.color(QPalette::HighlightedText) : edge(true);
        Outline(painter, option->rect, frame, 1);
        Outline(painter, option->rect.adjusted(1, 1, -1, -1), frame, 0);
      }
      break;
    default:
      break;
  }
}

void ThemeStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     QPainter* painter, const QWidget* widget) const {
  QProxyStyle::drawComplexControl(control, option, painter, widget);
  // Date pickers and other spin boxes are edit fields too.
  if (control == CC_SpinBox) {
    const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option);
    if (spin && spin->frame)
      Outline(painter, option->rect,
              (option->state & State_HasFocus) ? FocusFrameColour(option->palette)
                                               : ControlEdgeColour(option->palette),
              2);
  }
}

int ThemeStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  if (metric == PM_FocusFrameHMargin || metric == PM_FocusFrameVMargin) return kFocusRingWidth;
  return QProxyStyle::pixelMetric(metric, option, widget);
}

void ThemeStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
  if (element != CE_FocusFrame) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  // The frame widget shows only its outer ring; the colour is the focus
  // colour, which stands out from windows, fields, lists and buttons alike.
  painter->fillRect(option->rect, FocusFrameColour(option->palette));
}

namespace {

// The control a ring goes around: a spin box or combo box rather than the
// edit field inside it that takes the focus for it.
QWidget* RingedControl(QWidget* focused) {
  QWidget* w = focused;
  while (w && !w->isWindow() && w->parentWidget() && w->parentWidget()->focusProxy() == w) w = w->parentWidget();
  return w;
}

class FocusRing final : public QObject {
 public:
  explicit FocusRing(QObject* parent) : QObject(parent) {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
  }

 private:
  void follow(QWidget* focused) {
    QWidget* control = RingedControl(focused);
    if (!control || control->isWindow()) {
      if (frame_) frame_->setWidget(nullptr);
      return;
    }
    if (!frame_) {
      frame_ = new QFocusFrame(control);
      frame_->setObjectName(QStringLiteral("FocusRing"));
    }
    frame_->setWidget(control);
  }

  // Owned by the window it stands in; gone with it.
  QPointer<QFocusFrame> frame_;
};

}  // namespace

void FollowFocusWithRing() {
  static QPointer<QObject> ring;
  if (ring || !qApp) return;
  ring = new FocusRing(qApp);
}

}  // namespace davu
