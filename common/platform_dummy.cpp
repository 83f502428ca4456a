// The platform module for tests: nothing outside the test's own folders is touched.
#include "common/platform_dummy.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

#include <utility>

namespace chimewell::platform {

namespace dummy {

State &state()
{
    static State s;
    return s;
}

namespace {
QList<std::pair<QPointer<QObject>, std::function<void()>>> &watchers()
{
    static QList<std::pair<QPointer<QObject>, std::function<void()>>> w;
    return w;
}
} // namespace

void reset() { state() = State(); }

void changeWallClock()
{
    auto &w = watchers();
    w.removeIf([](const auto &entry) { return entry.first.isNull(); });
    const auto current = w;
    for (const auto &entry : current) {
        if (entry.first)
            entry.second();
    }
}

} // namespace dummy

QString programFolder()
{
    if (!dummy::state().programFolder.isEmpty())
        return dummy::state().programFolder;
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

bool addAutostartEntry()
{
    if (dummy::state().autostartFails)
        return false;
    dummy::state().autostartEntry = true;
    return true;
}

bool removeAutostartEntry()
{
    if (dummy::state().autostartFails)
        return !dummy::state().autostartEntry;
    dummy::state().autostartEntry = false;
    return true;
}

bool hasAutostartEntry() { return dummy::state().autostartEntry; }

OpenResult openWebAddress(const QString &address)
{
    dummy::state().opened << address;
    return dummy::state().openResult;
}

bool speechEngineInstalled() { return dummy::state().speechEngine; }

qint64 suspendedMs() { return dummy::state().suspendedMs; }

void onWallClockChange(QObject *context, std::function<void()> changed)
{
    if (context && changed)
        dummy::watchers().append({QPointer<QObject>(context), std::move(changed)});
}

} // namespace chimewell::platform
