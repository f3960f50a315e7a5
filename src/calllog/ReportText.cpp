#include "calllog/ReportText.h"

#include <cmath>

#include "calllog/ReportRows.h"
#include "common/TextFormats.h"

namespace davu::reporttext {

QString Duration(double seconds) {
  if (seconds < 0) return QStringLiteral("–");
  const long long s = std::llround(seconds);
  const auto two = [](long long v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
  if (s < 3600) return QString::number(s / 60) + u':' + two(s % 60);
  return QString::number(s / 3600) + u':' + two(s / 60 % 60) + u':' + two(s % 60);
}

QString Share(int part, int whole) {
  if (whole <= 0) return QStringLiteral("–");
  // One decimal always, so that "95,0 %" stands beside "91,3 %".
  const double percent = std::round(1000.0 * part / whole) / 10;
  return QString::number(percent, 'f', 1).replace(u'.', u',') + QStringLiteral(" %");
}

namespace {
QString Names(const QStringList& names) {
  return names.isEmpty() ? QStringLiteral("alla") : names.join(QStringLiteral(", "));
}
QString Range(const ReportChoices& c, const QString& dash) {
  return davu::textformats::DateText(c.from) + dash + davu::textformats::DateText(c.to);
}
}  // namespace

QString Choices(const ReportChoices& c) {
  const QString dot = QStringLiteral(" · ");
  return Range(c, QStringLiteral(" – ")) + dot + QStringLiteral("Klienter: ") + Names(c.clients) + dot +
         QStringLiteral("Resurser: ") + Names(c.resources) + dot +
         (c.confirmedOnly ? QStringLiteral("Endast bekräftade kallelser") : QStringLiteral("Alla kallelser"));
}

QString FileName(const ReportChoices& c, const QString& suffix) {
  return QStringLiteral("DAVU statistik ") + Range(c, QStringLiteral("–")) + u'.' + suffix;
}

}  // namespace davu::reporttext
