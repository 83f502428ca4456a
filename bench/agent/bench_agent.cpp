// bench_agent [--seconds N] [--file character.acs]
// Prints: load time and memory per character, CPU of two idling characters second
// by second, CPU while both animate and one walks, and the largest lateness of the
// event loop meanwhile. Run it on the display to be measured (Xvfb, a desktop).
//
// bench_agent --resident N [--wander] [--seconds N] --file a.acs [--file b.acs ...]
// Only memory, in a fresh process: loads N characters (the files in turn), shows
// them, lets them idle (or play and walk about without a break) and prints the
// process's resident memory before the first load and at the end.
#include "agent/agent.h"
#include "agent/characterfile.h"
#include "acsbuilder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

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

int residentOnly(int count, const QStringList &files, int seconds, bool wander)
{
    if (count < 1 || files.isEmpty())
        return 2;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    runFor(200); // the platform's own start-up is not the characters'
    const double before = rssMiB();
    std::vector<std::unique_ptr<AgentControl>> controls;
    QList<Character *> loaded;
    QElapsedTimer loading;
    loading.start();
    for (int i = 0; i < count; ++i) {
        controls.push_back(std::make_unique<AgentControl>());
        const QString id = QStringLiteral("c%1").arg(i);
        if (!controls.back()->characters().load(id, QFileInfo(files.at(i % files.size())).absoluteFilePath()))
            return 1;
        Character *c = controls.back()->characters().character(id);
        c->moveTo(50 + 150 * i, 100, 0);
        c->show();
        loaded.append(c);
    }
    const double loadMs = double(loading.nsecsElapsed()) / 1e6;
    if (wander) {
        for (Character *c : std::as_const(loaded)) {
            const QStringList names = c->animationNames();
            QObject::connect(c, &Character::requestComplete, c, [c, names](int, bool) {
                if (c->isBusy())
                    return;
                const int roll = int(QRandomGenerator::global()->bounded(3));
                if (roll == 0)
                    c->moveTo(int(QRandomGenerator::global()->bounded(900)), int(QRandomGenerator::global()->bounded(500)), 1500);
                else
                    c->play(names.at(int(QRandomGenerator::global()->bounded(int(names.size())))));
            });
            c->play(names.first());
        }
    }
    double peak = 0;
    for (int s = 0; s < seconds; ++s) {
        runFor(1000);
        peak = std::max(peak, rssMiB());
    }
    std::printf("resident: %d characters %s for %d s: %.1f MiB before, %.1f MiB at the end, %.1f MiB at most "
                "(characters: %.1f MiB); loading them took %.1f ms\n",
                count, wander ? "wandering" : "idle", seconds, before, rssMiB(), peak, peak - before, loadMs);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.addHelpOption();
    args.addOption({QStringLiteral("seconds"), QStringLiteral("Seconds of each CPU phase (default 20)."), QStringLiteral("n"), QStringLiteral("20")});
    args.addOption({QStringLiteral("file"), QStringLiteral("Character file to use (default: a painted 128 px one)."), QStringLiteral("path")});
    args.addOption({QStringLiteral("resident"), QStringLiteral("Measure only the memory of N characters."), QStringLiteral("n")});
    args.addOption({QStringLiteral("wander"), QStringLiteral("With --resident: the characters play and walk meanwhile.")});
    args.process(app);
    if (args.isSet(QStringLiteral("resident")))
        return residentOnly(args.value(QStringLiteral("resident")).toInt(), args.values(QStringLiteral("file")),
                            qMax(1, args.value(QStringLiteral("seconds")).toInt()), args.isSet(QStringLiteral("wander")));
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
