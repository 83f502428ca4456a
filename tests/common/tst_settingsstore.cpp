// The settings store as the six programs use it at once: real processes
// writing together, writers killed mid-write, damaged files, odd names and values.
#include "common/settingsstore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using namespace chimewell;

namespace {

QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void recordMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && qstrcmp(context.category, "chimewell.settings") == 0) {
        g_warnings << message;
        return;
    }
    if (g_previous)
        g_previous(type, context, message);
}

const QString kApp = QStringLiteral("ChimewellIIV");

int modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool put(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Files in the store's folder beyond the file itself and its lock: leftovers.
QStringList strayFiles(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll(QStringLiteral("settings.ini"));
    names.removeAll(QStringLiteral(".settings.lock"));
    return names;
}

} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void namesMatchWithoutCaseAndKeepTheirFirstCase();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void oddNamesRoundTrip_data();
    void oddNamesRoundTrip();
    void fileIsPrivateWhateverTheUmask();
    void writeIsOnDiskWhenItReturns();
    void writeSyncsBeforeAndAfterTheRename();

    void concurrentWritersLoseNothing();
    void killedWriterLeavesAWholeFile();

    void damagedFileStillReads();
    void oversizedFileIsLeftAlone();
    void fileThatIsAFolder();
    void missingFolderIsCreated();
    void uncreatableFolderFailsQuietly();
    void readOnlyFolderKeepsTheFile();

private:
    QString folder() const { return m_config + QStringLiteral("/ChimewellIIV"); }
    QString file() const { return folder() + QStringLiteral("/settings.ini"); }
    QProcess *helper(const QStringList &args);

    QTemporaryDir m_root;
    QString m_config;
    int m_run = 0;
};

void TestSettingsStore::initTestCase()
{
    QVERIFY(m_root.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_root.path()));
    g_previous = qInstallMessageHandler(recordMessages);
}

void TestSettingsStore::cleanupTestCase() { qInstallMessageHandler(g_previous); }

// Every test gets a store of its own, so none sees another's values or cache.
void TestSettingsStore::init()
{
    m_config = m_root.filePath(QStringLiteral("config%1").arg(++m_run));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
    g_warnings.clear();
}

QProcess *TestSettingsStore::helper(const QStringList &args)
{
    auto *p = new QProcess(this);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral(COMMON_HELPER), args);
    return p;
}

void TestSettingsStore::namesMatchWithoutCaseAndKeepTheirFirstCase()
{
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("LastCharacter"), QStringLiteral("max")));
    QCOMPARE(store::read(kApp, QStringLiteral("data"), QStringLiteral("lastcharacter")), QStringLiteral("max"));
    QCOMPARE(store::read(QStringLiteral("chimewelliiv"), QStringLiteral("DATA"), QStringLiteral("LASTCHARACTER")),
             QStringLiteral("max"));

    // A second write under other cases replaces the value and keeps the names.
    QVERIFY(store::write(QStringLiteral("CHIMEWELLIIV"), QStringLiteral("data"), QStringLiteral("LASTCHARACTER"),
                         QStringLiteral("plany")));
    const QList<store::Entry> entries = store::list(kApp);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().section, QStringLiteral("Data"));
    QCOMPARE(entries.first().key, QStringLiteral("LastCharacter"));
    QCOMPARE(entries.first().value, QStringLiteral("plany"));
    QCOMPARE(QDir(m_config).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("ChimewellIIV")});

    // "Data" and "data" are one section; "xtables" is another with its own LastCharacter.
    QVERIFY(store::write(kApp, QStringLiteral("data"), QStringLiteral("format"), QStringLiteral("0")));
    QVERIFY(store::write(kApp, QStringLiteral("xtables"), QStringLiteral("LastCharacter"), QStringLiteral("2")));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Format")), QStringLiteral("0"));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("LastCharacter")), QStringLiteral("plany"));
    QCOMPARE(store::read(kApp, QStringLiteral("XTables"), QStringLiteral("lastCharacter")), QStringLiteral("2"));
    QCOMPARE(contents(file()).count("[Data]"), 1);
    QCOMPARE(contents(file()).count("[data]"), 0);

    // A missing value gives each reader its own default.
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Announce"), QStringLiteral("15")),
             QStringLiteral("15"));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Announce")), QString());
}

