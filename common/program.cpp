#include "common/program.h"

#include "common/dialogs.h"
#include "common/launcher.h"
#include "common/secondstart.h"
#include "common/singleinstance.h"
#include "common/termination.h"
#include "common/version.h"

#include <QApplication>
#include <QMetaObject>
#include <QWidget>

namespace chimewell {

namespace {
bool g_ending = false;
int g_exitCode = 0;
}

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
    // The session ends programs with SIGTERM or SIGHUP at logout: quit cleanly then.
    installTerminationHandler();
    // The characters and the windows place themselves, which Wayland does not
    // allow: run on XWayland there.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    d->app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chimewell"));
    QApplication::setApplicationVersion(QStringLiteral(CHIMEWELL_VERSION));
    // Windows come and go (the agreement, the clock hidden to the tray): only
    // endProgram ends a program.
    QApplication::setQuitOnLastWindowClosed(false);
}

GuiProgram::~GuiProgram()
{
    // Forms owned by main() are gone by now; the lock goes before the application.
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
