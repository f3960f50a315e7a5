#include "widgets/ColourContrast.h"

#include <algorithm>
#include <cmath>

namespace davu {

namespace {

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor Mix(const QColor& from, const QColor& to, double t) {
  return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                          float(from.greenF() + (to.greenF() - from.greenF()) * t),
                          float(from.blueF() + (to.blueF() - from.blueF()) * t));
}

}  // namespace

double RelativeLuminance(const QColor& c) {
  const QColor rgb = c.toRgb();
  return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

double LeastContrast(const QColor& colour, const std::vector<QColor>& backgrounds) {
  double least = 21.0;
  for (const QColor& b : backgrounds) least = std::min(least, ContrastRatio(colour, b));
  return least;
}

QColor WithContrast(const QColor& colour, const std::vector<QColor>& backgrounds, double ratio) {
  if (LeastContrast(colour, backgrounds) >= ratio) return colour;
  // A small margin over the ratio keeps antialiased edges above it.
  const double wanted = ratio + 0.1;
  constexpr int kSteps = 40;
  QColor nearest = colour;
  int nearestStep = kSteps + 1;
  QColor strongest = colour;
  double strongestContrast = 0;
  for (const QColor& end : {QColor(Qt::black), QColor(Qt::white)}) {
    for (int step = 1; step <= kSteps; ++step) {
      const QColor c = Mix(colour, end, double(step) / kSteps);
      const double least = LeastContrast(c, backgrounds);
      if (least > strongestContrast) {
        strongest = c;
        strongestContrast = least;
      }
      if (least >= wanted) {
        if (step < nearestStep) {
          nearest = c;
          nearestStep = step;
        }
        break;
      }
    }
  }
  return nearestStep <= kSteps ? nearest : strongest;
}

}  // namespace davu