void TestSettingsStore::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << QString();
    QTest::newRow("newlines") << QStringLiteral("first\nsecond\r\nthird\n");
    QTest::newRow("equals") << QStringLiteral("a=b==c=");
    QTest::newRow("only equals") << QStringLiteral("=");
    QTest::newRow("double quotes") << QStringLiteral("\"quoted\"");
    QTest::newRow("one quote") << QStringLiteral("\"");
    QTest::newRow("quote at end") << QStringLiteral("say \"hi");
    QTest::newRow("single quotes") << QStringLiteral("'it''s'");
    QTest::newRow("leading blanks") << QStringLiteral("   lead");
    QTest::newRow("trailing blanks") << QStringLiteral("trail \t ");
    QTest::newRow("only blanks") << QStringLiteral("   ");
    QTest::newRow("backslashes") << QStringLiteral("C:\\WINDOWS\\ \\\\ end\\");
    QTest::newRow("escape lookalikes") << QStringLiteral("\\n \\x41 \\\" \\=");
    QTest::newRow("section lookalike") << QStringLiteral("[Data]");
    QTest::newRow("comment lookalike") << QStringLiteral("; not a comment # either");
    QTest::newRow("control characters") << QStringLiteral("bell\a tab\t del\x7f esc\x1b");
    QTest::newRow("nul inside") << (QStringLiteral("before") + QChar(0) + QStringLiteral("after"));
    QTest::newRow("unicode") << QStringLiteral("Zeit ist Geld – 時計 🕰️ ÄÖÜ ß ﬁ");
    QTest::newRow("10000 characters") << QString(10000, QLatin1Char('x'));
    QString mixed;
    for (int i = 0; i < 10000; ++i)
        mixed += QChar(u" =\"\\\nab\té€"[i % 10]);
    QTest::newRow("10000 mixed") << mixed;
}

void TestSettingsStore::valuesRoundTrip()
{
    QFETCH(QString, value);
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("Before"), QStringLiteral("1")));
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("Value"), value));
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("After"), QStringLiteral("2")));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Value"), QStringLiteral("missing")), value);
    // Its neighbours are untouched, whatever the value looks like.
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Before")), QStringLiteral("1"));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("After")), QStringLiteral("2"));
    QCOMPARE(store::list(kApp).size(), 3);

    // Another process reads the same text.
    QProcess *p = helper({QStringLiteral("read"), kApp, QStringLiteral("data"), QStringLiteral("value")});
    QVERIFY(p->waitForFinished(10000));
    QCOMPARE(p->exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p->readAllStandardOutput()), value);
}

void TestSettingsStore::oddNamesRoundTrip_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::newRow("equals in key") << QStringLiteral("Data") << QStringLiteral("a=b");
    QTest::newRow("quote in key") << QStringLiteral("Data") << QStringLiteral("say\"it");
    QTest::newRow("newline in key") << QStringLiteral("Data") << QStringLiteral("two\nlines");
    QTest::newRow("brackets in key") << QStringLiteral("Data") << QStringLiteral("[odd");
    QTest::newRow("comment start in key") << QStringLiteral("Data") << QStringLiteral(";semi");
    QTest::newRow("hash start in key") << QStringLiteral("Data") << QStringLiteral("#hash");
    QTest::newRow("blanks around key") << QStringLiteral("Data") << QStringLiteral(" spaced ");
    QTest::newRow("backslash key") << QStringLiteral("Data") << QStringLiteral("back\\slash\\");
    QTest::newRow("unicode key") << QStringLiteral("Data") << QStringLiteral("Ärger");
    QTest::newRow("bracket in section") << QStringLiteral("Se]c[tion") << QStringLiteral("key");
    QTest::newRow("equals in section") << QStringLiteral("a=b") << QStringLiteral("key");
    QTest::newRow("blanks around section") << QStringLiteral(" Data ") << QStringLiteral("key");
    QTest::newRow("empty section") << QString() << QStringLiteral("key");
}

