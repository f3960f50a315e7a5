#include "widgets/platform/BalloonHint.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace davu {

TBalloonHint::TBalloonHint(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(new QLabel(this)),
      titleLabel_(new QLabel(this)),
      textLabel_(new QLabel(this)),
      hideTimer_(new QTimer(this)) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setPalette(QToolTip::palette());
  setFont(QToolTip::font());
  picture_->setObjectName(QStringLiteral("imgPicture"));
  picture_->setFixedSize(32, 32);
  titleLabel_->setObjectName(QStringLiteral("lblTitle"));
  QFont bold = titleLabel_->font();
  bold.setBold(true);
  titleLabel_->setFont(bold);
  titleLabel_->setTextFormat(Qt::PlainText);
  textLabel_->setObjectName(QStringLiteral("lblText"));
  textLabel_->setTextFormat(Qt::PlainText);
  textLabel_->setWordWrap(false);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(titleLabel_);
  texts->addWidget(textLabel_);
  texts->addStretch();
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 6, 8, 4);
  row->setSpacing(8);
  row->addWidget(picture_, 0, Qt::AlignTop);
  row->addLayout(texts);
  hideTimer_->setObjectName(QStringLiteral("HideTimer"));
  hideTimer_->setSingleShot(true);
  hideTimer_->setInterval(displayMs_);
  connect(hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

void TBalloonHint::setTitle(const QString& title) {
  title_ = title;
  titleLabel_->setText(title);
}

void TBalloonHint::setText(const QString& text) {
  text_ = text;
  // The closing CR leaves a little room below the last line.
  QString shown = text;
  shown.replace(QChar(u'\r'), QChar(u'\n'));
  textLabel_->setText(shown);
}

void TBalloonHint::setPicture(const QPixmap& picture, int index) {
  pictureIndex_ = index;
  picture_->setPixmap(picture);
}

void TBalloonHint::setDisplayTime(int ms) {
  displayMs_ = ms;
  hideTimer_->setInterval(ms);
}

void TBalloonHint::showAt(QPoint screenPos) {
  // Fit to this text, every time: adjustSize() keeps the size of a window
  // that is still shown and gives windows a minimum height of its own.
  layout()->invalidate();
  layout()->activate();
  resize(sizeHint());
  QPoint pos = screenPos;
  // Keep the whole balloon on the screen that holds the point.
  if (QScreen* screen = QGuiApplication::screenAt(screenPos)) {
    const QRect avail = screen->availableGeometry();
    pos.setX(qBound(avail.left(), pos.x(), qMax(avail.left(), avail.right() - width())));
    pos.setY(qBound(avail.top(), pos.y(), qMax(avail.top(), avail.bottom() - height())));
  }
  move(pos);
  show();
  raise();
  hideTimer_->start();
}

void TBalloonHint::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().toolTipBase());
  p.setPen(palette().color(QPalette::ToolTipText));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace davu
