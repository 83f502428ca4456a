// chimewell-settings and chimewell-restart end to end, as scripts and the
// main program run them.
#include "common/settingsstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace chimewell;

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
    qint64 ms = 0;
};

Run run(const QString &program, const QStringList &args)
{
    Run r;
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.ms = t.elapsed();
    r.code = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

Run settings(const QStringList &args)
{
    return run(QStringLiteral(CHIMEWELL_PROGRAM_DIR "/chimewell-settings"), args);
}

bool put(const QString &path, const QByteArray &bytes, QFile::Permissions mode)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size()
        && f.setPermissions(mode);
}

const QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

} // namespace

class TestPrograms final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void settingsGetSetList();
    void settingsValuesAsStored();
    void settingsOtherApplication();
    void settingsUsageErrors_data();
    void settingsUsageErrors();
    void settingsReportsAFailedWrite();

    void restartWaitsForTheOldRun();
    void restartGivesUpOnARunThatStays();
    void restartCannotStartTheProgram_data();
    void restartCannotStartTheProgram();

private:
    QProcess *holdChimewellLock(int ms);

    QTemporaryDir m_root;
    int m_run = 0;
};

void TestPrograms::initTestCase()
{
    QVERIFY(m_root.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_root.path()));
}

void TestPrograms::init()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_root.filePath(QStringLiteral("config%1").arg(++m_run))));
}

