// The real platform module's file work: the autostart entry and copying a
// character into the user's folder.
#include "common/desktopentry.h"
#include "common/platform.h"

#include "tests/support/temphome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace chimewell;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestPlatform final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void autostartEntry()
    {
        testing::TempHome home;
        // The build puts the shipped entry beside the programs; this test is one of them.
        const QString shipped = platform::programFolder() + QStringLiteral("/Chimewell.desktop");
        const bool hadEntry = QFile::exists(shipped);
        if (!hadEntry)
            QVERIFY(writeFile(shipped, "[Desktop Entry]\nType=Application\nName=Chimewell\nExec=chimewell\n"));
        const QString entry = platform::autostartFolder() + QStringLiteral("/Chimewell.desktop");

        QVERIFY(!platform::hasAutostartEntry());
        QVERIFY(platform::removeAutostartEntry()); // nothing to remove is no failure
        QVERIFY(platform::addAutostartEntry());
        QVERIFY(platform::hasAutostartEntry());
        QCOMPARE(readFile(entry), readFile(shipped));
        QVERIFY(platform::removeAutostartEntry());
        QVERIFY(!QFile::exists(entry));

        // An autostart folder that cannot be made: the failure is reported.
        QVERIFY(QDir(platform::autostartFolder()).removeRecursively());
        QVERIFY(writeFile(platform::autostartFolder(), "not a folder"));
        QVERIFY(!platform::addAutostartEntry());
        QVERIFY(!platform::hasAutostartEntry());
        if (!hadEntry)
            QFile::remove(shipped);
    }

    void copyIntoCharacterFolder_data()
    {
        QTest::addColumn<QByteArray>("before"); // what the user's folder holds; "-" for nothing
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("new character") << QByteArray("-") << true;
        QTest::newRow("same contents are left alone") << QByteArray("character") << false;
        QTest::newRow("other contents are replaced") << QByteArray("older one") << true;
    }
    void copyIntoCharacterFolder()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, rewritten);
        testing::TempHome home;
        const QString from = home.path(QStringLiteral("picked.acs"));
        QVERIFY(writeFile(from, "character"));
        const QString to = home.characterFolder() + QStringLiteral("/mine.acs");
        if (before != "-") {
            QVERIFY(writeFile(to, before));
            QFile old(to);
            QVERIFY(old.open(QIODevice::ReadWrite));
            QVERIFY(old.setFileTime(QDateTime(QDate(2020, 1, 1), QTime(0, 0)), QFileDevice::FileModificationTime));
        }
        QCOMPARE(platform::copyIntoCharacterFolder(from, QStringLiteral("mine")), QString());
        QCOMPARE(readFile(to), QByteArray("character"));
        QCOMPARE(QFileInfo(to).lastModified().date().year() != 2020, rewritten);
        QCOMPARE(QDir(home.characterFolder()).entryList(QDir::Files), QStringList{QStringLiteral("mine.acs")});
    }

    // A browser's desktop entry read into its command line, one rule a row.
    void desktopEntryCommand_data()
    {
        QTest::addColumn<QByteArray>("exec"); // the Exec line's value; the entry around it is added
        QTest::addColumn<QStringList>("command");
        const QString a = QStringLiteral("https://x.org/?q=1&r=%u");
        QTest::newRow("a field code") << QByteArray("firefox %u") << QStringList{"firefox", a};
        QTest::newRow("no field code: appended") << QByteArray("web --new") << QStringList{"web", "--new", a};
        QTest::newRow("inside a word") << QByteArray("web --url=%U") << QStringList{"web", "--url=" + a};
        QTest::newRow("placed once") << QByteArray("web %u %F") << QStringList{"web", a};
        QTest::newRow("other codes dropped, %% kept")
            << QByteArray("web %i %c %k 100%% %d") << QStringList{"web", "100%", a};
        QTest::newRow("quoted, with blanks") << QByteArray("\"/opt/my web/run\" %u") << QStringList{"/opt/my web/run", a};
        QTest::newRow("quoted: codes are text") << QByteArray("web \"%u\"") << QStringList{"web", "%u", a};
        QTest::newRow("escapes inside quotes")
            << QByteArray("web \"a \\\\\\\\ \\\\\" \\\\$HOME \\\\`x\\\\`\"") << QStringList{"web", "a \\ \" $HOME `x`", a};
        QTest::newRow("string escapes first") << QByteArray("web\\s--x %u") << QStringList{"web", "--x", a};
        QTest::newRow("empty quoted word") << QByteArray("web \"\" %u") << QStringList{"web", "", a};
        QTest::newRow("no Exec") << QByteArray() << QStringList();
    }
    void desktopEntryCommand()
    {
        QFETCH(QByteArray, exec);
        QFETCH(QStringList, command);
        const QByteArray entry = "[Desktop Entry]\nName=Web\nExec[de]=wrong\n"
            + (exec.isEmpty() ? QByteArray() : "Exec = " + exec + "\n") + "[Desktop Action new]\nExec=wrong %u\n";
        QCOMPARE(chimewell::desktopEntryCommand(entry, QStringLiteral("https://x.org/?q=1&r=%u")), command);
    }

    void copyFailureSaysWhy()
    {
        testing::TempHome home;
        QVERIFY(QDir(home.characterFolder()).removeRecursively());
        QVERIFY(writeFile(home.characterFolder(), "a file where the folder should be"));
        const QString error = platform::copyIntoCharacterFolder(home.path(QStringLiteral("none.acs")), QStringLiteral("x"));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
