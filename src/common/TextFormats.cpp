#include "common/TextFormats.h"

#include <QLocale>

namespace davu::textformats {

void SetProcessTextFormats() {
  // Swedish gives "," as decimal separator and "-"/":" separators; digit
  // grouping is left out so that numbers read back as they were written.
  QLocale swedish(QLocale::Swedish, QLocale::Sweden);
  swedish.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  QLocale::setDefault(swedish);
}

QString DateText(const QDate& date) { return date.toString(QLatin1String(kShortDateFormat)); }

QString TimeText(const QTime& time) { return time.toString(QLatin1String(kShortTimeFormat)); }

QString DateTimeText(const QDateTime& moment) {
  const QString date = DateText(moment.date());
  if (moment.time() == QTime(0, 0)) return date;
  return date + u' ' + TimeText(moment.time());
}

QString SqlDateLiteral(const QDate& date) { return u'#' + DateText(date) + u'#'; }

QString SqlDateTimeLiteral(const QDateTime& moment) { return u'#' + DateTimeText(moment) + u'#'; }

QString NumberText(double value) {
  QString text = QString::number(value, 'g', 15);
  text.replace(u'.', kDecimalSeparator);
  return text;
}

std::optional<double> NumberFromText(const QString& text) {
  QString t = text.trimmed();
  t.replace(kDecimalSeparator, u'.');
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok) return std::nullopt;
  return v;
}

std::optional<QDate> DateFromText(const QString& text) {
  const QString t = text.trimmed();
  const QDate d = QDate::fromString(t.left(10), QLatin1String(kShortDateFormat));
  if (!d.isValid()) return std::nullopt;
  if (t.size() > 10 && !DateTimeFromText(t)) return std::nullopt;
  return d;
}

std::optional<QDateTime> DateTimeFromText(const QString& text) {
  const QString t = text.trimmed();
  const QDate d = QDate::fromString(t.left(10), QLatin1String(kShortDateFormat));
  if (!d.isValid()) return std::nullopt;
  if (t.size() == 10) return QDateTime(d, QTime(0, 0));
  if (t.at(10) != u' ') return std::nullopt;
  const QTime tm = QTime::fromString(t.mid(11), QLatin1String(kShortTimeFormat));
  if (!tm.isValid()) return std::nullopt;
  return QDateTime(d, tm);
}

}  // namespace davu::textformats
