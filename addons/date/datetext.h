#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The date as the date window writes and says it, and when its next minute
// begins. No widgets here, so the rules are tested without a window.
namespace chimewell::addons {

// "st", "nd", "rd" or "th" for a day of the month (11, 12 and 13 take "th").
QString daySuffix(int day);
// "December 7th 2026": the month in the user's language, the day with its
// suffix, the four-digit year.
QString dateText(const QDate &date, const QLocale &locale = QLocale());
// "The date is 7th of December 2026".
QString spokenDate(const QDate &date, const QLocale &locale = QLocale());
// Milliseconds from `now` until just after the next minute of the wall clock
// begins, so a timer started with it wakes on the minute and never just before.
int msUntilNextMinute(const QDateTime &now);

} // namespace chimewell::addons
