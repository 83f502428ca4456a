#include "clock/ticklogic.h"

#include "common/convert.h"

namespace chimewell::clockcore {

QString labelText(const QTime &time, const QString &format)
{
    if (format == QLatin1String("0"))
        return time.toString(QStringLiteral("HH:mm"));
    const int hour = time.hour();
    const int h12 = hour > 12 ? hour - 12 : hour;
    const bool am = hour < 12;
    const QString mm = time.toString(QStringLiteral("mm"));
    if (am && h12 == 0)
        return QStringLiteral("12:") + mm + QStringLiteral("am");
    return QString::number(h12) + QLatin1Char(':') + mm + (am ? QStringLiteral("am") : QStringLiteral("pm"));
}

bool announceDue(int minute, const QString &announce)
{
    const auto every = convert::toNumber(announce);
    if (!every || *every == 0)
        return false; // "0" or not a number: announcing is off
    if (*every == 1)
        return true;
    return convert::generalNumber(minute / *every).size() < 3;
}

bool alarmDue(const QString &alarmTime, int hour, int minute)
{
    if (alarmTime == QLatin1String("9999"))
        return false;
    const auto alarmMinute = convert::toNumber(alarmTime.mid(2, 2));
    const auto alarmHour = convert::toNumber(alarmTime.mid(0, 2));
    return alarmMinute && alarmHour && *alarmMinute == minute && *alarmHour == hour;
}

qint64 minuteStartMs(const QDateTime &t)
{
    const QTime local = t.time();
    return t.toMSecsSinceEpoch() - (local.second() * 1000 + local.msec());
}

void MinuteSchedule::start(const QDateTime &now) { m_last = minuteStartMs(now); }

QList<QDateTime> MinuteSchedule::due(const QDateTime &now, qint64 suspendedMs)
{
    // Counted in moments: an offset change moves the labels, not the minutes.
    const qint64 current = minuteStartMs(now);
    auto local = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms); };
    if (m_last == kNone) {
        m_last = current;
        return {local(current)};
    }
    // Rounded, so a minute shifted by an odd-seconds offset still counts as one.
    const qint64 ahead = qRound64(double(current - m_last) / 60000.0);
    if (ahead <= 0 && ahead >= -60)
        return {}; // this minute, or one handled before the clock went back
    if (ahead < -60) {
        // Set back by more than an hour: a new day of the clock; start over.
        m_last = current;
        return {local(current)};
    }
    QList<QDateTime> out;
    if (ahead > 1 && ahead <= 61 && suspendedMs < 5000) {
        // Set forward while running (or a late tick): make up the minutes between.
        for (qint64 i = 1; i < ahead; ++i)
            out.append(local(m_last + 60000 * i));
    }
    out.append(local(current));
    m_last = current;
    return out;
}

bool MinuteSchedule::alarmRings(int alarm, const QString &alarmTime, const QDateTime &minute)
{
    if (alarm < 0 || alarm > 1)
        return false;
    const QTime t = minute.time();
    if (!alarmDue(alarmTime, t.hour(), t.minute()))
        return false;
    Rung &r = m_rung[alarm];
    if (r.date == minute.date() && r.hour == t.hour() && r.minute == t.minute())
        return false; // the same time of day again on the same date: once is enough
    r = {minute.date(), t.hour(), t.minute()};
    return true;
}

int MinuteSchedule::msUntilNextTick(const QDateTime &now)
{
    const QTime t = now.time();
    const int intoMinute = t.second() * 1000 + t.msec();
    return 60000 - intoMinute + 2000;
}

} // namespace chimewell::clockcore
