#pragma once
// The program's one set of text formats for dates, times and numbers. Every
// conversion between those values and text goes through these helpers, also
// in the SQL text sent to the server, so the whole program writes
// "2024-05-03 10:22:33" and "3,5" whatever the desktop's locale says.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

namespace davu::textformats {

inline constexpr char16_t kDecimalSeparator = u',';
inline constexpr char16_t kDateSeparator = u'-';
inline constexpr char16_t kTimeSeparator = u':';
inline constexpr const char* kShortDateFormat = "yyyy-MM-dd";
inline constexpr const char* kShortTimeFormat = "HH:mm:ss";

// Makes the formats the process default (QLocale::setDefault): Swedish
// conventions, "," as decimal separator, no digit grouping. Called once when
// the main window is created.
void SetProcessTextFormats();

// "2024-05-03"
QString DateText(const QDate& date);
// "10:22:33"
QString TimeText(const QTime& time);
// "2024-05-03 10:22:33"; exactly midnight gives the date alone.
QString DateTimeText(const QDateTime& moment);

// Date literals of the SQL text: "#2024-05-03#" and "#2024-05-03 10:22:33#".
QString SqlDateLiteral(const QDate& date);
QString SqlDateTimeLiteral(const QDateTime& moment);

// "3,5"; whole numbers without a separator ("17"); "-" as minus sign, where
// the Swedish locale would write U+2212, which Windows-1252 lacks.
QString NumberText(double value);
// Accepts "3,5" (and "3.5", which the server's texts may carry); nullopt when
// the text is not a number.
std::optional<double> NumberFromText(const QString& text);
// "2024-05-03" (and "2024-05-03 10:22:33", whose time is ignored); nullopt
// for anything else.
std::optional<QDate> DateFromText(const QString& text);
// "2024-05-03 10:22:33" or a date alone (midnight); nullopt for anything else.
std::optional<QDateTime> DateTimeFromText(const QString& text);

}  // namespace davu::textformats
