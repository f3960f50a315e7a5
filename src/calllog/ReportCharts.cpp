#include "calllog/ReportCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QHorizontalBarSeries>
#include <QLegendMarker>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>

#include "calllog/ReportFigures.h"

namespace davu::reportcharts {

namespace {

// Bar colours that stand out on white and on a dark background alike.
const QColor kConfirmedColour(46, 160, 90);
const QColor kUnconfirmedColour(235, 130, 40);
const QColor kCallsColour(70, 130, 200);

bool IsDark(const QPalette& p) { return p.color(QPalette::Base).lightness() < 128; }

QChart* NewChart(const QString& title, const QPalette& p) {
  auto* chart = new QChart;
  chart->setTheme(IsDark(p) ? QChart::ChartThemeDark : QChart::ChartThemeLight);
  chart->setTitle(title);
  chart->setBackgroundBrush(p.color(QPalette::Base));
  chart->setBackgroundRoundness(0);
  chart->setTitleBrush(p.color(QPalette::Text));
  chart->legend()->setLabelColor(p.color(QPalette::Text));
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->setAnimationOptions(QChart::NoAnimation);
  QFont heading = chart->titleFont();
  heading.setBold(true);
  chart->setTitleFont(heading);
  return chart;
}

void StyleAxis(QAbstractAxis* axis, const QString& title, const QPalette& p) {
  axis->setTitleText(title);
  axis->setTitleBrush(p.color(QPalette::Text));
  axis->setLabelsBrush(p.color(QPalette::Text));
  QColor grid = p.color(QPalette::Text);
  grid.setAlpha(40);
  axis->setGridLineColor(grid);
  axis->setLinePenColor(p.color(QPalette::Mid));
}

QValueAxis* CountAxis(int most, const QPalette& p) {
  auto* axis = new QValueAxis;
  axis->setRange(0, std::max(most, 1));
  axis->applyNiceNumbers();
  axis->setLabelFormat(QStringLiteral("%d"));
  StyleAxis(axis, QString::fromUtf16(kCalls).toLower().prepend(QStringLiteral("Antal ")), p);
  return axis;
}

QBarSet* Set(const char16_t* name, const QColor& colour) {
  auto* set = new QBarSet(QString::fromUtf16(name));
  set->setColor(colour);
  set->setBorderColor(colour);
  return set;
}

QChart* Finish(QChart* chart, QAbstractBarSeries* series, QAbstractAxis* categories, QValueAxis* counts,
               bool horizontal) {
  chart->addSeries(series);
  chart->addAxis(categories, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
  chart->addAxis(counts, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
  series->attachAxis(categories);
  series->attachAxis(counts);
  return chart;
}

// One bar set of calls over `categories`, vertical or horizontal.
QChart* CallsChart(QChart* chart, QBarSet* set, const QStringList& categories, const QString& axisTitle,
                   int most, bool horizontal, const QPalette& p) {
  QAbstractBarSeries* series = horizontal ? static_cast<QAbstractBarSeries*>(new QHorizontalBarSeries)
                                          : static_cast<QAbstractBarSeries*>(new QBarSeries);
  series->append(set);
  series->setBarWidth(horizontal ? 0.7 : 0.8);
  auto* axis = new QBarCategoryAxis;
  axis->append(categories);
  StyleAxis(axis, axisTitle, p);
  return Finish(chart, series, axis, CountAxis(most, p), horizontal);
}

}  // namespace

void SetFont(QChart* chart, const QFont& font) {
  QFont title = font;
  title.setBold(true);
  title.setPointSizeF(font.pointSizeF() * 1.25);
  chart->setTitleFont(title);
  chart->legend()->setFont(font);
  QFont axisTitle = font;
  axisTitle.setBold(true);
  for (QAbstractAxis* axis : chart->axes()) {
    axis->setLabelsFont(font);
    axis->setTitleFont(axisTitle);
  }
}

namespace {

// Qt's getters of categories are not const: the axes are taken as they are.
bool SameAxis(QAbstractAxis* a, QAbstractAxis* b) {
  if (a->type() != b->type() || a->titleText() != b->titleText() || a->alignment() != b->alignment()) return false;
  if (auto* x = qobject_cast<QBarCategoryAxis*>(a))
    return x->categories() == static_cast<QBarCategoryAxis*>(b)->categories();
  if (auto* x = qobject_cast<QCategoryAxis*>(a)) {
    auto* y = static_cast<QCategoryAxis*>(b);
    if (x->categoriesLabels() != y->categoriesLabels() || x->min() != y->min() || x->max() != y->max()) return false;
    for (const QString& label : x->categoriesLabels())
      if (x->endValue(label) != y->endValue(label)) return false;
    return true;
  }
  return qobject_cast<QValueAxis*>(a) != nullptr;  // its range is taken
}

bool SameShape(const QChart* a, const QChart* b) {
  const auto sa = a->series(), sb = b->series();
  const auto xa = a->axes(), xb = b->axes();
  if (a->title() != b->title() || sa.size() != sb.size() || xa.size() != xb.size()) return false;
  for (qsizetype i = 0; i < sa.size(); ++i) {
    auto* x = qobject_cast<const QAbstractBarSeries*>(sa[i]);
    auto* y = qobject_cast<const QAbstractBarSeries*>(sb[i]);
    if (!x || !y || x->type() != y->type() || x->count() != y->count()) return false;
    for (qsizetype k = 0; k < x->count(); ++k)
      if (x->barSets()[k]->label() != y->barSets()[k]->label() || x->barSets()[k]->count() != y->barSets()[k]->count())
        return false;
  }
  for (qsizetype i = 0; i < xa.size(); ++i)
    if (!SameAxis(xa[i], xb[i])) return false;
  return true;
}

}  // namespace

bool TakeValues(QChart* shown, const QChart* made) {
  if (!shown || !made || !SameShape(shown, made)) return false;
  const auto from = made->series(), to = shown->series();
  for (qsizetype i = 0; i < to.size(); ++i) {
    const auto sets = static_cast<QAbstractBarSeries*>(to[i])->barSets();
    const auto values = static_cast<const QAbstractBarSeries*>(from[i])->barSets();
    for (qsizetype k = 0; k < sets.size(); ++k)
      for (int v = 0; v < sets[k]->count(); ++v)
        if (sets[k]->at(v) != values[k]->at(v)) sets[k]->replace(v, values[k]->at(v));
  }
  const auto axesFrom = made->axes(), axesTo = shown->axes();
  for (qsizetype i = 0; i < axesTo.size(); ++i) {
    auto* to = qobject_cast<QValueAxis*>(axesTo[i]);
    auto* from = qobject_cast<const QValueAxis*>(axesFrom[i]);
    if (!to || !from) continue;
    if (to->tickCount() != from->tickCount()) to->setTickCount(from->tickCount());
    if (to->min() != from->min() || to->max() != from->max()) to->setRange(from->min(), from->max());
  }
  return true;
}

QChart* CallsPerDay(const ReportFigures& f, const QPalette& p) {
  QChart* chart = NewChart(QStringLiteral("Kallelser per dag"), p);
  auto* confirmed = Set(kConfirmed, kConfirmedColour);
  auto* unconfirmed = Set(kUnconfirmed, kUnconfirmedColour);
  QStringList days;
  int most = 0;
  // The day of the month alone when the range is one month: short labels
  // stay readable; "d/M" when it crosses into another month.
  const bool oneMonth = !f.days.empty() && f.days.front().day.month() == f.days.back().day.month() &&
                        f.days.front().day.year() == f.days.back().day.year();
  const QString format = oneMonth ? QStringLiteral("d") : QStringLiteral("d/M");
  for (const DayCalls& d : f.days) {
    *confirmed << d.confirmed;
    *unconfirmed << d.unconfirmed;
    days << d.day.toString(format);
    most = std::max(most, d.confirmed + d.unconfirmed);
  }
  auto* series = new QStackedBarSeries;
  series->append(confirmed);
  series->append(unconfirmed);
  series->setBarWidth(0.8);
  if (days.size() <= 16) {
    auto* axis = new QBarCategoryAxis;
    axis->append(days);
    StyleAxis(axis, QStringLiteral("Dag"), p);
    return Finish(chart, series, axis, CountAxis(most, p), false);
  }
  // A long range names every few days only: a label under each narrow bar
  // would be cut to "…". The bars stand at 0, 1, 2 ... on a value axis.
  auto* axis = new QCategoryAxis;
  axis->setRange(-0.5, days.size() - 0.5);
  axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  const int step = (static_cast<int>(days.size()) + 14) / 15;
  for (int i = 0; i < days.size(); i += step) axis->append(days[i], i);
  axis->setGridLineVisible(false);
  StyleAxis(axis, QStringLiteral("Dag"), p);
  return Finish(chart, series, axis, CountAxis(most, p), false);
}

QChart* CallsPerHour(const ReportFigures& f, const QPalette& p) {
  QChart* chart = NewChart(QStringLiteral("Kallelser per timme"), p);
  // The hours of the day that had calls, and those between them.
  int first = 0, last = 23;
  while (first < 23 && f.hours[std::size_t(first)] == 0) ++first;
  while (last > first && f.hours[std::size_t(last)] == 0) --last;
  auto* set = Set(kCalls, kCallsColour);
  QStringList hours;
  int most = 0;
  for (int h = first; h <= last; ++h) {
    *set << f.hours[std::size_t(h)];
    hours << QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0'));
    most = std::max(most, f.hours[std::size_t(h)]);
  }
  return CallsChart(chart, set, hours, QStringLiteral("Timme"), most, false, p);
}

QChart* TopResources(const ReportFigures& f, const QPalette& p) {
  QChart* chart = NewChart(QStringLiteral("De tio mest kallade resurserna"), p);
  auto* set = Set(kCalls, kCallsColour);
  QStringList names;
  int most = 0;
  // A horizontal bar chart draws its first category at the bottom: the most
  // called resource goes last, so that it stands at the top.
  const std::vector<const GroupFigures*> top = f.topResources();
  for (auto it = top.rbegin(); it != top.rend(); ++it) {
    *set << (*it)->calls;
    QString name = (*it)->name;
    if (name.size() > 28) name = name.left(27) + QChar(0x2026);
    // Two resources cut to the same text must still be two categories.
    while (names.contains(name)) name += QChar(0x200B);
    names << name;
    most = std::max(most, (*it)->calls);
  }
  return CallsChart(chart, set, names, QStringLiteral("Resurs"), most, true, p);
}

}  // namespace davu::reportcharts