void TestSettingsStore::oddNamesRoundTrip()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("Plain"), QStringLiteral("plain")));
    QVERIFY(store::write(kApp, section, key, QStringLiteral("odd")));
    QVERIFY(store::write(kApp, QStringLiteral("Other"), QStringLiteral("Plain"), QStringLiteral("other")));
    QCOMPARE(store::read(kApp, section, key), QStringLiteral("odd"));
    QCOMPARE(store::read(kApp, section.toUpper(), key.toUpper()), QStringLiteral("odd"));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Plain")), QStringLiteral("plain"));
    QCOMPARE(store::read(kApp, QStringLiteral("Other"), QStringLiteral("Plain")), QStringLiteral("other"));
    const QList<store::Entry> entries = store::list(kApp);
    QCOMPARE(entries.size(), 3);
    bool found = false;
    for (const store::Entry &e : entries)
        found = found || (e.section == section && e.key == key && e.value == QLatin1String("odd"));
    QVERIFY(found);
}

void TestSettingsStore::fileIsPrivateWhateverTheUmask()
{
    const mode_t old = ::umask(0);
    const bool ok = store::write(kApp, QStringLiteral("Data"), QStringLiteral("UserName"), QStringLiteral("Nobody!"));
    ::umask(old);
    QVERIFY(ok);
    QCOMPARE(modeOf(file()), 0600);
    QCOMPARE(modeOf(folder()), 0700);

    // A folder's mode, once it is there, is the user's to choose: a write
    // never changes it (a read-only folder makes the write fail instead).
    QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0755) == 0);
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("UserName"), QStringLiteral("Else")));
    QCOMPARE(modeOf(folder()), 0755);
    QCOMPARE(modeOf(file()), 0600);
}

void TestSettingsStore::writeIsOnDiskWhenItReturns()
{
    for (int i = 0; i < 40; ++i) {
        const QString value = QStringLiteral("value %1").arg(i);
        QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("Counter"), value));
        // The file itself holds the new value at once, with nothing left beside it.
        QVERIFY(contents(file()).contains(QByteArray("Counter=" + value.toUtf8() + '\n')));
        QCOMPARE(strayFiles(folder()), QStringList());
    }
    // And another process sees it the moment the write returned.
    QProcess *p = helper({QStringLiteral("read"), kApp, QStringLiteral("Data"), QStringLiteral("Counter")});
    QVERIFY(p->waitForFinished(10000));
    QCOMPARE(p->readAllStandardOutput(), QByteArray("value 39"));
    QCOMPARE(p->exitCode(), 0);
}

