// The folders of the platform module: pure functions of the XDG variables,
// shared by the real and the test implementation.
#include "common/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace chimewell::platform {

namespace {

QString envOr(const char *name, const QString &fallback)
{
    const QString v = qEnvironmentVariable(name);
    // XDG says relative paths are invalid and must be ignored.
    return (!v.isEmpty() && QDir::isAbsolutePath(v)) ? v : fallback;
}

QString dataHome() { return envOr("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share")); }

bool sameContents(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 chunk = 256 * 1024;
    while (!fa.atEnd()) {
        if (fa.read(chunk) != fb.read(chunk))
            return false;
    }
    return fb.atEnd();
}

} // namespace

// Read at every call, not cached: a test (or a helper) may point it elsewhere.
QString configHome() { return envOr("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config")); }

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

bool standardCharactersFound()
{
    return !findCharacterFile(QLatin1String(kStandardCharacter1)).isEmpty()
        && !findCharacterFile(QLatin1String(kStandardCharacter2)).isEmpty();
}

QString missingAdvice(Component component)
{
    if (component == Component::Characters)
        return standardCharactersFound()
            ? QString()
            : QStringLiteral("Chimewell's characters are missing from %1. Please reinstall Chimewell.")
                  .arg(shippedCharacterFolder());
    return speechEngineInstalled()
        ? QString()
        : QStringLiteral("Chimewell's characters need the espeak-ng speech engine to talk. Please install it, for "
                         "example with: sudo apt install espeak-ng-data libespeak-ng1");
}

QStringList missingComponents()
{
    QStringList missing;
    for (const Component c : {Component::Characters, Component::Speech}) {
        if (const QString advice = missingAdvice(c); !advice.isEmpty())
            missing << advice;
    }
    return missing;
}

QString copyIntoCharacterFolder(const QString &from, const QString &name)
{
    const QString folder = characterFolder();
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 cannot be created").arg(folder);
    const QString to = folder + QLatin1Char('/') + name + QStringLiteral(".acs");
    if (QFileInfo::exists(to) && sameContents(from, to))
        return QString(); // the very same character is there already
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    constexpr qint64 chunk = 256 * 1024;
    while (!in.atEnd()) {
        const QByteArray bytes = in.read(chunk);
        if (bytes.isEmpty() && !in.atEnd())
            return in.errorString();
        if (out.write(bytes) != bytes.size())
            return out.errorString();
    }
    if (in.error() != QFileDevice::NoError)
        return in.errorString();
    if (!out.commit())
        return out.errorString();
    return QString();
}

QString autostartFolder() { return configHome() + QStringLiteral("/autostart"); }

QString privateRuntimeFolder()
{
    // A private folder in the user's own cache, which no other user can take over first.
    const QString fallback = envOr("XDG_CACHE_HOME", QDir::homePath() + QStringLiteral("/.cache"))
        + QStringLiteral("/chimewell/run");
    QDir().mkpath(fallback);
    QFile::setPermissions(fallback, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return fallback;
}

bool sessionBusInSight()
{
    return qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")
        || QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus"));
}

QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return privateRuntimeFolder(); // a plain ssh or cron session
    // Only a folder of the user's own that nobody else may enter: in any other
    // a lock or a socket could be planted by another user first.
    struct stat st {};
    if (::stat(QFile::encodeName(runtime).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
        && (st.st_mode & 07777) == 0700)
        return runtime;
    static bool warned = false;
    if (!std::exchange(warned, true))
        std::fprintf(stderr, "chimewell: not using XDG_RUNTIME_DIR %s: it is not a folder of this user's own with "
                             "mode 0700; using a private folder instead\n",
                     qPrintable(runtime));
    return privateRuntimeFolder();
}

} // namespace chimewell::platform
