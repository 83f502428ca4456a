// The real platform module's file work: the autostart entry and copying a
// character into the user's folder.
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
