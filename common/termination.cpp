#include "common/termination.h"

#include "common/program.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace chimewell {

namespace {

int g_pipe[2] = {-1, -1};
QPointer<QObject> g_context;
std::function<void()> g_handler;

extern "C" void onTerminationSignal(int)
{
    // Only what is safe in a signal handler: one byte down the pipe. A full
    // pipe already holds a request to quit.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void quitNow()
{
    if (g_handler && g_context)
        g_handler();
    if (!isEnding())
        endProgram(0);
    // An exit asked for before the main loop runs (a signal during start-up,
    // seen in a nested loop) is forgotten when it starts: ask again until the
    // loops are gone.
    auto *again = new QTimer(QCoreApplication::instance());
    again->setInterval(50);
    QObject::connect(again, &QTimer::timeout, again, [] { QCoreApplication::exit(0); });
    again->start();
}

void watchPipe()
{
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier] {
        char buf[64];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        notifier->setEnabled(false); // once is enough
        quitNow();
    });
}

} // namespace

bool installTerminationHandler()
{
    if (g_pipe[0] >= 0)
        return true;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART; // writes to the store carry on undisturbed
    const bool ok = ::sigaction(SIGTERM, &sa, nullptr) == 0 && ::sigaction(SIGHUP, &sa, nullptr) == 0
        && ::sigaction(SIGINT, &sa, nullptr) == 0;
    // Runs now when the application exists, else from its constructor.
    qAddPreRoutine(watchPipe);
    return ok;
}

void onTermination(QObject *context, std::function<void()> handler)
{
    g_context = context;
    g_handler = std::move(handler);
}

} // namespace chimewell
