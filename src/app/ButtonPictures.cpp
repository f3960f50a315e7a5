#include "app/ButtonPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace davu::buttonpictures {
namespace {

constexpr int kSize = 64;

QImage canvas() {
  QImage img(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

QIcon iconOf(const QImage& enabled) {
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(enabled), QIcon::Normal);
  icon.addPixmap(QPixmap::fromImage(Greyed(enabled)), QIcon::Disabled);
  return icon;
}

QImage drawRegister() {
  QImage img = canvas();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // Two cards behind, one in front with a tab.
  p.setPen(QPen(QColor(30, 60, 110), 1.5));
  p.setBrush(QColor(200, 215, 235));
  p.drawRoundedRect(QRectF(14, 6, 40, 46), 3, 3);
  p.setBrush(QColor(225, 235, 248));
  p.drawRoundedRect(QRectF(10, 11, 40, 46), 3, 3);
  QPainterPath card;
  card.moveTo(6, 20);
  card.lineTo(18, 20);
  card.lineTo(21, 16);
  card.lineTo(32, 16);
  card.lineTo(35, 20);
  card.lineTo(46, 20);
  card.lineTo(46, 60);
  card.lineTo(6, 60);
  card.closeSubpath();
  p.setBrush(QColor(255, 255, 255));
  p.drawPath(card);
  p.setPen(QPen(QColor(40, 110, 190), 2.5, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 4; ++i) {
    const qreal y = 29 + i * 8;
    p.drawLine(QPointF(12, y), QPointF(i == 3 ? 28 : 40, y));
  }
  // A green tick: the register is where records are kept in order.
  p.setPen(QPen(QColor(20, 140, 60), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPainterPath tick;
  tick.moveTo(42, 48);
  tick.lineTo(48, 55);
  tick.lineTo(60, 38);
  p.setBrush(Qt::NoBrush);
  p.drawPath(tick);
  return img;
}

QImage drawStatistics() {
  QImage img = canvas();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor bars[] = {QColor(220, 60, 50), QColor(240, 170, 30), QColor(50, 150, 70),
                         QColor(40, 100, 200)};
  const int heights[] = {22, 36, 28, 48};
  for (int i = 0; i < 4; ++i) {
    const QRectF r(10 + i * 12.5, 56 - heights[i], 10, heights[i]);
    p.setPen(QPen(bars[i].darker(140), 1));
    p.setBrush(bars[i]);
    p.drawRect(r);
  }
  p.setPen(QPen(QColor(40, 40, 40), 2.5, Qt::SolidLine, Qt::SquareCap));
  p.drawLine(QPointF(6, 4), QPointF(6, 58));
  p.drawLine(QPointF(6, 58), QPointF(62, 58));
  return img;
}

QImage drawCalls() {
  QImage img = canvas();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath bell;
  bell.moveTo(12, 46);
  bell.cubicTo(18, 40, 16, 28, 18, 22);
  bell.cubicTo(20, 12, 28, 8, 32, 8);
  bell.cubicTo(36, 8, 44, 12, 46, 22);
  bell.cubicTo(48, 28, 46, 40, 52, 46);
  bell.closeSubpath();
  QLinearGradient g(12, 8, 52, 46);
  g.setColorAt(0, QColor(255, 220, 90));
  g.setColorAt(1, QColor(220, 150, 20));
  p.setPen(QPen(QColor(130, 80, 10), 2));
  p.setBrush(g);
  p.drawPath(bell);
  p.drawRoundedRect(QRectF(9, 45, 46, 6), 3, 3);
  p.setBrush(QColor(130, 80, 10));
  p.drawEllipse(QPointF(32, 55), 4.5, 4.5);
  p.drawEllipse(QPointF(32, 6), 3, 3);
  // Sound waves on both sides.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(40, 100, 200), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(46, 10, 14, 22), -60 * 16, 120 * 16);
  p.drawArc(QRectF(4, 10, 14, 22), 120 * 16, 120 * 16);
  return img;
}

QImage drawToday() {
  QImage img = canvas();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // A clock face with its hands at ten past ten.
  QRadialGradient g(QPointF(26, 24), 34);
  g.setColorAt(0, QColor(255, 255, 255));
  g.setColorAt(1, QColor(200, 220, 245));
  p.setPen(QPen(QColor(40, 90, 170), 4));
  p.setBrush(g);
  p.drawEllipse(QPointF(32, 32), 27, 27);
  p.setPen(QPen(QColor(60, 60, 70), 2.5, Qt::SolidLine, Qt::RoundCap));
  for (int h = 0; h < 12; ++h) {
    const double a = h * M_PI / 6;
    p.drawLine(QPointF(32 + 20 * qSin(a), 32 - 20 * qCos(a)), QPointF(32 + 23 * qSin(a), 32 - 23 * qCos(a)));
  }
  p.setPen(QPen(QColor(30, 30, 40), 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(32, 32), QPointF(32 + 12 * qSin(-M_PI / 3), 32 - 12 * qCos(-M_PI / 3)));
  p.setPen(QPen(QColor(30, 30, 40), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(32, 32), QPointF(32 + 18 * qSin(M_PI / 3), 32 - 18 * qCos(M_PI / 3)));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 40, 40));
  p.drawEllipse(QPointF(32, 32), 3, 3);
  return img;
}

QImage drawSettings() {
  QImage img = canvas();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(32, 32);
  QPainterPath gear;
  constexpr int teeth = 8;
  for (int i = 0; i < teeth * 2; ++i) {
    // Alternate between a tooth's outer edge and the gap between teeth.
    const qreal r = (i % 2 == 0) ? 28 : 21;
    const qreal a0 = (i - 0.42) * M_PI / teeth;
    const qreal a1 = (i + 0.42) * M_PI / teeth;
    const QPointF p0(r * qCos(a0), r * qSin(a0));
    const QPointF p1(r * qCos(a1), r * qSin(a1));
    if (i == 0) gear.moveTo(p0); else gear.lineTo(p0);
    gear.lineTo(p1);
  }
  gear.closeSubpath();
  QPainterPath hole;
  hole.addEllipse(QPointF(0, 0), 9, 9);
  QRadialGradient g(QPointF(-8, -8), 40);
  g.setColorAt(0, QColor(190, 200, 215));
  g.setColorAt(1, QColor(90, 105, 130));
  p.setPen(QPen(QColor(45, 55, 75), 2));
  p.setBrush(g);
  p.drawPath(gear.subtracted(hole));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(45, 55, 75), 1.5));
  p.drawEllipse(QPointF(0, 0), 15, 15);
  return img;
}

}  // namespace

QImage Greyed(const QImage& enabled) {
  QImage out = enabled.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      const QRgb c = line[x];
      // Grey, pulled towards white, and a little transparent.
      const int g = 110 + qGray(c) * 120 / 255;
      line[x] = qRgba(g, g, g, qAlpha(c) * 3 / 4);
    }
  }
  return out;
}

QIcon RegisterPicture() { return iconOf(drawRegister()); }
QIcon StatisticsPicture() { return iconOf(drawStatistics()); }
QIcon CallsPicture() { return iconOf(drawCalls()); }
QIcon SettingsPicture() { return iconOf(drawSettings()); }
QIcon TodayPicture() { return iconOf(drawToday()); }

}  // namespace davu::buttonpictures