// Durability: the new file's data is synced before it replaces the old one, and
// the folder after it (and the folder's parent when the folder is new), so a
// power cut leaves the old or the new file.
void TestSettingsStore::writeSyncsBeforeAndAfterTheRename()
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        QSKIP("strace is not installed");
    const QString trace = m_root.filePath(QStringLiteral("trace%1").arg(m_run));
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    // LeakSanitizer cannot run under ptrace.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    p.setProcessEnvironment(env);
    p.start(strace, {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"), trace,
                     QStringLiteral("-e"), QStringLiteral("trace=openat,fsync,fdatasync,rename,renameat,renameat2"),
                     QStringLiteral(COMMON_HELPER), QStringLiteral("write"), kApp, QStringLiteral("Data"),
                     QStringLiteral("New"), QStringLiteral("1")});
    QVERIFY(p.waitForFinished(20000));
    if (p.exitCode() != 0 && !contents(trace).contains("settings.ini"))
        QSKIP("strace cannot trace here");
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("New0")), QStringLiteral("New0:value"));

    // Walk the calls in order: open temp -> fsync it -> rename over the file -> fsync the folder.
    const QStringList lines = QString::fromUtf8(contents(trace)).split(QLatin1Char('\n'));
    const QRegularExpression openTemp(QStringLiteral("openat\\(.*settings\\.ini\\.[^/\"]+\".*O_CREAT.*\\) += (\\d+)"));
    const QRegularExpression openDir(QStringLiteral("openat\\(.*ChimewellIIV\".*O_DIRECTORY.*\\) += (\\d+)"));
    const QRegularExpression openParent(QStringLiteral("openat\\(.*\"%1\".*O_DIRECTORY.*\\) += (\\d+)")
                                            .arg(QRegularExpression::escape(m_config)));
    const QRegularExpression rename(QStringLiteral("rename.*settings\\.ini\\.[^\"]+\".*settings\\.ini\".*= 0"));
    int step = 0;
    QString tempFd, dirFd;
    for (const QString &l : lines) {
        if (step == 0) {
            const auto m = openTemp.match(l);
            if (m.hasMatch()) {
                tempFd = m.captured(1);
                step = 1;
            }
        } else if (step == 1 && QRegularExpression(QStringLiteral("f(data)?sync\\(%1\\) += 0").arg(tempFd)).match(l).hasMatch()) {
            step = 2;
        } else if (step == 1 && rename.match(l).hasMatch()) {
            QFAIL("the new file replaced the old one before its data was synced");
        } else if (step == 2 && rename.match(l).hasMatch()) {
            step = 3;
        } else if (step == 3) {
            const auto m = openDir.match(l);
            if (m.hasMatch())
                dirFd = m.captured(1);
            else if (!dirFd.isEmpty() && QRegularExpression(QStringLiteral("fsync\\(%1\\) += 0").arg(dirFd)).match(l).hasMatch()) {
                step = 4;
                dirFd.clear();
            }
        } else if (step == 4) {
            // The store's folder was made by this write: its entry in the parent must last too.
            const auto m = openParent.match(l);
            if (m.hasMatch())
                dirFd = m.captured(1);
            else if (!dirFd.isEmpty() && QRegularExpression(QStringLiteral("fsync\\(%1\\) += 0").arg(dirFd)).match(l).hasMatch())
                step = 5;
        }
    }
    if (step != 5)
        qWarning().noquote() << contents(trace);
    QCOMPARE(step, 5);
}

