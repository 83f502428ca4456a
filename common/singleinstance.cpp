#include "common/singleinstance.h"

#include "common/platform.h"

#include <QFile>
#include <QLockFile>

#include <sys/stat.h>
#include <unistd.h>

namespace chimewell {

namespace {
// A lock file of another user's (root's, say) is never our running copy.
bool ownedByOthers(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid != ::getuid();
}
} // namespace

SingleInstance::SingleInstance(const QString &program)
{
    const QString name = QLatin1Char('/') + program + QStringLiteral(".lock");
    QString path = platform::runtimeFolder() + name;
    for (int attempt = 0; attempt < 2; ++attempt) {
        m_lock = std::make_unique<QLockFile>(path);
        // QLockFile takes over a lock whose owner process is gone, so a crash
        // (kill -9) never blocks the next start. No age limit: a running copy
        // may run for months.
        m_lock->setStaleLockTime(0);
        m_first = m_lock->tryLock(0);
        if (m_first || !ownedByOthers(path))
            return;
        path = platform::privateRuntimeFolder() + name;
    }
}

SingleInstance::~SingleInstance() = default;

} // namespace chimewell
