#include "common/program.h"

#include "common/backgroundwork.h"
#include "common/dialogs.h"
#include "common/launcher.h"
#include "common/secondstart.h"
#include "common/settingsstore.h"
#include "common/singleinstance.h"
#include "common/termination.h"
#include "common/version.h"

#include <QApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>
#include <QWidget>

#include <xcb/xcb.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>

namespace chimewell {

namespace {
bool g_ending = false;
int g_exitCode = 0;
QByteArray g_programName = "chimewell"; // as started, for the lines on stderr

// The platform plugin the application object will load, as Qt chooses it.
QByteArray platformName(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return argv[i + 1];
    }
    return qgetenv("QT_QPA_PLATFORM");
}

// Why the X display cannot be reached, or nothing. Asked before the
// application object exists, because without a display Qt's platform plugin
// aborts the program. The connection that asked is handed back in *held, to be
// closed once the application has its own: the last client leaving resets an
// X server, which could refuse Qt's connection at that very moment.
QString displayProblem(int argc, char **argv, xcb_connection_t **held)
{
    const QByteArray platform = platformName(argc, argv);
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return {};
    QByteArray display = qgetenv("DISPLAY");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-display") == 0)
            display = argv[i + 1];
    }
    if (display.isEmpty())
        return QStringLiteral("cannot open display: DISPLAY is not set");
    xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
    const int error = xcb_connection_has_error(c);
    if (error == 0) {
        *held = c;
        return {};
    }
    xcb_disconnect(c);
    const QString why = error == XCB_CONN_CLOSED_PARSE_ERR ? QStringLiteral("not a display name")
        : error == XCB_CONN_ERROR                           ? QStringLiteral("no X server answers there")
                                                            : QStringLiteral("the X server refused the connection");
    return QStringLiteral("cannot open display %1 (%2)").arg(QString::fromLocal8Bit(display), why);
}

// Stops our threads, but never hangs an ending program for good: a thread
// that cannot be stopped (one stuck in a sound server that no longer answers)
// is left behind after kStopLimit, and the program says so and ends.
constexpr auto kStopLimit = std::chrono::seconds(10);

void stopWithinLimit()
{
    std::mutex mutex;
    std::condition_variable stopped;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!stopped.wait_for(lock, kStopLimit, [&] { return done; })) {
            std::fprintf(stderr, "%s: a thread did not stop within %lld s; ending without it\n",
                         g_programName.constData(), static_cast<long long>(kStopLimit.count()));
            std::fflush(nullptr);
            ::_exit(0);
        }
    });
    stopBackgroundWork();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    stopped.notify_one();
    watchdog.join();
}

// Qt ends the process with exit(1) when the X connection breaks (the server
// gone at the end of a session): the application object and our threads are
// still there then, so stop and join them first, and end as a session's end
// does, with status 0. Best done before exit() starts: a thread still at work
// while exit() destroys Qt's globals can crash in them.
void endWithApplicationAlive()
{
    if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread())
        return;
    stopWithinLimit();
    std::fflush(nullptr);
    ::_exit(0);
}

// Qt's xcb plugin says this just before its exit(1).
QtMessageHandler g_previousHandler = nullptr;
void watchForLostDisplay(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    if (type == QtWarningMsg && message.startsWith(QLatin1String("The X11 connection broke")))
        endWithApplicationAlive();
}
} // namespace

void endProgram(int code)
{
    if (!g_ending)
        g_exitCode = code;
    g_ending = true;
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows)
            w->hide();
    }
    // Ends every running loop, nested ones included...
    QCoreApplication::exit(g_exitCode);
    // ...and, since exit() is forgotten by a loop that starts later, ends the
    // main loop too when it starts after this call.
    if (auto *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app,
            [] {
                if (g_ending)
                    QCoreApplication::exit(g_exitCode);
            },
            Qt::QueuedConnection);
}

bool isEnding() { return g_ending; }

void clearEnding()
{
    g_ending = false;
    g_exitCode = 0;
}

bool tellIfStoreUnreadable(QWidget *parent)
{
    const QString application = QString::fromLatin1(store::kApplication);
    const QString why = store::problem(application);
    if (why.isEmpty())
        return false;
    static bool told = false;
    if (!std::exchange(told, true))
        dialogs::message(parent, QStringLiteral("Chimewell"),
                         QStringLiteral("Chimewell cannot read its settings file %1: %2.\n\nIt goes on with its usual "
                                        "settings for now, and it will not write over that file, so nothing in it is "
                                        "lost. To start afresh, move the file aside; then start Chimewell again.")
                             .arg(store::filePath(application), why),
                         QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

void restartProgram()
{
    // If the restart program cannot start, this run still ends, as asked.
    startShipped(QStringLiteral("chimewell-restart"));
    endProgram();
}

struct GuiProgram::Private
{
    std::unique_ptr<QApplication> app;
    std::unique_ptr<SingleInstance> instance;
    std::unique_ptr<SecondStartListener> secondStarts;
    bool told = false;
};

GuiProgram::GuiProgram(int &argc, char **argv) : d(std::make_unique<Private>())
{
    // A program started before the display is up (an autostart entry) or after
    // it went says so in one line and touches nothing.
    xcb_connection_t *probe = nullptr;
    if (argc > 0 && argv[0] && *argv[0])
        g_programName = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toLocal8Bit();
    if (const QString problem = displayProblem(argc, argv, &probe); !problem.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", g_programName.constData(), qPrintable(problem));
        std::exit(1);
    }
    // The session ends programs with SIGTERM or SIGHUP at logout: quit cleanly then.
    installTerminationHandler();
    // The characters and the windows place themselves, which Wayland does not
    // allow: run on XWayland there.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    d->app = std::make_unique<QApplication>(argc, argv);
    if (probe)
        xcb_disconnect(probe);
    QApplication::setApplicationName(QStringLiteral("Chimewell"));
    QApplication::setApplicationVersion(QStringLiteral(CHIMEWELL_VERSION));
    // Windows come and go (the agreement, the clock hidden to the tray): only
    // endProgram ends a program.
    QApplication::setQuitOnLastWindowClosed(false);
    static const bool registered = [] {
        g_previousHandler = qInstallMessageHandler(watchForLostDisplay);
        // Should the words change: exit() itself, though later than is best.
        return std::atexit(endWithApplicationAlive) == 0;
    }();
    Q_UNUSED(registered);
}

GuiProgram::~GuiProgram()
{
    // Forms owned by main() are gone by now. Every thread of ours is joined
    // while the application still exists (a decode paints, the recogniser has
    // the microphone open); the lock goes before the application too.
    stopWithinLimit();
    d->secondStarts.reset();
    d->instance.reset();
    d->app.reset();
}

QApplication &GuiProgram::app() { return *d->app; }

bool GuiProgram::claimInstance(const QString &lockName, const QStringList &arguments)
{
    d->instance = std::make_unique<SingleInstance>(lockName);
    if (!d->instance->isFirst()) {
        d->told = SecondStartListener::notifyRunning(lockName, arguments);
        return false;
    }
    d->secondStarts = std::make_unique<SecondStartListener>(lockName);
    dialogs::installShowLog();
    return true;
}

SecondStartListener *GuiProgram::secondStarts() const { return d->secondStarts.get(); }

bool GuiProgram::runningCopyTold() const { return d->told; }

int GuiProgram::exec()
{
    if (g_ending)
        return g_exitCode;
    return QApplication::exec();
}

} // namespace chimewell
