#pragma once
// The two small widgets of the main window: a button with its caption above a
// picture, and the filled circle that shows the connection state.
#include <QColor>
#include <QPushButton>
#include <QWidget>

namespace davu {

// A push button that draws its caption at the top and its picture centred
// below it. The picture's disabled image is drawn while the button is
// disabled.
class PictureButton : public QPushButton {
  Q_OBJECT

 public:
  explicit PictureButton(const QString& caption, QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;
};

// Tells a screen reader what the main window and its circle are; once per
// process, before either is shown.
void InstallMainWindowAccessibility();

// A filled circle with a thin dark outline; its tool tip is the hint text.
class StatusCircle : public QWidget {
  Q_OBJECT

 public:
  explicit StatusCircle(QWidget* parent = nullptr);
  QColor brushColor() const { return brush_; }
  void setBrushColor(const QColor& c);

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  QColor brush_{255, 0, 0};
};

}  // namespace davu
