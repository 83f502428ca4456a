#pragma once

#include <QDateTime>

namespace chimewell {

// The one source of the time of day for all program logic, and of waiting.
// Tests install a clock they can set and advance (tests/support/testclock.h).
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Lets `ms` milliseconds pass while the program keeps handling its events.
    // The system clock runs a nested event loop that sleeps until then.
    virtual void wait(int ms);

    // The clock in use (the system clock unless a test installed another).
    static Clock &instance();
    static QDateTime current() { return instance().now(); }
    // Installs `clock` (not owned) in place of the system clock; nullptr restores it.
    static void install(Clock *clock);
};

} // namespace chimewell
