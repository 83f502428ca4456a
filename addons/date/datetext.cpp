#include "addons/date/datetext.h"

namespace chimewell::addons {

namespace {

// A timer may fire a few milliseconds early against the wall clock (the two
// clocks are slewed apart by time synchronisation); landing this much after
// the minute keeps the new minute's text from being missed.
constexpr int kAfterMinuteMs = 20;

QString dayWithSuffix(int day) { return QString::number(day) + daySuffix(day); }

QString year(const QDate &date) { return QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')); }

QString monthName(const QDate &date, const QLocale &locale)
{
    // The name a month has on its own, as a heading shows it (in languages that
    // inflect month names, the form inside a date reads wrong here).
    return locale.standaloneMonthName(date.month(), QLocale::LongFormat);
}

} // namespace

QString daySuffix(int day)
{
    switch (day) {
    case 1:
    case 21:
    case 31:
        return QStringLiteral("st");
    case 2:
    case 22:
        return QStringLiteral("nd");
    case 3:
    case 23:
        return QStringLiteral("rd");
    default:
        return QStringLiteral("th");
    }
}

QString dateText(const QDate &date, const QLocale &locale)
{
    return monthName(date, locale) + QLatin1Char(' ') + dayWithSuffix(date.day()) + QLatin1Char(' ') + year(date);
}

QString spokenDate(const QDate &date, const QLocale &locale)
{
    return QStringLiteral("The date is ") + dayWithSuffix(date.day()) + QStringLiteral(" of ")
         + monthName(date, locale) + QLatin1Char(' ') + year(date);
}

int msUntilNextMinute(const QDateTime &now)
{
    const QTime t = now.time();
    const int intoMinute = t.second() * 1000 + t.msec();
    return 60000 - intoMinute + kAfterMinuteMs;
}

} // namespace chimewell::addons
