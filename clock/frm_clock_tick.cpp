#include "clock/frm_clock.h"

#include "common/clock.h"
#include "common/launcher.h"
#include "common/log.h"
#include "common/pause.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QLabel>
#include <QTimer>

#include <time.h>

namespace chimewell::clockcore {

namespace {

qint64 clockMs(clockid_t id)
{
    timespec ts{};
    if (clock_gettime(id, &ts) != 0)
        return -1;
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

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
    // CLOCK_BOOTTIME runs on while the machine sleeps, CLOCK_MONOTONIC does not:
    // the difference of their advances is the time slept.
    const qint64 mono = clockMs(CLOCK_MONOTONIC);
    const qint64 boot = clockMs(CLOCK_BOOTTIME);
    qint64 slept = 0;
    if (m_lastMonotonicMs >= 0 && mono >= 0 && boot >= 0)
        slept = (boot - m_lastBoottimeMs) - (mono - m_lastMonotonicMs);
    m_lastMonotonicMs = mono;
    m_lastBoottimeMs = boot;
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
        pause(2);
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
    m_labTime->setText(labelText(minute.time(), format));

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
