// bench_agent [--seconds N] [--file character.acs]
// Prints: load time and memory per character, CPU of two idling characters second
// by second, CPU while both animate and one walks, and the largest lateness of the
// event loop meanwhile. Run it on the display to be measured (Xvfb, a desktop).
#include "agent/agent.h"
#include "agent/characterfile.h"
#include "acsbuilder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

using namespace chimewell::agent;

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double rssMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts.at(1).toDouble() * 4096.0 / (1024 * 1024) : 0;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU per second over `seconds`, printed as it goes; returns the mean in percent.
double measureCpu(const char *phase, int seconds)
{
    double total = 0;
    for (int s = 1; s <= seconds; ++s) {
        QElapsedTimer wall;
        wall.start();
        const double before = cpuSeconds();
        runFor(1000);
        const double pct = 100.0 * (cpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9);
        total += pct;
        std::printf("%-6s second %3d: cpu %6.2f %%\n", phase, s, pct);
        std::fflush(stdout);
    }
    return total / seconds;
}

QString syntheticCharacter(const QString &folder)
{
    // About a shipped character: 128 px, ~150 frames, 100 ms frames, 2x images.
    test::TestCharacter t(128, 100);
    for (int a = 0; a < 14; ++a)
        t.addAnimation(QStringLiteral("Gesture%1").arg(a), 9, 100, QColor::fromHsv(a * 25, 200, 200));
    const QStringList names = t.files.keys();
    for (const QString &name : names)
        t.files.insert(QStringLiteral("2x/") + name, test::png(test::paintFrame(128, 128, Qt::blue, 2.0)));
    return t.write(folder, QStringLiteral("bench.acs"));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.addHelpOption();
    args.addOption({QStringLiteral("seconds"), QStringLiteral("Seconds of each CPU phase (default 20)."), QStringLiteral("n"), QStringLiteral("20")});
    args.addOption({QStringLiteral("file"), QStringLiteral("Character file to use (default: a painted 128 px one)."), QStringLiteral("path")});
    args.process(app);
    const int seconds = qMax(1, args.value(QStringLiteral("seconds")).toInt());

    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    QString file = args.value(QStringLiteral("file"));
    if (file.isEmpty())
        file = syntheticCharacter(home.path());
    file = QFileInfo(file).absoluteFilePath();
    std::printf("platform %s, character %s (%lld bytes)\n", qPrintable(QGuiApplication::platformName()),
                qPrintable(file), static_cast<long long>(QFileInfo(file).size()));

    // Load time and memory.
    {
        AgentControl control;
        QList<double> times;
        const double rssBefore = rssMiB();
        for (int i = 0; i < 10; ++i) {
            QElapsedTimer t;
            t.start();
            if (!control.characters().load(QStringLiteral("c%1").arg(i), file)) {
                std::fprintf(stderr, "cannot load %s\n", qPrintable(file));
                return 1;
            }
            times.append(double(t.nsecsElapsed()) / 1e6);
        }
        const double rssAfter = rssMiB();
        std::sort(times.begin(), times.end());
        std::printf("load: median %.1f ms, slowest %.1f ms, fastest %.1f ms\n", times.at(times.size() / 2), times.last(), times.first());
        std::printf("memory: %.2f MiB per loaded character (RSS %.1f -> %.1f MiB for 10)\n",
                    (rssAfter - rssBefore) / 10, rssBefore, rssAfter);
        QString error;
        QElapsedTimer t;
        t.start();
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        parseCharacterFile(bytes, &error);
        std::printf("parse alone: %.1f ms\n", double(t.nsecsElapsed()) / 1e6);
    }

    AgentControl control1;
    AgentControl control2;
    control1.characters().load(QStringLiteral("one"), file);
    control2.characters().load(QStringLiteral("two"), file);
    Character *one = control1.characters().character(QStringLiteral("one"));
    Character *two = control2.characters().character(QStringLiteral("two"));
    one->moveTo(100, 100, 0);
    two->moveTo(400, 100, 0);
    one->show(true);
    two->show(true);
    runFor(500);

    const double idle = measureCpu("idle", seconds);

    // Busy: both play gestures without a break, one walks to and fro; a 5 ms timer
    // notes how late the event loop runs it.
    const QStringList names = one->animationNames();
    int next = 0;
    const auto keepBusy = [&](Character *c) {
        QObject::connect(c, &Character::requestComplete, c, [&, c](int, bool) {
            if (!c->isBusy())
                c->play(names.at(next++ % names.size()));
        });
        c->play(names.at(next++ % names.size()));
    };
    keepBusy(one);
    QObject::connect(two, &Character::requestComplete, two, [two](int, bool) {
        if (!two->isBusy())
            two->moveTo(two->left() < 500 ? 900 : 400, 100 + (two->left() / 7) % 200, 2000);
    });
    two->moveTo(900, 150, 2000);
    qint64 worstLateNs = 0;
    QElapsedTimer tick;
    tick.start();
    qint64 expected = 5'000'000;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
        const qint64 now = tick.nsecsElapsed();
        worstLateNs = qMax(worstLateNs, now - expected);
        expected = now + 5'000'000;
    });
    probe.start();
    const double busy = measureCpu("busy", seconds);
    probe.stop();

    std::printf("summary: idle %.2f %% cpu, busy (two animating, one walking) %.2f %% cpu, "
                "largest event-loop lateness %.1f ms\n",
                idle, busy, double(worstLateNs) / 1e6);
    return 0;
}