void TestPrograms::settingsGetSetList()
{
    const Run help = settings({QStringLiteral("--help")});
    QCOMPARE(help.code, 0);
    QVERIFY(help.out.contains("get SECTION KEY"));

    Run r = settings({QStringLiteral("get"), QStringLiteral("Data"), QStringLiteral("LastCharacter")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QByteArray());

    QCOMPARE(settings({QStringLiteral("set"), QStringLiteral("Data"), QStringLiteral("LastCharacter"), QStringLiteral("max")}).code, 0);
    QCOMPARE(settings({QStringLiteral("set"), QStringLiteral("data"), QStringLiteral("format"), QStringLiteral("0")}).code, 0);
    QCOMPARE(settings({QStringLiteral("set"), QStringLiteral("xtables"), QStringLiteral("LastCharacter"), QStringLiteral("2")}).code, 0);
    // Values that look like options are values.
    QCOMPARE(settings({QStringLiteral("set"), QStringLiteral("Data"), QStringLiteral("FormX"), QStringLiteral("-15")}).code, 0);
    QCOMPARE(settings({QStringLiteral("set"), QStringLiteral("Data"), QStringLiteral("Empty"), QString()}).code, 0);

    r = settings({QStringLiteral("get"), QStringLiteral("data"), QStringLiteral("lastcharacter")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray("max\n"));
    QCOMPARE(settings({QStringLiteral("get"), QStringLiteral("Data"), QStringLiteral("FormX")}).out, QByteArray("-15\n"));
    // An empty value exists: it is not "missing".
    r = settings({QStringLiteral("get"), QStringLiteral("Data"), QStringLiteral("Empty")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray("\n"));

    // The programs see what the tool wrote, and the other way round.
    QCOMPARE(store::value(QStringLiteral("Data"), QStringLiteral("Format")), QStringLiteral("0"));
    QVERIFY(store::setValue(QStringLiteral("Data"), QStringLiteral("UserName"), QStringLiteral("Nobody!")));

    r = settings({QStringLiteral("list")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray("Data/LastCharacter=max\n"
                               "Data/format=0\n"
                               "Data/FormX=-15\n"
                               "Data/Empty=\n"
                               "Data/UserName=Nobody!\n"
                               "xtables/LastCharacter=2\n"));
    QCOMPARE(r.err, QByteArray());
}

void TestPrograms::settingsValuesAsStored()
{
    const QString value = QStringLiteral("  two\nlines = \"quoted\" \\ é 🕰 ");
    QCOMPARE(settings({QStringLiteral("set"), QStringLiteral("Data"), QStringLiteral("AlarmMessage"), value}).code, 0);
    QCOMPARE(store::value(QStringLiteral("Data"), QStringLiteral("AlarmMessage")), value);
    Run r = settings({QStringLiteral("get"), QStringLiteral("Data"), QStringLiteral("AlarmMessage")});
    QCOMPARE(r.code, 0);
    QCOMPARE(QString::fromUtf8(r.out), value + QLatin1Char('\n'));
    // list keeps every entry on one line, escaped as the file does.
    r = settings({QStringLiteral("list")});
    QCOMPARE(QString::fromUtf8(r.out),
             QStringLiteral("Data/AlarmMessage=  two\\nlines = \"quoted\" \\\\ é 🕰 \n"));
}

void TestPrograms::settingsOtherApplication()
{
    QCOMPARE(settings({QStringLiteral("--app"), QStringLiteral("ChimewellAgent"), QStringLiteral("set"),
                       QStringLiteral("Options"), QStringLiteral("Speed"), QStringLiteral("fast")}).code, 0);
    QCOMPARE(settings({QStringLiteral("--app=chimewellagent"), QStringLiteral("get"), QStringLiteral("options"),
                       QStringLiteral("speed")}).out, QByteArray("fast\n"));
    QCOMPARE(store::read(QStringLiteral("ChimewellAgent"), QStringLiteral("Options"), QStringLiteral("Speed")),
             QStringLiteral("fast"));
    // The main application's store stays apart.
    QCOMPARE(settings({QStringLiteral("get"), QStringLiteral("Options"), QStringLiteral("Speed")}).code, 1);
    QCOMPARE(settings({QStringLiteral("list")}).out, QByteArray());
}

void TestPrograms::settingsUsageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown command") << QStringList{QStringLiteral("delete"), QStringLiteral("Data"), QStringLiteral("X")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frob"), QStringLiteral("list")};
    QTest::newRow("get short") << QStringList{QStringLiteral("get"), QStringLiteral("Data")};
    QTest::newRow("get long") << QStringList{QStringLiteral("get"), QStringLiteral("Data"), QStringLiteral("X"), QStringLiteral("Y")};
    QTest::newRow("set short") << QStringList{QStringLiteral("set"), QStringLiteral("Data"), QStringLiteral("X")};
    QTest::newRow("set empty key") << QStringList{QStringLiteral("set"), QStringLiteral("Data"), QString(), QStringLiteral("v")};
    QTest::newRow("list extra") << QStringList{QStringLiteral("list"), QStringLiteral("Data")};
    QTest::newRow("app without name") << QStringList{QStringLiteral("--app")};
    QTest::newRow("app empty") << QStringList{QStringLiteral("--app="), QStringLiteral("list")};
}

void TestPrograms::settingsUsageErrors()
{
    QFETCH(QStringList, args);
    const Run r = settings(args);
    QCOMPARE(r.code, 2);
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(r.out, QByteArray());
    QVERIFY(!QFile::exists(store::filePath(QString::fromLatin1(store::kApplication))));
}

void TestPrograms::settingsReportsAFailedWrite()
{
    // A config home below a regular file can never be created.
    const QString blocker = m_root.filePath(QStringLiteral("blocker"));
    QVERIFY(put(blocker, "file", QFile::ReadOwner | QFile::WriteOwner));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker + QStringLiteral("/config")));
    const Run r = settings({QStringLiteral("set"), QStringLiteral("Data"), QStringLiteral("X"), QStringLiteral("1")});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("could not store Data/X"));
    QCOMPARE(settings({QStringLiteral("get"), QStringLiteral("Data"), QStringLiteral("X")}).code, 1);
    QCOMPARE(settings({QStringLiteral("list")}).code, 0);
}

// A stand-in for the old run: holds chimewell's lock for `ms` (forever if < 0).
QProcess *TestPrograms::holdChimewellLock(int ms)
{
    auto *p = new QProcess(this);
    p->start(QStringLiteral(COMMON_HELPER), {QStringLiteral("hold"), QStringLiteral("chimewell"), QString::number(ms)});
    if (!p->waitForReadyRead(10000) || p->readLine().trimmed() != "held")
        return nullptr;
    return p;
}

