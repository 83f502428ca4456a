// The session ends the program with SIGTERM or SIGHUP at any moment: while it
// starts, in a nested loop, in the middle of writing the store. Each time it
// must quit by itself, leave the store whole with no value lost, and free its
// lock for the next start.
#include "common/settingsstore.h"
#include "common/singleinstance.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace chimewell;

class TestTermination final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void signalAtRandomMoments()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
        const QString app = QStringLiteral("TermTest");
        const QString section = QStringLiteral("Data");
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator rng(seed);
        qInfo("seed %u", seed);

        qint64 lastGen = 0;
        int clean = 0;
        // Rounds go on until 50 signals came after main() began: a busy machine
        // starts the helper slowly, and earlier signals test less.
        for (int round = 0; clean < 50 && round < 200; ++round) {
            const QString where = QStringLiteral("round %1 (seed %2)").arg(round).arg(seed);
            QProcess p;
            p.start(QStringLiteral(TERMINATION_HELPER), {});
            QVERIFY2(p.waitForStarted(5000), qPrintable(where));
            // From the first instant of the process to well into its main loop.
            QTest::qSleep(int(rng.bounded(250)));
            const int sig = round % 2 ? SIGHUP : SIGTERM;
            ::kill(pid_t(p.processId()), sig);
            QVERIFY2(p.waitForFinished(10000), qPrintable(where + QStringLiteral(": did not quit")));
            const bool up = p.readAllStandardOutput().startsWith("up");
            if (up) {
                // Once past its first line it always quits by itself.
                QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                         qPrintable(where + QStringLiteral(": exit %1/%2").arg(p.exitStatus()).arg(p.exitCode())));
                ++clean;
            } else {
                // Killed before main(): it had touched nothing.
                QVERIFY2(p.exitStatus() == QProcess::NormalExit || p.exitCode() == sig, qPrintable(where));
            }

            // The store is whole: Big belongs to Gen (the quit waits for the
            // handler that writes both), and no generation is lost.
            const qint64 gen = store::read(app, section, QStringLiteral("Gen"), QStringLiteral("0")).toLongLong();
            const QString big = store::read(app, section, QStringLiteral("Big"));
            QVERIFY2(gen >= lastGen, qPrintable(where));
            if (gen > 0) {
                QVERIFY2(big.endsWith(QLatin1String("|end")), qPrintable(where));
                QVERIFY2(big.startsWith(QStringLiteral("g%1|").arg(gen)), qPrintable(where + big.left(20)));
            }
            lastGen = gen;
            const QStringList temps = QDir(QFileInfo(store::filePath(app)).path())
                                          .entryList({QStringLiteral("settings.ini.*")}, QDir::Files | QDir::Hidden);
            QVERIFY2(temps.isEmpty(), qPrintable(where + temps.join(QLatin1Char(' '))));

            // The lock is free: the next start is a normal one.
            SingleInstance next(QStringLiteral("termtest"));
            QVERIFY2(next.isFirst(), qPrintable(where + QStringLiteral(": lock still held")));
        }
        QVERIFY2(clean >= 50, qPrintable(QString::number(clean)));
        QVERIFY(lastGen > 0);
        qInfo("%d clean quits, %lld generations", clean, lastGen);
    }
};

QTEST_GUILESS_MAIN(TestTermination)
#include "tst_termination.moc"
