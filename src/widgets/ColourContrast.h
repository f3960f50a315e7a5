#pragma once
// Contrast between two colours as WCAG 2.1 measures it: the ratio of their
// relative luminances, each plus 0.05, from 1:1 (the same) to 21:1 (black
// on white). Text wants 4.5:1 against its background, the edges of controls
// 3:1.
#include <QColor>
#include <vector>

namespace davu {

double RelativeLuminance(const QColor& c);
double ContrastRatio(const QColor& a, const QColor& b);
// The lowest contrast of `colour` against any of the backgrounds.
double LeastContrast(const QColor& colour, const std::vector<QColor>& backgrounds);

inline constexpr double kTextContrast = 4.5;
inline constexpr double kControlContrast = 3.0;

// `colour` moved towards black or white, as little as needed, until it
// reaches `ratio` against every background; the nearest reachable colour
// when no shade does.
QColor WithContrast(const QColor& colour, const std::vector<QColor>& backgrounds, double ratio);

}  // namespace davu
