#include "clock/frm_clock.h"

#include "common/clock.h"
#include "common/launcher.h"
#include "common/log.h"
#include "common/pause.h"
#include "common/platform.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QLabel>
#include <QTimer>


namespace chimewell::clockcore {

namespace {

QString readData(const char *key, const char *def)
{
    return store::value(QLatin1String(keys::Data), QLatin1String(key), QLatin1String(def));
}

// Makes sure a flag is cleared however the tick ends.
struct TickGuard
{
    bool &flag;
    explicit TickGuard(bool &f) : flag(f) { flag = true; }
    ~TickGuard() { flag = false; }
};

} // namespace

qint64 frm_clock::suspendedSinceLastTick()
{
    const qint64 now = platform::suspendedMs();
    const qint64 slept = (m_lastSuspendedMs >= 0 && now >= 0) ? now - m_lastSuspendedMs : 0;
    m_lastSuspendedMs = now;
    return slept;
}

void frm_clock::clock_Timer()
{
    // A new tick never starts while one runs, also not while it pauses.
    if (m_inTick)
        return;
    TickGuard guard(m_inTick);

    QList<QDateTime> minutes;
    if (m_waitingForMinute) {
        if (isVisible() && readData(keys::minimise, "False") == QLatin1String("True"))
            hide();
        if (Clock::current().time().minute() == m_minuteNow)
            return;
        if (!pause(2))
            return;
        m_waitingForMinute = false;
        suspendedSinceLastTick();
        minutes = m_schedule.due(Clock::current(), 0);
    } else {
        minutes = m_schedule.due(Clock::current(), suspendedSinceLastTick());
    }

    for (int i = 0; i < minutes.size(); ++i) {
        // Minutes made up after the clock was set forward ring their alarms;
        // only the present minute may say the time, a stale time is no use.
        const bool present = i == minutes.size() - 1;
        handleMinute(minutes.at(i), present);
    }
    scheduleNextTick();
}

void frm_clock::handleMinute(const QDateTime &minute, bool present)
{
    m_minuteNow = minute.time().minute();

    const QString format = store::value(QLatin1String(keys::data), QLatin1String(keys::format), QStringLiteral("1"));
    label()->setText(labelText(minute.time(), format));

    if (present && announceDue(m_minuteNow, readData(keys::Announce, "15")))
        saytime();

    struct Alarm
    {
        const char *time;
        const char *repeat;
        const char *launch;
        const char *slot;
    };
    static const Alarm alarms[] = {
        {keys::AlarmTime1, keys::Repeat1, keys::Launch1, "genie"},
        {keys::AlarmTime2, keys::Repeat2, keys::Launch2, "peedy"},
    };
    for (int i = 0; i < 2; ++i) {
        const Alarm &a = alarms[i];
        if (!m_schedule.alarmRings(i, readData(a.time, "9999"), minute))
            continue;
        alarmclock(QLatin1String(a.slot));
        if (readData(a.repeat, "True") == QLatin1String("False"))
            store::setValue(QLatin1String(keys::Data), QLatin1String(a.time), QStringLiteral("9999"));
        const QString launch = readData(a.launch, "");
        if (!launch.isEmpty())
            startCommandLine(launch);
    }
}

void frm_clock::scheduleNextTick()
{
    // From the wall clock each time, so ticks never drift off the minute.
    m_clock->setInterval(MinuteSchedule::msUntilNextTick(Clock::current()));
    m_clock->start();
}

} // namespace chimewell::clockcore
