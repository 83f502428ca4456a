#include "common/pause.h"

#include "common/clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace chimewell {

void pause(double seconds)
{
    // Whole seconds 0..255, as the stored and computed values expect.
    int whole = 0;
    if (std::isfinite(seconds))
        whole = static_cast<int>(std::clamp(std::round(seconds), 0.0, 255.0));

    if (auto *test = const_cast<TestClock *>(dynamic_cast<const TestClock *>(&Clock::instance()))) {
        test->advance(qint64(whole) * 1000);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    if (!QCoreApplication::instance())
        return;
    // A monotonic timer, so a wait also ends across midnight and clock changes.
    QEventLoop loop;
    QTimer::singleShot(whole * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace chimewell
