// Opening the settings dialog from the clock's "Main Options": the first
// opening (the form built and loaded), an opening after it was closed (built
// and loaded again, with Qt's caches warm), and choosing the entry while it is
// open (only brought forward); each from the menu choice until the window is
// exposed. Memory: resident set before the first opening and with the dialog
// open. The baseline is a bare dialog of seven empty tabs, measured the same way.
// Needs a display: scripts/with-display.sh build/bench/bench_settings
#include "clock/frm_clock.h"
#include "settings/frm_settings.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace chimewell;

namespace {

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Runs events until the window is on screen; milliseconds since `timer` started.
double untilExposed(QWidget *w, const QElapsedTimer &timer)
{
    while (!(w->windowHandle() && w->windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return timer.nsecsElapsed() / 1e6;
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Figures
{
    double first = 0, again = 0, forward = 0;
    long addedKiB = 0;
};

// open() starts an opening; shown() is the window to wait for; closeIt() closes it.
Figures measure(const std::function<void()> &open, const std::function<QWidget *()> &shown,
                const std::function<void()> &closeIt)
{
    constexpr int kRepeats = 15;
    Figures f;
    settle(300);
    const long before = rssKiB();
    QElapsedTimer t;
    t.start();
    open();
    f.first = untilExposed(shown(), t);
    settle(300);
    f.addedKiB = rssKiB() - before;

    std::vector<double> forward, again;
    for (int i = 0; i < kRepeats; ++i) {
        t.restart();
        open();
        forward.push_back(untilExposed(shown(), t));
    }
    for (int i = 0; i < kRepeats; ++i) {
        QPointer<QWidget> old = shown();
        closeIt();
        while (old)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        t.restart();
        open();
        again.push_back(untilExposed(shown(), t));
    }
    f.forward = median(forward);
    f.again = median(again);
    closeIt();
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    for (const char *v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        qputenv(v, home.path().toUtf8());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    // The clock comes first, as in the program: the dialogs below find Qt
    // already started. Ours is measured before the baseline, so the baseline
    // is the one that profits from warm caches.
    clockcore::frm_clock clock;
    clock.Form_Load();
    clock.show();
    untilExposed(&clock, QElapsedTimer());
    QAction *mainOptions = clock.menuEntry(QStringLiteral("mnu_settings1"));
    const Figures ours =
        measure([&] { mainOptions->trigger(); }, [&] { return static_cast<QWidget *>(clock.settingsDialog()); },
                [&] { clock.settingsDialog()->close(); });

    QPointer<QDialog> bare;
    const Figures base = measure(
        [&] {
            if (!bare) {
                bare = new QDialog;
                bare->setAttribute(Qt::WA_DeleteOnClose);
                auto *tabs = new QTabWidget(bare);
                for (int i = 0; i < 7; ++i)
                    tabs->addTab(new QWidget, QStringLiteral("Tab %1").arg(i));
                (new QVBoxLayout(bare))->addWidget(tabs);
            }
            bare->show();
            bare->raise();
        },
        [&] { return static_cast<QWidget *>(bare.data()); }, [&] { bare->close(); });

    std::printf("%-40s %14s %14s\n", "", "settings", "bare 7 tabs");
    std::printf("%-40s %14.1f %14.1f\n", "first opening to shown (ms)", ours.first, base.first);
    std::printf("%-40s %14.1f %14.1f\n", "opening after a close, median (ms)", ours.again, base.again);
    std::printf("%-40s %14.1f %14.1f\n", "choosing it while open, median (ms)", ours.forward, base.forward);
    std::printf("%-40s %14ld %14ld\n", "resident memory added when open (KiB)", ours.addedKiB, base.addedKiB);
    return 0;
}
