#include "common/backgroundwork.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>

#include <utility>
#include <vector>

namespace chimewell {

namespace {
QMutex g_mutex;
std::vector<std::function<void()>> g_stops;
bool g_stopped = false;
bool g_fallback = false;
} // namespace

void onStopBackgroundWork(std::function<void()> stop)
{
    if (!stop)
        return;
    {
        QMutexLocker lock(&g_mutex);
        if (!g_stopped) {
            g_stops.push_back(std::move(stop));
            if (!std::exchange(g_fallback, true))
                qAddPostRoutine(stopBackgroundWork);
            return;
        }
    }
    stop();
}

void stopBackgroundWork()
{
    std::vector<std::function<void()>> stops;
    {
        QMutexLocker lock(&g_mutex);
        g_stopped = true;
        stops.swap(g_stops);
    }
    // Newest first: what started last may use what started before it.
    for (auto it = stops.rbegin(); it != stops.rend(); ++it)
        (*it)();
    QThreadPool::globalInstance()->waitForDone();
}

bool backgroundWorkStopped()
{
    QMutexLocker lock(&g_mutex);
    return g_stopped;
}

} // namespace chimewell
