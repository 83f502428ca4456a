#include "common/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace chimewell::platform {

namespace {

QString envOr(const char *name, const QString &fallback)
{
    const QString v = qEnvironmentVariable(name);
    // XDG says relative paths are invalid and must be ignored.
    return (!v.isEmpty() && QDir::isAbsolutePath(v)) ? v : fallback;
}

QString dataHome() { return envOr("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share")); }
QString configHome() { return envOr("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config")); }

} // namespace

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString characterFolder() { return dataHome() + QStringLiteral("/chimewell/chars"); }

QString shippedCharacterFolder() { return programFolder() + QStringLiteral("/chars"); }

QStringList characterSearchPath()
{
    QStringList path{characterFolder()};
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    const QStringList entries = dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &d : entries) {
        if (QDir::isAbsolutePath(d))
            path << QDir::cleanPath(d) + QStringLiteral("/chimewell/chars");
    }
    path << shippedCharacterFolder();
    path.removeDuplicates();
    return path;
}

QString findCharacterFile(const QString &file)
{
    if (file.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(file))
        return QFileInfo(file).isFile() ? file : QString();
    QString name = file;
    if (!name.endsWith(QLatin1String(".acs"), Qt::CaseInsensitive))
        name += QStringLiteral(".acs");
    // A bare name only: never let a stored name reach outside the folders.
    if (name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return QString();
    const QStringList folders = characterSearchPath();
    for (const QString &folder : folders) {
        const QDir dir(folder);
        const QString exact = dir.filePath(name);
        if (QFileInfo(exact).isFile())
            return exact;
        // Character names match without regard to case ("Genie" finds genie.acs).
        const QStringList entries = dir.entryList({QStringLiteral("*.acs")}, QDir::Files);
        for (const QString &e : entries) {
            if (e.compare(name, Qt::CaseInsensitive) == 0)
                return dir.filePath(e);
        }
    }
    return QString();
}

QString autostartFolder() { return configHome() + QStringLiteral("/autostart"); }

QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    // No runtime folder (a plain ssh or cron session): a private folder in the
    // user's own cache, which no other user can take over first.
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString fallback = cache + QStringLiteral("/chimewell/run");
    QDir().mkpath(fallback);
    QFile::setPermissions(fallback, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return fallback;
}

} // namespace chimewell::platform
