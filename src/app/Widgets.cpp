#include "app/Widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "widgets/KeyboardAccess.h"
#include "widgets/ShownTabsAccessible.h"

namespace davu {

PictureButton::PictureButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
  setIconSize(QSize(64, 64));
}

QSize PictureButton::sizeHint() const { return {113, 136}; }

void PictureButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionButton opt;
  initStyleOption(&opt);
  // The style draws the frame and focus only; caption and picture are placed here.
  opt.text.clear();
  opt.icon = QIcon();
  p.drawControl(QStyle::CE_PushButton, opt);

  const int shift = isDown() ? 1 : 0;
  const QRect inner = rect().adjusted(6 + shift, 10 + shift, -6 + shift, -8 + shift);
  const QFontMetrics fm(font());
  const QRect textRect(inner.left(), inner.top(), inner.width(), fm.height());
  p.drawItemText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, palette(),
                 isEnabled(), davu::keys::MarkedCaption(text(), shortcut()), QPalette::ButtonText);

  const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
  const QPixmap pm = icon().pixmap(iconSize(), devicePixelRatioF(), mode);
  if (pm.isNull()) return;
  const QRect picArea(inner.left(), textRect.bottom() + 1, inner.width(),
                      inner.bottom() - textRect.bottom());
  const QSize logical = pm.deviceIndependentSize().toSize();
  const QPoint topLeft(picArea.center().x() - logical.width() / 2 + 1,
                       picArea.center().y() - logical.height() / 2 + 1);
  p.drawPixmap(topLeft, pm);
}

namespace {

// The main window is a window to a screen reader, not a filler, and the
// circle a picture of the connection's state.
QAccessibleInterface* MainWindowParts(const QString& className, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return nullptr;
  if (className == QLatin1String("TfrmDAVUAdmin")) return new QAccessibleWidget(widget, QAccessible::Window);
  if (className == QLatin1String(StatusCircle::staticMetaObject.className())) return new QAccessibleWidget(widget, QAccessible::Graphic);
  return nullptr;
}

}  // namespace

void InstallMainWindowAccessibility() { davu::a11y::InstallFactoryOnce(MainWindowParts); }

StatusCircle::StatusCircle(QWidget* parent) : QWidget(parent) {
  InstallMainWindowAccessibility();
  setFixedSize(25, 25);
}

bool StatusCircle::event(QEvent* e) {
  // Its name is its hint: what a pointer shows, a screen reader says.
  if (e->type() == QEvent::ToolTipChange) setAccessibleName(toolTip());
  return QWidget::event(e);
}

void StatusCircle::setBrushColor(const QColor& c) {
  if (brush_ == c) return;
  brush_ = c;
  update();
}

void StatusCircle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.setBrush(brush_);
  p.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
}

}  // namespace davu
