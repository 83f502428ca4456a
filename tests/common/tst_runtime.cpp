// pause, the single-instance lock and the program launcher: the pieces every
// program leans on while it runs.
#include "common/clock.h"
#include "tests/support/testclock.h"
#include "common/launcher.h"
#include "common/pause.h"
#include "common/program.h"
#include "common/singleinstance.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <limits>
#include <sys/resource.h>

using namespace chimewell;
using chimewell::testing::TestClock;

namespace {

QStringList g_launches;
QtMessageHandler g_previous = nullptr;

void recordMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, "chimewell.launch") == 0) {
        g_launches << message;
        return;
    }
    if (g_previous)
        g_previous(type, context, message);
}

double cpuSeconds()
{
    rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool put(const QString &path, const QByteArray &bytes, QFile::Permissions mode)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size()
        && f.setPermissions(mode);
}

} // namespace

class TestRuntime final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void pauseKeepsHandlingEvents();
    void pauseLastsItsWholeSeconds_data();
    void pauseLastsItsWholeSeconds();
    void pauseSleepsWithoutSpinning();
    void pauseAdvancesATestClock_data();
    void pauseAdvancesATestClock();
    void pauseStopsWhenTheProgramEnds();

    void secondInstanceIsRefused();
    void lockOfAKilledRunIsTakenOver();

    void launcherRefusesWhatCannotRun();
    void launcherStartsPrograms();
    void launcherPassesArgumentsWithoutAShell();

private:
    QTemporaryDir m_root;
};

void TestRuntime::initTestCase()
{
    QVERIFY(m_root.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_root.filePath(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_root.path()));
    QLoggingCategory::setFilterRules(QStringLiteral("chimewell.launch.info=true"));
    g_previous = qInstallMessageHandler(recordMessages);
}

void TestRuntime::cleanupTestCase() { qInstallMessageHandler(g_previous); }

void TestRuntime::init() { g_launches.clear(); }

void TestRuntime::pauseKeepsHandlingEvents()
{
    int fired = 0;
    QElapsedTimer inside;
    QTimer::singleShot(200, this, [&] { ++fired; });
    QTimer ticker;
    ticker.setInterval(100);
    int ticks = 0;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start();
    QMetaObject::invokeMethod(this, [&] { inside.start(); }, Qt::QueuedConnection);

    QElapsedTimer t;
    t.start();
    QVERIFY(pause(1));
    QCOMPARE(fired, 1);
    QVERIFY(inside.isValid()); // a posted call ran during the pause
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QVERIFY(t.elapsed() >= 990);
}

void TestRuntime::pauseLastsItsWholeSeconds_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("expectedMs");
    QTest::newRow("0") << 0.0 << 0;
    QTest::newRow("-5") << -5.0 << 0;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << 0;
    QTest::newRow("0.3") << 0.3 << 0;
    QTest::newRow("1.2") << 1.2 << 1000;
}

void TestRuntime::pauseLastsItsWholeSeconds()
{
    QFETCH(double, seconds);
    QFETCH(int, expectedMs);
    QElapsedTimer t;
    t.start();
    QVERIFY(pause(seconds));
    const qint64 took = t.elapsed();
    QVERIFY2(took >= expectedMs - 10 && took < expectedMs + 300, qPrintable(QString::number(took)));
}

// A program waits in pause most of its life: it must sleep, not poll.
void TestRuntime::pauseSleepsWithoutSpinning()
{
    const double cpuBefore = cpuSeconds();
    QElapsedTimer t;
    t.start();
    QVERIFY(pause(2.4));
    const double wall = double(t.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    QVERIFY2(wall >= 1.99 && wall < 2.6, qPrintable(QString::number(wall)));
    QVERIFY2(cpu < 0.05 * wall, qPrintable(QStringLiteral("%1 s of CPU in %2 s").arg(cpu).arg(wall)));
}

void TestRuntime::pauseAdvancesATestClock_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("advancedSeconds");
    QTest::newRow("2") << 2.0 << 2;
    QTest::newRow("2.4") << 2.4 << 2;
    QTest::newRow("-5") << -5.0 << 0;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("255") << 255.0 << 255;
    QTest::newRow("256") << 256.0 << 255;
    QTest::newRow("1e308") << 1e308 << 255;
}

void TestRuntime::pauseAdvancesATestClock()
{
    QFETCH(double, seconds);
    QFETCH(int, advancedSeconds);
    // A minute before midnight, so a long pause crosses into the next day.
    const QDateTime start(QDate(2026, 12, 31), QTime(23, 59, 0));
    TestClock clock(start);
    bool handled = false;
    QMetaObject::invokeMethod(this, [&] { handled = true; }, Qt::QueuedConnection);
    QElapsedTimer t;
    t.start();
    QVERIFY(pause(seconds));
    QVERIFY(t.elapsed() < 200);
    QCOMPARE(Clock::current(), start.addSecs(advancedSeconds));
    QVERIFY(handled); // pending events still run
}

// An Exit during a handler's pause ends the wait at once, and every later
// pause of the ending program returns at once too, so no handler runs on.
void TestRuntime::pauseStopsWhenTheProgramEnds()
{
    QTimer::singleShot(200, this, [] { endProgram(); });
    QElapsedTimer t;
    t.start();
    QVERIFY(!pause(5));
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    t.restart();
    QVERIFY(!pause(5));
    QVERIFY(t.elapsed() < 100);
    clearEnding();
    QVERIFY(pause(0));
}

