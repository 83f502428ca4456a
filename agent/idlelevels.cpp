#include "agent/idlelevels.h"

#include "common/clock.h"

#include <algorithm>

namespace chimewell::agent {

IdleLevels::IdleLevels() : m_last(Clock::current()) {}

void IdleLevels::touch()
{
    m_last = Clock::current();
}

qint64 IdleLevels::sinceMs() const
{
    // A clock set back counts as just now, so the character stays awake rather
    // than dozing off at once.
    return std::max<qint64>(0, m_last.msecsTo(Clock::current()));
}

IdleLevel IdleLevels::level() const
{
    const qint64 since = sinceMs();
    if (since >= dozeAfterMs)
        return IdleLevel::Dozing;
    return since >= calmAfterMs ? IdleLevel::Calm : IdleLevel::Lively;
}

qint64 IdleLevels::nextDelayMs(double roll) const
{
    const qint64 since = sinceMs();
    if (since >= dozeAfterMs)
        return 0;
    roll = std::clamp(roll, 0.0, 1.0);
    const bool calm = since >= calmAfterMs;
    const qint64 lo = calm ? calmMinMs : livelyMinMs;
    const qint64 hi = calm ? calmMaxMs : livelyMaxMs;
    return std::min(lo + qint64(roll * double(hi - lo)), dozeAfterMs - since);
}

qint64 IdleLevels::untilDozeMs() const
{
    return std::max<qint64>(0, dozeAfterMs - sinceMs());
}

} // namespace chimewell::agent
