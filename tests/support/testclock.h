#pragma once

#include "common/clock.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace chimewell::testing {

// A clock for tests: stands still until set or advanced, and installs itself
// for its lifetime. Waits (pause) advance it and only let pending events run,
// so they take no real time.
class TestClock final : public Clock
{
public:
    explicit TestClock(const QDateTime &start = QDateTime(QDate(2026, 12, 7), QTime(10, 0))) : m_now(start)
    {
        Clock::install(this);
    }
    ~TestClock() override
    {
        if (&Clock::instance() == this)
            Clock::install(nullptr);
    }
    QDateTime now() const override { return m_now; }
    void wait(int ms) override
    {
        advance(ms);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    void set(const QDateTime &t) { m_now = t; }
    void set(const QTime &t) { m_now.setTime(t); }
    void advance(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};

} // namespace chimewell::testing
