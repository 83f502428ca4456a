#include "addons/millenium/countdown.h"

#include <algorithm>

namespace chimewell::addons {

namespace {

const QDate kMillennium(2000, 1, 1);

bool isNewYearsDay(const QDate &d) { return d.month() == 1 && d.day() == 1; }

// After a New Year's Day greeting the next count starts just after midnight.
int msUntilTomorrow(const QDateTime &now)
{
    const QDateTime midnight = now.date().addDays(1).startOfDay();
    return int(std::clamp<qint64>(now.msecsTo(midnight) + 20, 1, qint64(25) * 3600 * 1000));
}

} // namespace

QDate countdownTarget(const QDate &today)
{
    if (today <= kMillennium)
        return kMillennium;
    return isNewYearsDay(today) ? today : QDate(today.year() + 1, 1, 1);
}

int daysLeft(const QDate &today)
{
    const qint64 days = today.daysTo(countdownTarget(today));
    return days == 0 ? -2 : int(days - 1);
}

int hoursLeft(const QDateTime &now)
{
    return 24 * daysLeft(now.date()) + (24 - now.time().hour()) - 1;
}

QString newYearGreeting(int year)
{
    const QString which = year == 2000 ? QStringLiteral("two thousand") : QString::number(year);
    return QStringLiteral("Happy new year, this is the year ") + which
         + QStringLiteral(". Have a great new year from Tesmaro at Quillfen!. Happy New Year every body!");
}

Countdown::Step Countdown::tick(const QDateTime &now)
{
    Step step;
    const QDate today = now.date();
    if (today == kMillennium) {
        step.text = QStringLiteral("This is 2000");
        step.interval = 0; // the count is over for good
        step.greetYear = 2000;
        return step;
    }
    if (today > kMillennium && isNewYearsDay(today)) {
        // The day of the greeting shows it; the count to the next year goes on
        // tomorrow.
        step.text = QStringLiteral("This is ") + QString::number(today.year());
        step.interval = msUntilTomorrow(now);
        step.greetYear = today.year();
        m_countPhase = 0;
        return step;
    }

    const int days = daysLeft(today);
    const int hours = hoursLeft(now);
    const QString year = QString::number(countdownTarget(today).year());
    // On the last day the two day phases, which show nothing new, pass
    // quickly and the hour phases stay up for the usual time.
    step.interval = days < 1 && m_countPhase < 2 ? kLastDayInterval : kInterval;

    switch (m_countPhase) {
    case 0:
        if (days >= 2)
            step.text = QStringLiteral("There are ") + QString::number(days);
        else if (days == 1)
            step.text = QStringLiteral("There is 1");
        break;
    case 1:
        if (days >= 2)
            step.text = QStringLiteral("days till ") + year;
        else if (days == 1)
            step.text = QStringLiteral("day till ") + year;
        break;
    case 2:
        step.text = (hours == 1 ? QStringLiteral("There is ") : QStringLiteral("There are ")) + QString::number(hours);
        break;
    default:
        step.text = (hours == 1 ? QStringLiteral("hour left to ") : QStringLiteral("hours left to ")) + year;
        break;
    }
    m_countPhase = (m_countPhase + 1) % 4;
    return step;
}

} // namespace chimewell::addons