void TestSettingsStore::concurrentWritersLoseNothing()
{
    // Every write is synced twice, so on a loaded machine 3000 of them take a
    // minute; the full run is for CHIMEWELL_STRESS=1.
    constexpr int kWriters = 6;
    const int kWrites = qEnvironmentVariableIntValue("CHIMEWELL_STRESS") ? 500 : 150;
    // All start at one moment, so the writes really overlap.
    const QString start = QString::number(QDateTime::currentMSecsSinceEpoch() + 400);
    QList<QProcess *> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers << helper({QStringLiteral("write"), kApp, QStringLiteral("Data"), QStringLiteral("w%1_").arg(w),
                           QString::number(kWrites), start});
    }
    for (QProcess *p : writers) {
        QVERIFY(p->waitForFinished(120000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
    }
    const QList<store::Entry> entries = store::list(kApp);
    QSet<QString> keys;
    for (const store::Entry &e : entries) {
        QCOMPARE(e.value, e.key + QStringLiteral(":value"));
        keys.insert(e.key);
    }
    QCOMPARE(keys.size(), kWriters * kWrites);
    QCOMPARE(entries.size(), kWriters * kWrites);
    QCOMPARE(strayFiles(folder()), QStringList());
}

// Kills a writer of big values at random moments: each time the file must read
// back whole, every value an old or a new complete one, in write order.
void TestSettingsStore::killedWriterLeavesAWholeFile()
{
    constexpr int kKeys = 8;
    constexpr int kSize = 40000;
    const QRegularExpression form(QStringLiteral("^g(\\d+)\\|([a-z]+)\\|end$"));
    auto *random = QRandomGenerator::global();
    qint64 newest = 0;
    for (int round = 0; round < 25; ++round) {
        QProcess *p = helper({QStringLiteral("churn"), kApp, QStringLiteral("Churn"), QString::number(kKeys),
                              QString::number(kSize)});
        QVERIFY(p->waitForReadyRead(10000));
        QTest::qSleep(int(random->bounded(5, 120)));
        p->kill();
        QVERIFY(p->waitForFinished(10000));
        QCOMPARE(p->exitStatus(), QProcess::CrashExit);

        const QList<store::Entry> entries = store::list(kApp);
        QVERIFY2(!entries.isEmpty() || round == 0, "the file lost its values");
        // Keys are written in order, so a later key never holds a newer
        // generation than an earlier one: that would be a lost write.
        qint64 previous = std::numeric_limits<qint64>::max();
        for (int k = 0; k < entries.size(); ++k) {
            const store::Entry &e = entries.at(k);
            QCOMPARE(e.section, QStringLiteral("Churn"));
            QCOMPARE(e.key, QStringLiteral("k%1").arg(k));
            QCOMPARE(e.value.size(), kSize);
            const auto m = form.match(e.value);
            QVERIFY2(m.hasMatch(), qPrintable(e.value.left(40)));
            const qint64 g = m.captured(1).toLongLong();
            QCOMPARE(m.captured(2), QString(m.captured(2).size(), QChar(u'a' + char16_t(g % 26))));
            QVERIFY2(g <= previous, qPrintable(QStringLiteral("k%1 is newer than k%2").arg(k).arg(k - 1)));
            previous = g;
        }
        if (!entries.isEmpty())
            newest = qMax(newest, entries.first().value.mid(1).section(QLatin1Char('|'), 0, 0).toLongLong());
        QVERIFY(modeOf(file()) == 0600 || !QFile::exists(file()));
        delete p;
    }
    QVERIFY2(newest > 1, "the writer never finished a round of values");
    // A killed writer may leave its half-written temporary file; the next write
    // clears such leftovers.
    const qsizetype survivors = store::list(kApp).size();
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("After"), QStringLiteral("crash")));
    QCOMPARE(strayFiles(folder()), QStringList());
    QCOMPARE(store::list(kApp).size(), survivors + 1);
}

void TestSettingsStore::damagedFileStillReads()
{
    static const char raw[] = "\x00\x01garbage\xff\xfe\n"
                       "[Data\n"
                       "=no key\n"
                       "no separator at all\n"
                       "; a comment=1\n"
                       "[Data]\n"
                       "Good=yes\n"
                       "Esc1=\\x\n"
                       "Esc2=\\xZZ\n"
                       "Esc3=ends in\\\n"
                       "Bin=\x80\x81\xc3\x28\n"
                       "\x00\x00\x00\n"
                       "Nul=a\x00" "b\n"
                       "Good=second copy\n"
                       "[]\n"
                       "Crlf=yes\r\n";
    QByteArray damaged(raw, sizeof raw - 1);
    damaged += "Last=no newline";
    QVERIFY(put(file(), damaged));

    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Good")), QStringLiteral("yes"));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Missing"), QStringLiteral("dflt")),
             QStringLiteral("dflt"));
    QCOMPARE(store::read(kApp, QString(), QStringLiteral("Crlf")), QStringLiteral("yes"));
    QCOMPARE(store::read(kApp, QString(), QStringLiteral("Last")), QStringLiteral("no newline"));
    for (const char *key : {"Esc1", "Esc2", "Esc3", "Bin", "Nul"})
        store::read(kApp, QStringLiteral("Data"), QString::fromLatin1(key)); // any text, but no crash
    QVERIFY(!store::list(kApp).isEmpty());

    // Writing keeps every line it does not own, byte for byte.
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("new")));
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("Added"), QStringLiteral("1")));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Good")), QStringLiteral("new"));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Added")), QStringLiteral("1"));
    QCOMPARE(store::read(kApp, QString(), QStringLiteral("Crlf")), QStringLiteral("yes"));
    const QByteArray after = contents(file());
    for (const QByteArray &line : damaged.split('\n')) {
        if (!line.startsWith("Good=yes"))
            QVERIFY2(after.contains(line), line.constData());
    }
    QVERIFY(g_warnings.isEmpty());
}

