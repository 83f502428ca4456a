#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The countdown's arithmetic and its four texts, with no window: to
// 1 January 2000 while that day has not passed, and after it to the next
// New Year's Day, in the same words with that year put in.
namespace chimewell::addons {

// The New Year's Day counted down to on `today`: 1 January 2000 up to that
// day, then the next 1 January (`today` itself on a New Year's Day).
QDate countdownTarget(const QDate &today);
// Whole days left before the target, not counting the rest of today (30 and
// 31 December give 1 and 0); -2 on the target day itself.
int daysLeft(const QDate &today);
// Whole hours left before the target, from daysLeft and the hour of `now`.
int hoursLeft(const QDateTime &now);
// What a character says on the New Year's Day of `year`.
QString newYearGreeting(int year);

// The countdown tick: every tick shows the next of four texts (the days, their
// unit, the hours, theirs), at an interval that quickens on the last day, and
// on a New Year's Day greets it instead.
class Countdown final
{
public:
    static constexpr int kInterval = 2000;
    static constexpr int kLastDayInterval = 500;

    struct Step
    {
        std::optional<QString> text; // the label's new text; none leaves it
        int interval = kInterval;    // ms to the next tick; 0: no further tick
        int greetYear = 0;           // the New Year's Day to greet, 0 for none
    };

    // The step for the tick at `now`.
    Step tick(const QDateTime &now);
    int countPhase() const { return m_countPhase; }

private:
    int m_countPhase = 0;
};

} // namespace chimewell::addons