void TestRuntime::secondInstanceIsRefused()
{
    const QString name = QStringLiteral("refused");
    QProcess holder;
    holder.start(QStringLiteral(COMMON_HELPER), {QStringLiteral("hold"), name, QStringLiteral("-1")});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

    {
        const SingleInstance mine(name);
        QVERIFY(!mine.isFirst());
    }
    QProcess other;
    other.start(QStringLiteral(COMMON_HELPER), {QStringLiteral("hold"), name, QStringLiteral("0")});
    QVERIFY(other.waitForFinished(10000));
    QCOMPARE(other.readAllStandardOutput().trimmed(), QByteArray("busy"));
    QCOMPARE(other.exitCode(), 1);
    // A failed attempt must not have broken the holder's lock.
    QVERIFY(!SingleInstance(name).isFirst());

    // Another program's lock is its own.
    QVERIFY(SingleInstance(QStringLiteral("another")).isFirst());

    holder.kill();
    QVERIFY(holder.waitForFinished(10000));
}

void TestRuntime::lockOfAKilledRunIsTakenOver()
{
    const QString name = QStringLiteral("killed");
    for (int round = 0; round < 3; ++round) {
        QProcess holder;
        holder.start(QStringLiteral(COMMON_HELPER), {QStringLiteral("hold"), name, QStringLiteral("-1")});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
        QVERIFY(!SingleInstance(name).isFirst());
        holder.kill(); // SIGKILL: the lock file stays behind
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY(QFile::exists(m_root.filePath(name + QStringLiteral(".lock"))));
    }
    {
        const SingleInstance next(name);
        QVERIFY(next.isFirst());
        QVERIFY(!SingleInstance(name).isFirst());
    }
    // Released with its object: the next run gets it again.
    QVERIFY(SingleInstance(name).isFirst());
}

void TestRuntime::launcherRefusesWhatCannotRun()
{
    const QString missing = m_root.filePath(QStringLiteral("no-such-program"));
    QVERIFY(!startProgram(missing, {QStringLiteral("arg")}));
    QCOMPARE(g_launches, QStringList{QStringLiteral("start %1 arg failed").arg(missing)});

    const QString plain = m_root.filePath(QStringLiteral("not-executable"));
    QVERIFY(put(plain, "#!/bin/sh\nexit 0\n", QFile::ReadOwner | QFile::WriteOwner));
    g_launches.clear();
    QVERIFY(!startProgram(plain));
    QCOMPARE(g_launches, QStringList{QStringLiteral("start %1 failed").arg(plain)});

    g_launches.clear();
    QVERIFY(!startProgram(m_root.path())); // a folder is no program
    QVERIFY(!startProgram(QString()));
    QVERIFY(!startProgram(QStringLiteral("no-such-program-on-path-either")));
    QVERIFY(!startCommandLine(QStringLiteral("   ")));
    QCOMPARE(g_launches.size(), 4);
    for (const QString &line : std::as_const(g_launches))
        QVERIFY2(line.startsWith(QLatin1String("start")) && line.endsWith(QLatin1String(" failed")), qPrintable(line));
}

void TestRuntime::launcherStartsPrograms()
{
    QVERIFY(startProgram(QStringLiteral("/bin/true")));
    QVERIFY(startProgram(QStringLiteral("true"), {QStringLiteral("x")})); // a bare name comes from PATH
    QCOMPARE(g_launches, (QStringList{QStringLiteral("start /bin/true ok"), QStringLiteral("start true x ok")}));
}

void TestRuntime::launcherPassesArgumentsWithoutAShell()
{
    // Each argument arrives whole, and shell syntax in it stays text.
    const QString out = m_root.filePath(QStringLiteral("args.txt"));
    const QString bomb = m_root.filePath(QStringLiteral("bomb"));
    const QString script = m_root.filePath(QStringLiteral("show args"));
    QVERIFY(put(script, "#!/bin/sh\nfor a in \"$@\"; do printf '<%s>' \"$a\"; done > \"$OUT.tmp\" && mv \"$OUT.tmp\" \"$OUT\"\n",
                QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("OUT", QFile::encodeName(out));
    const QString injection = QStringLiteral("a b; touch %1 $(touch %1)").arg(bomb);
    QVERIFY(startProgram(script, {injection, QString(), QStringLiteral("*")}));
    QTRY_VERIFY(QFile::exists(out));
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), QStringLiteral("<%1><><*>").arg(injection));
    QVERIFY(!QFile::exists(bomb));

    // A stored command line: quoted words, or a path with blanks given bare.
    QFile::remove(out);
    QVERIFY(startCommandLine(QStringLiteral("\"%1\" one \"two words\"").arg(script)));
    QTRY_VERIFY(QFile::exists(out));
    f.close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("<one><two words>"));
    f.close();
    QFile::remove(out);
    QVERIFY(startCommandLine(script));
    QTRY_VERIFY(QFile::exists(out));
    qunsetenv("OUT");
}

QTEST_MAIN(TestRuntime)
#include "tst_runtime.moc"
