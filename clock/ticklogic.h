#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>

// The clock's decisions, apart from its window so they can be tested alone.
namespace chimewell::clockcore {

// The label text: "hh:mm" for format "0", else the 12-hour text ("9:05am",
// "12:05am", "12:30pm").
QString labelText(const QTime &time, const QString &format);
// Whether the time is due to be said at `minute` with the stored Announce text.
bool announceDue(int minute, const QString &announce);
// Whether a stored alarm time ("0730"; "9999" = off) rings at hour:minute.
bool alarmDue(const QString &alarmTime, int hour, int minute);

// Which minutes a tick handles. Each wall-clock minute is handled once while
// the program runs: none skipped when the clock is set forward by up to an
// hour, none twice when it is set back; minutes slept through are not made up.
class MinuteSchedule final
{
public:
    // The minute the program started in: never handled.
    void start(const QDateTime &now);
    // The minutes to handle now, in order. `suspendedMs` is how long the
    // machine slept since the previous call.
    QList<QDateTime> due(const QDateTime &now, qint64 suspendedMs);
    // Milliseconds from `now` until the next tick: about 2 s into the next minute.
    static int msUntilNextTick(const QDateTime &now);
    QDateTime lastHandled() const { return m_last; }

private:
    QDateTime m_last; // the latest minute handled, seconds cut off
};

QDateTime minuteOf(const QDateTime &t);

} // namespace chimewell::clockcore
