#include "common/singleinstance.h"

#include "common/platform.h"

#include <QLockFile>

namespace chimewell {

SingleInstance::SingleInstance(const QString &program)
    : m_lock(std::make_unique<QLockFile>(platform::runtimeFolder() + QLatin1Char('/') + program + QStringLiteral(".lock")))
{
    // QLockFile takes over a lock whose owner process is gone, so a crash
    // (kill -9) never blocks the next start. No age limit: a running copy may
    // run for months.
    m_lock->setStaleLockTime(0);
    m_first = m_lock->tryLock(0);
}

SingleInstance::~SingleInstance() = default;

} // namespace chimewell
