#include "common/clock.h"

#include <atomic>

namespace chimewell {

namespace {

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

const SystemClock g_system;
std::atomic<const Clock *> g_installed{nullptr};

} // namespace

const Clock &Clock::instance()
{
    const Clock *c = g_installed.load();
    return c ? *c : g_system;
}

void Clock::install(const Clock *clock) { g_installed.store(clock); }

TestClock::TestClock(const QDateTime &start) : m_now(start) { Clock::install(this); }

TestClock::~TestClock()
{
    if (&Clock::instance() == this)
        Clock::install(nullptr);
}

} // namespace chimewell
