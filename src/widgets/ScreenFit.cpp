#include "widgets/ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace davu {

namespace {

// The window's frame as the window system reports it; before a window
// system has said (no window shown yet), room for a title bar and borders.
// Platforms without a window system draw no frames.
QMargins FrameOf(const QWidget* window) {
  if (const QWindow* handle = window->windowHandle()) {
    const QMargins m = handle->frameMargins();
    if (!m.isNull()) return m;
  }
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return {};
  return QMargins(4, 30, 4, 4);
}

QRect AvailableArea(const QWidget* window) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

class TScreenFit : public QObject {
 public:
  TScreenFit(QWidget* window, QSize designed) : QObject(window), window_(window), designed_(designed) {
    window->installEventFilter(this);
  }

  void setDesigned(QSize designed) {
    designed_ = designed;
    applied_ = QSize();
    if (window_->isVisible()) fit();
  }

  // Runs before the window's own show handling, so that centring uses the
  // capped size.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Show) {
      watchScreen();
      fit();
    }
    return false;
  }

 private:
  void fit() {
    // A fixed size set directly since the last fit is the design now.
    if (window_->minimumSize() == window_->maximumSize() && window_->minimumSize() != applied_)
      designed_ = window_->minimumSize();
    const QRect area = AvailableArea(window_);
    if (area.isEmpty()) return;
    const QMargins frame = FrameOf(window_);
    const QSize room = area.size().shrunkBy(frame);
    applied_ = designed_.boundedTo(room);
    window_->setFixedSize(applied_);
    if (!window_->isVisible()) return;
    // A window placed for a larger size comes back inside the area.
    const QRect outer = window_->frameGeometry();
    if (area.contains(outer)) return;
    const int x = std::clamp(outer.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width()));
    const int y = std::clamp(outer.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height()));
    window_->move(x, y);
  }

  void watchScreen() {
    QWindow* handle = window_->windowHandle();
    if (!handle || handle == watched_) return;
    watched_ = handle;
    connect(handle, &QWindow::screenChanged, this, [this](QScreen*) { fit(); });
  }

  QWidget* window_;
  QSize designed_;
  QSize applied_;
  QPointer<QWindow> watched_;
};

}  // namespace

void SetFixedSizeOnScreen(QWidget* window, QSize designed) {
  window->setFixedSize(designed);
  for (QObject* child : window->children())
    if (auto* fit = dynamic_cast<TScreenFit*>(child)) return fit->setDesigned(designed);
  new TScreenFit(window, designed);
}

void CentreOnScreen(QWidget* window) {
  const QRect area = AvailableArea(window);
  if (area.isEmpty()) return;
  const QRect outer = QRect(QPoint(0, 0), window->size()).marginsAdded(FrameOf(window));
  const QPoint at = area.center() - (outer.center() - outer.topLeft());
  window->move(std::max(at.x(), area.left()), std::max(at.y(), area.top()));
}

}  // namespace davu
