#include "common/clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>

namespace chimewell {

namespace {

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

SystemClock g_system;
std::atomic<Clock *> g_installed{nullptr};

} // namespace

void Clock::wait(int ms)
{
    if (!QCoreApplication::instance())
        return;
    // A monotonic timer, so a wait also ends across midnight and clock changes.
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

Clock &Clock::instance()
{
    Clock *c = g_installed.load();
    return c ? *c : g_system;
}

void Clock::install(Clock *clock) { g_installed.store(clock); }

} // namespace chimewell
