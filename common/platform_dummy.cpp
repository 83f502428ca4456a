// The platform module for tests: nothing outside the test's own folders is touched.
#include "common/platform_dummy.h"

#include <QCoreApplication>
#include <QDir>

namespace chimewell::platform {

namespace dummy {

State &state()
{
    static State s;
    return s;
}

void reset() { state() = State(); }

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

} // namespace chimewell::platform
