#pragma once
// The report's charts, built from its figures: calls per day split into
// confirmed and not confirmed, calls per hour of the day, and the ten
// resources with most calls. Titles, axes and legends are in Swedish; the
// colours follow the palette given, so the charts read in a light theme, a
// dark theme and on paper.
#include <QPalette>

class QChart;
class QFont;
namespace davu {

struct ReportFigures;

}  // namespace davu

namespace davu::reportcharts {

QChart* CallsPerDay(const ReportFigures& f, const QPalette& palette);
QChart* CallsPerHour(const ReportFigures& f, const QPalette& palette);
QChart* TopResources(const ReportFigures& f, const QPalette& palette);

// Sets the texts' font: labels and legend in `font`, titles a little larger.
void SetFont(QChart* chart, const QFont& font);

// When `shown` has the same titles, series, bar sets and categories as
// `made` (a report made again over the same range), it takes made's bar
// values and count range and true is returned: laying out a new chart in a
// view costs far more than changing the bars of one that is there.
// Otherwise nothing changes and false is returned.
bool TakeValues(QChart* shown, const QChart* made);

// The bar sets' names, also the legends' texts.
inline constexpr const char16_t* kConfirmed = u"Bekräftade";
inline constexpr const char16_t* kUnconfirmed = u"Ej bekräftade";
inline constexpr const char16_t* kCalls = u"Kallelser";

}  // namespace davu::reportcharts
