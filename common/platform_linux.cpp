// The platform module on a freedesktop Linux session.
#include "common/platform.h"

#include "common/desktopentry.h"

#include "common/launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

namespace chimewell::platform {

namespace {

const QString kAutostartName = QStringLiteral("Chimewell.desktop");

QStringList envList(const char *name, const QString &fallback)
{
    QString v = qEnvironmentVariable(name);
    if (v.isEmpty())
        v = fallback;
    QStringList out;
    const QStringList parts = v.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &p : parts) {
        if (QDir::isAbsolutePath(p))
            out << QDir::cleanPath(p);
    }
    return out;
}

QString dataHome()
{
    const QString v = qEnvironmentVariable("XDG_DATA_HOME");
    return (!v.isEmpty() && QDir::isAbsolutePath(v)) ? v : QDir::homePath() + QStringLiteral("/.local/share");
}

// The mimeapps.list files in the order the freedesktop association rules read
// them, the desktop's own ones before the general ones in each folder.
QStringList mimeappsFiles()
{
    QStringList desktops;
    const QStringList current = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &d : current)
        desktops << d.toLower() + QStringLiteral("-mimeapps.list");
    desktops << QStringLiteral("mimeapps.list");

    QStringList folders{configHome()};
    folders << envList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    folders << dataHome() + QStringLiteral("/applications");
    const QStringList dataDirs = envList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString &d : dataDirs)
        folders << d + QStringLiteral("/applications");

    QStringList files;
    for (const QString &folder : std::as_const(folders)) {
        for (const QString &name : std::as_const(desktops))
            files << folder + QLatin1Char('/') + name;
    }
    return files;
}

QString findDesktopFile(const QString &id)
{
    if (id.isEmpty() || id.contains(QLatin1Char('/')))
        return QString();
    QStringList folders{dataHome()};
    folders << envList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString &folder : std::as_const(folders)) {
        // "org.example-app.desktop" may also live as org/example-app.desktop.
        QString relative = id;
        for (int dash = -1;;) {
            const QString path = folder + QStringLiteral("/applications/") + relative;
            if (QFileInfo(path).isFile())
                return path;
            dash = relative.indexOf(QLatin1Char('-'), dash + 1);
            if (dash < 0)
                break;
            relative[dash] = QLatin1Char('/');
        }
    }
    return QString();
}

// The desktop entry of the default handler of `mimeType`, or empty.
QString defaultHandler(const QString &mimeType)
{
    const QStringList files = mimeappsFiles();
    for (const QString &file : files) {
        if (!QFileInfo(file).isFile())
            continue;
        QSettings list(file, QSettings::IniFormat);
        list.beginGroup(QStringLiteral("Default Applications"));
        const QStringList ids = list.value(mimeType).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString &id : ids) {
            const QString path = findDesktopFile(id.trimmed());
            if (!path.isEmpty())
                return path;
        }
    }
    return QString();
}

// The handler's command line for `address`, read from its desktop entry.
QStringList commandFor(const QString &desktopFile, const QString &address)
{
    if (desktopFile.isEmpty())
        return {};
    QFile f(desktopFile);
    // A desktop entry is a few kilobytes; a huge file is not one.
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1024 * 1024)
        return {};
    return desktopEntryCommand(f.read(1024 * 1024), address);
}

qint64 clockMs(clockid_t id)
{
    timespec ts{};
    if (clock_gettime(id, &ts) != 0)
        return -1;
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

bool addAutostartEntry()
{
    const QString folder = autostartFolder();
    if (!QDir().mkpath(folder))
        return false;
    QFile in(programFolder() + QLatin1Char('/') + kAutostartName);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray entry = in.readAll();
    if (entry.isEmpty())
        return false;
    QSaveFile out(folder + QLatin1Char('/') + kAutostartName);
    if (!out.open(QIODevice::WriteOnly) || out.write(entry) != entry.size())
        return false;
    return out.commit();
}

bool removeAutostartEntry()
{
    const QString path = autostartFolder() + QLatin1Char('/') + kAutostartName;
    return !QFileInfo::exists(path) || QFile::remove(path);
}

bool hasAutostartEntry() { return QFileInfo(autostartFolder() + QLatin1Char('/') + kAutostartName).isFile(); }

OpenResult openWebAddress(const QString &address)
{
    QString handler = defaultHandler(QStringLiteral("text/html"));
    if (handler.isEmpty())
        handler = defaultHandler(QStringLiteral("x-scheme-handler/http"));
    const QStringList command = commandFor(handler, address);
    if (command.isEmpty())
        return OpenResult::NoHandler;
    return startProgram(command.first(), command.mid(1)) ? OpenResult::Opened : OpenResult::StartFailed;
}

bool speechEngineInstalled()
{
    QStringList candidates;
    const QString own = qEnvironmentVariable("ESPEAK_DATA_PATH");
    if (!own.isEmpty())
        candidates << own + QStringLiteral("/espeak-ng-data");
    const QStringList multiarch = QDir(QStringLiteral("/usr/lib")).entryList({QStringLiteral("*-linux-*")}, QDir::Dirs);
    for (const QString &triplet : multiarch)
        candidates << QStringLiteral("/usr/lib/") + triplet + QStringLiteral("/espeak-ng-data");
    candidates << QStringLiteral("/usr/lib/espeak-ng-data") << QStringLiteral("/usr/share/espeak-ng-data")
               << QStringLiteral("/usr/local/share/espeak-ng-data");
    for (const QString &dir : std::as_const(candidates)) {
        if (QFileInfo(dir + QStringLiteral("/phontab")).isFile())
            return true;
    }
    return false;
}

qint64 suspendedMs()
{
    // CLOCK_BOOTTIME runs on while the machine sleeps, CLOCK_MONOTONIC does not.
    const qint64 boot = clockMs(CLOCK_BOOTTIME);
    const qint64 mono = clockMs(CLOCK_MONOTONIC);
    return boot < 0 || mono < 0 ? -1 : boot - mono;
}

namespace {

// A wall-clock timer set far in the future that the kernel cancels whenever
// the wall clock is set discontinuously (and on resume from sleep); each
// cancellation is one change, and the timer is set again for the next.
class WallClockWatch final : public QObject
{
public:
    WallClockWatch(QObject *context, std::function<void()> changed)
        : QObject(context), m_changed(std::move(changed))
    {
        m_fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_fd < 0 || !arm()) {
            // Without the watch a window only falls back on its own timers.
            return;
        }
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &WallClockWatch::onReadable);
    }
    ~WallClockWatch() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

private:
    bool arm()
    {
        timespec now{};
        if (clock_gettime(CLOCK_REALTIME, &now) != 0)
            return false;
        constexpr time_t kFarAhead = time_t(50) * 365 * 24 * 3600;
        itimerspec when{};
        when.it_value.tv_sec = now.tv_sec + kFarAhead;
        return timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr) == 0;
    }
    void onReadable()
    {
        std::uint64_t expirations = 0;
        const ssize_t n = ::read(m_fd, &expirations, sizeof expirations);
        if (n < 0 && errno == EAGAIN)
            return;
        // ECANCELED is the change; an expiry fifty years on counts as one too.
        // Anything else would keep the descriptor readable for ever: stop watching.
        if ((n < 0 && errno != ECANCELED) || !arm())
            m_notifier->setEnabled(false);
        if (m_changed)
            m_changed();
    }

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    std::function<void()> m_changed;
};

} // namespace

void onWallClockChange(QObject *context, std::function<void()> changed)
{
    if (context && changed)
        new WallClockWatch(context, std::move(changed));
}

} // namespace chimewell::platform
