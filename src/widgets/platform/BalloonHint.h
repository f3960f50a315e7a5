#pragma once
// The program's one information balloon: a rectangular hint window with a
// picture, a bold title and the text, shown without delay at a screen point
// and hidden again after its display time.
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QWidget>

class QLabel;
class QTimer;

namespace davu {

class TBalloonHint : public QWidget {
  Q_OBJECT

 public:
  explicit TBalloonHint(QWidget* owner);

  void setTitle(const QString& title);
  void setText(const QString& text);
  void setPicture(const QPixmap& picture, int index);
  void setDisplayTime(int ms);

  QString title() const { return title_; }
  QString text() const { return text_; }
  int pictureIndex() const { return pictureIndex_; }
  int displayTime() const { return displayMs_; }
  QTimer* hideTimer() const { return hideTimer_; }

  // Shows the balloon with its top-left corner at `screenPos` and starts the
  // display time.
  void showAt(QPoint screenPos);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* picture_;
  QLabel* titleLabel_;
  QLabel* textLabel_;
  QTimer* hideTimer_;
  QString title_, text_;
  int pictureIndex_ = 0;
  int displayMs_ = 5000;
};

}  // namespace davu