void TestSettingsStore::oversizedFileIsLeftAlone()
{
    QByteArray big("[Data]\nGood=yes\n");
    const QByteArray filler = "; " + QByteArray(1000, 'f') + '\n';
    while (big.size() < 40 * 1024 * 1024)
        big += filler;
    QVERIFY(put(file(), big));
    const QByteArray before = QCryptographicHash::hash(big, QCryptographicHash::Sha256);

    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("dflt")),
             QStringLiteral("dflt"));
    QVERIFY(store::list(kApp).isEmpty());
    QVERIFY(!store::write(kApp, QStringLiteral("Data"), QStringLiteral("New"), QStringLiteral("1")));
    QVERIFY(!g_warnings.filter(QStringLiteral("could not store Data/New")).isEmpty());
    QCOMPARE(QCryptographicHash::hash(contents(file()), QCryptographicHash::Sha256), before);
    QCOMPARE(strayFiles(folder()), QStringList());
}

void TestSettingsStore::fileThatIsAFolder()
{
    QVERIFY(QDir().mkpath(file()));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("dflt")),
             QStringLiteral("dflt"));
    QVERIFY(store::list(kApp).isEmpty());
    QVERIFY(!store::write(kApp, QStringLiteral("Data"), QStringLiteral("New"), QStringLiteral("1")));
    QCOMPARE(g_warnings.filter(QStringLiteral("could not store Data/New")).size(), 1);
    QVERIFY(QFileInfo(file()).isDir());
    QCOMPARE(strayFiles(folder()), QStringList());
}

void TestSettingsStore::missingFolderIsCreated()
{
    m_config += QStringLiteral("/deep/er/still");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("dflt")),
             QStringLiteral("dflt"));
    QVERIFY(!QFileInfo::exists(m_config)); // reading creates nothing
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("yes")));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Good")), QStringLiteral("yes"));
    QCOMPARE(modeOf(folder()), 0700);
    QVERIFY(g_warnings.isEmpty());
}

// A folder below a regular file can never be made, even by root.
void TestSettingsStore::uncreatableFolderFailsQuietly()
{
    const QString blocker = m_root.filePath(QStringLiteral("blocker%1").arg(m_run));
    QVERIFY(put(blocker, "a file, not a folder"));
    m_config = blocker + QStringLiteral("/config");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("dflt")),
             QStringLiteral("dflt"));
    QVERIFY(store::list(kApp).isEmpty());
    QVERIFY(!store::write(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("yes")));
    QCOMPARE(g_warnings.filter(QStringLiteral("could not store Data/Good")).size(), 1);
    QCOMPARE(contents(blocker), QByteArray("a file, not a folder"));
}

void TestSettingsStore::readOnlyFolderKeepsTheFile()
{
    if (::geteuid() == 0)
        QSKIP("root writes into read-only folders anyway");
    QVERIFY(store::write(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("yes")));
    const QByteArray before = contents(file());
    QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0500) == 0);
    const bool ok = store::write(kApp, QStringLiteral("Data"), QStringLiteral("Good"), QStringLiteral("no"));
    ::chmod(QFile::encodeName(folder()).constData(), 0700);
    QVERIFY(!ok);
    QCOMPARE(g_warnings.filter(QStringLiteral("could not store Data/Good")).size(), 1);
    QCOMPARE(contents(file()), before);
    QCOMPARE(store::read(kApp, QStringLiteral("Data"), QStringLiteral("Good")), QStringLiteral("yes"));
}

QTEST_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
