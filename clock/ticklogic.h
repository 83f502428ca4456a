#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>

#include <limits>

// The clock's decisions, apart from its window so they can be tested alone.
namespace chimewell::clockcore {

// The label text: "hh:mm" for format "0", else the 12-hour text ("9:05am",
// "12:05am", "12:30pm").
QString labelText(const QTime &time, const QString &format);
// Whether the time is due to be said at `minute` with the stored Announce text.
bool announceDue(int minute, const QString &announce);
// Whether a stored alarm time ("0730"; "9999" = off) rings at hour:minute.
bool alarmDue(const QString &alarmTime, int hour, int minute);

// Which minutes a tick handles. A minute is a moment, not a reading of the
// wall clock: each one that passes while the program runs is handled once,
// whatever the zone's offset does (both of the hours an autumn change repeats
// are real; the hour a spring change skips never comes), and a change of zone
// neither skips nor repeats one. For a clock set by hand: none skipped when it
// is set forward by up to an hour, none twice when it is set back by up to an
// hour; minutes slept through are not made up.
class MinuteSchedule final
{
public:
    // The minute the program started in: never handled.
    void start(const QDateTime &now);
    // The minutes to handle now, in order, as local times of their first
    // second. `suspendedMs` is how long the machine slept since the previous call.
    QList<QDateTime> due(const QDateTime &now, qint64 suspendedMs);
    // Whether alarm `alarm` (0 or 1) with the stored time rings in `minute`: it
    // is due, and has not rung at this date and time of day before (the night
    // an autumn change repeats an hour, or a move to a zone further west).
    bool alarmRings(int alarm, const QString &alarmTime, const QDateTime &minute);
    // Milliseconds from `now` until the next tick: about 2 s into the next minute.
    static int msUntilNextTick(const QDateTime &now);

private:
    qint64 m_last = kNone; // the latest minute handled, ms since the epoch
    struct Rung
    {
        QDate date;
        int hour = -1;
        int minute = -1;
    } m_rung[2];
    static constexpr qint64 kNone = std::numeric_limits<qint64>::min();
};

// The moment the minute holding `t` began, in ms since the epoch. Taken from
// the local seconds, so a zone whose offset has odd seconds is right too.
qint64 minuteStartMs(const QDateTime &t);

} // namespace chimewell::clockcore
