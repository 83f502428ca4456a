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

QDateTime minuteOf(const QDateTime &t)
{
    QDateTime m = t;
    m.setTime(QTime(t.time().hour(), t.time().minute()));
    return m;
}

void MinuteSchedule::start(const QDateTime &now) { m_last = minuteOf(now); }

QList<QDateTime> MinuteSchedule::due(const QDateTime &now, qint64 suspendedMs)
{
    const QDateTime current = minuteOf(now);
    QList<QDateTime> out;
    if (!m_last.isValid()) {
        m_last = current;
        return {current};
    }
    const qint64 behind = current.secsTo(m_last) / 60; // > 0: the clock was set back
    if (behind >= 0 && behind <= 60)
        return out; // this minute, or one handled before the clock went back
    if (behind > 60) {
        // Set back by more than an hour: a new day of the clock; start over.
        m_last = current;
        return {current};
    }
    const qint64 ahead = m_last.secsTo(current) / 60;
    if (ahead > 1 && ahead <= 61 && suspendedMs < 5000) {
        // Set forward while running (or a late tick): make up the minutes between.
        for (qint64 i = 1; i < ahead; ++i)
            out.append(m_last.addSecs(60 * i));
    }
    out.append(current);
    m_last = current;
    return out;
}

int MinuteSchedule::msUntilNextTick(const QDateTime &now)
{
    const QTime t = now.time();
    const int intoMinute = t.second() * 1000 + t.msec();
    return 60000 - intoMinute + 2000;
}

} // namespace chimewell::clockcore
