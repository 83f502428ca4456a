#pragma once

#include <QDateTime>

namespace chimewell {

// The one source of the time of day for all program logic. Tests replace it
// with a clock they can set and advance.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // The clock in use (the system clock unless a test installed another).
    static const Clock &instance();
    static QDateTime current() { return instance().now(); }
    // Installs `clock` (not owned) in place of the system clock; nullptr restores it.
    static void install(const Clock *clock);
};

// A clock for tests: stands still until set or advanced. pause() advances it
// instead of sleeping, so waits in tests take no real time.
class TestClock final : public Clock
{
public:
    explicit TestClock(const QDateTime &start = QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    ~TestClock() override;
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &t) { m_now = t; }
    void set(const QTime &t) { m_now.setTime(t); }
    void advance(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};

} // namespace chimewell