// The restart program beside a fake chimewell in a folder of its own, just as
// it lies in the program folder.
void TestPrograms::restartWaitsForTheOldRun()
{
    const QString folder = m_root.filePath(QStringLiteral("programs%1").arg(m_run));
    QVERIFY(QDir().mkpath(folder));
    const QString restart = folder + QStringLiteral("/chimewell-restart");
    QVERIFY(QFile::copy(QStringLiteral(CHIMEWELL_PROGRAM_DIR "/chimewell-restart"), restart));
    const QString marker = folder + QStringLiteral("/started");
    QVERIFY(put(folder + QStringLiteral("/chimewell"),
                "#!/bin/sh\necho \"$#\" > \"" + QFile::encodeName(marker) + ".tmp\" && mv \"" + QFile::encodeName(marker)
                    + ".tmp\" \"" + QFile::encodeName(marker) + "\"\n",
                kExecutable));

    QProcess *old = holdChimewellLock(1200);
    QVERIFY(old);
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(restart, {});
    QVERIFY(p.waitForStarted());
    // While the old run lives, nothing is started.
    QTest::qWait(600);
    QVERIFY(!QFile::exists(marker));
    QVERIFY(old->waitForFinished(10000)); // reaped, so its pid is gone
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(t.elapsed() >= 1100, qPrintable(QString::number(t.elapsed())));
    QVERIFY(t.elapsed() < 3000);
    QTRY_VERIFY(QFile::exists(marker));
    QFile f(marker);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("0\n")); // started without arguments

    // With no old run it starts at once, and the lock is free for the new run.
    QFile::remove(marker);
    const Run quick = run(restart, {});
    QCOMPARE(quick.code, 0);
    QVERIFY(quick.ms < 1000);
    QTRY_VERIFY(QFile::exists(marker));
    QProcess *next = holdChimewellLock(0);
    QVERIFY(next);
    next->waitForFinished();
}

void TestPrograms::restartGivesUpOnARunThatStays()
{
    const QString script = m_root.filePath(QStringLiteral("never-started"));
    const QString marker = script + QStringLiteral(".ran");
    QVERIFY(put(script, "#!/bin/sh\ntouch \"" + QFile::encodeName(marker) + "\"\n", kExecutable));
    QProcess *old = holdChimewellLock(-1);
    QVERIFY(old);
    const Run r = run(QStringLiteral(CHIMEWELL_PROGRAM_DIR "/chimewell-restart"), {QStringLiteral("--program"), script});
    old->kill();
    old->waitForFinished();
    QVERIFY(r.code > 0);
    QVERIFY2(r.err.contains("still running"), r.err.constData());
    QVERIFY2(r.ms >= 4900 && r.ms < 7000, qPrintable(QString::number(r.ms)));
    QTest::qWait(200);
    QVERIFY(!QFile::exists(marker));
}

void TestPrograms::restartCannotStartTheProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("why");
    QTest::newRow("missing") << QStringLiteral("no-such-chimewell") << QByteArray("does not exist");
    QTest::newRow("not executable") << QStringLiteral("plain-file") << QByteArray("not an executable");
    QTest::newRow("folder") << QStringLiteral("a-folder") << QByteArray("not an executable");
}

void TestPrograms::restartCannotStartTheProgram()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, why);
    QVERIFY(put(m_root.filePath(QStringLiteral("plain-file")), "#!/bin/sh\n", QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QDir().mkpath(m_root.filePath(QStringLiteral("a-folder"))));
    const Run r = run(QStringLiteral(CHIMEWELL_PROGRAM_DIR "/chimewell-restart"),
                      {QStringLiteral("--program"), m_root.filePath(program)});
    QVERIFY(r.code > 0);
    QVERIFY2(r.err.contains(why), r.err.constData());
    QVERIFY(r.ms < 2000);
}

QTEST_MAIN(TestPrograms)
#include "tst_programs.moc"
