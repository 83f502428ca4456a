// newcharacter and newcharacter2: picking, storing, reloading, and files from elsewhere.
#include "fixture.h"

#include "characters/clockcharacters.h"
#include "common/clock.h"
#include "tests/support/testclock.h"
#include "common/dialogs.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QtTest>

using namespace chimewell;
using chimewell::testing::TestClock;
using namespace chimewell::characters;
using namespace chimewell::characters::test;

class ChangeTest final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<FakeClockWindow> m_window;
    std::unique_ptr<ClockCharacters> m_chars;

    static void store(const char *key, const QString &value) { store::setValue(keys::Data, key, value); }
    static QString stored(const char *key) { return store::value(keys::Data, key); }
    QString inFolder(const QString &file) const { return m_home->characterFolder() + QLatin1Char('/') + file; }
    QString outside(const QString &file) const
    {
        QDir().mkpath(m_home->root() + QStringLiteral("/Downloads"));
        return m_home->root() + QStringLiteral("/Downloads/") + file;
    }
    static QByteArray bytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QStringList captionsOf(agent::Character *c)
    {
        QStringList out;
        if (c) {
            for (const agent::Commands::Command &command : c->commands().items())
                out << command.caption;
        }
        return out;
    }
    void start()
    {
        m_chars->checkboxes();
        agentlog::clear();
        dialogs::takeShownMessages();
    }

private Q_SLOTS:
    void initTestCase() { agentlog::install(); }

    void init()
    {
        failOnUnexpectedWarnings();
        m_home = std::make_unique<TestHome>();
        for (const char *id : {"max", "plany", "peedy", "merlin"})
            QVERIFY(m_home->addCharacter(QString::fromLatin1(id)));
        QVERIFY(m_home->addCharacter(QStringLiteral("Genie")));
        m_clock = std::make_unique<TestClock>();
        m_window = std::make_unique<FakeClockWindow>();
        m_chars = std::make_unique<ClockCharacters>(*m_window);
    }

    void cleanup()
    {
        m_chars.reset();
        m_window.reset();
        m_clock.reset();
        m_home.reset();
    }

    void changeReloadsBothAndRenamesCommands()
    {
        store(keys::LastCharacter, QStringLiteral("max"));
        store(keys::LastCharacter2, QStringLiteral("plany"));
        start();
        dialogs::setNextFile(inFolder(QStringLiteral("Genie.acs")));
        m_chars->newcharacter();

        QCOMPARE(stored(keys::LastCharacter), QStringLiteral("Genie"));
        QCOMPARE(agentlog::all().mid(0, 4),
                 QStringList({"max Unload", "Genie Load Genie.acs", "plany Unload", "plany Load plany.acs"}));
        QCOMPARE(agentlog::speechOf(QStringLiteral("Genie")), QStringList{"good morning, Nobody"});
        QCOMPARE(agentlog::speechOf(QStringLiteral("plany")), QStringList{"Welcome to Chimewell"});
        QCOMPARE(m_chars->charName1(), QStringLiteral("Genie"));
        const QStringList one = captionsOf(m_chars->Agent1()->characters().character(QStringLiteral("Genie")));
        const QStringList two = captionsOf(m_chars->Agent2()->characters().character(QStringLiteral("plany")));
        QVERIFY2(one.contains(QStringLiteral("Introduce Genie")), qPrintable(one.join(QLatin1Char('|'))));
        QVERIFY2(two.contains(QStringLiteral("Tell Genie to be quiet")), qPrintable(two.join(QLatin1Char('|'))));
        QCOMPARE(m_window->settingsHidden, 1);
        QCOMPARE(m_window->settingsClosed, 1);
    }

    void otherSlotsDefault_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("other");
        QTest::newRow("changing 1 without LastCharacter2 brings peedy") << 1 << "peedy";
        QTest::newRow("changing 2 without LastCharacter brings merlin") << 2 << "merlin";
    }
    void otherSlotsDefault()
    {
        QFETCH(int, slot);
        QFETCH(QString, other);
        start(); // max and plany, from the defaults
        dialogs::setNextFile(inFolder(QStringLiteral("Genie.acs")));
        slot == 1 ? m_chars->newcharacter() : m_chars->newcharacter2();

        agent::AgentControl *otherControl = slot == 1 ? m_chars->Agent2() : m_chars->Agent1();
        // The default-loaded character goes; no stale one stays on the desktop.
        QCOMPARE(otherControl->characters().ids(), QStringList{other});
        QCOMPARE(stored(slot == 1 ? keys::LastCharacter2 : keys::LastCharacter), other);
        QCOMPARE(slot == 1 ? m_chars->charName2() : m_chars->charName1(), other);
        QVERIFY(!agentlog::speechOf(other).isEmpty());
    }

    void cancelling()
    {
        store(keys::LastCharacter, QStringLiteral("max"));
        start();
        dialogs::setNextFile(QString());
        m_chars->newcharacter();
        QCOMPARE(agentlog::all(), QStringList());
        QCOMPARE(m_window->ended, 0);
        QCOMPARE(stored(keys::LastCharacter), QStringLiteral("max"));

        // Character 2 has no way back: the program ends after telling the user.
        dialogs::setNextAnswer(QMessageBox::Ok);
        dialogs::setNextFile(QString());
        m_chars->newcharacter2();
        const QStringList shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().endsWith(QStringLiteral("\nYou didn`t choose a character")));
        QCOMPARE(m_window->ended, 1);
        QCOMPARE(agentlog::all(), QStringList());
    }

    void nameTooShortToCutReloadsTheOld()
    {
        store(keys::LastCharacter, QStringLiteral("max"));
        start();
        const QString picked = outside(QStringLiteral("ab"));
        QVERIFY(writeCharacterFile(picked, QStringLiteral("Ab"), QStringLiteral("No extension.")));
        const QByteArray maxBefore = bytes(inFolder(QStringLiteral("max.acs")));
        dialogs::setNextFile(picked);
        m_chars->newcharacter();
        QCOMPARE(agentlog::all().mid(0, 2), QStringList({"max Unload", "max Load max.acs"}));
        QCOMPARE(stored(keys::LastCharacter), QStringLiteral("max"));
        // Nothing is copied over the old character's file.
        QCOMPARE(bytes(inFolder(QStringLiteral("max.acs"))), maxBefore);
        QCOMPARE(dialogs::takeShownMessages(), QStringList());
    }

    void fileFromElsewhereIsCopiedIn()
    {
        start();
        const QString picked = outside(QStringLiteral("robby.acs"));
        QVERIFY(writeCharacterFile(picked, QStringLiteral("Robby"), QStringLiteral("A robot.")));
        dialogs::setNextFile(picked);
        m_chars->newcharacter();

        QCOMPARE(bytes(inFolder(QStringLiteral("robby.acs"))), bytes(picked));
        QCOMPARE(stored(keys::LastCharacter), QStringLiteral("robby"));
        QVERIFY(m_chars->Agent1()->characters().character(QStringLiteral("robby")));
        QCOMPARE(agentlog::speechOf(QStringLiteral("robby")), QStringList{"good morning, Nobody"});

        // And at the next start, with the picked file gone from where it was.
        QVERIFY(QFile::remove(picked));
        m_chars = std::make_unique<ClockCharacters>(*m_window);
        m_chars->checkboxes();
        QVERIFY(m_chars->Agent1()->characters().character(QStringLiteral("robby")));
    }

    void differentFileOfTheSameNameIsReplaced()
    {
        start();
        QVERIFY(m_home->addCharacter(QStringLiteral("robby"), QStringLiteral("Old Robby")));
        const QString picked = outside(QStringLiteral("robby.acs"));
        QVERIFY(writeCharacterFile(picked, QStringLiteral("New Robby"), QStringLiteral("Rebuilt.")));
        dialogs::setNextFile(picked);
        m_chars->newcharacter2();
        agent::Character *robby = m_chars->Agent2()->characters().character(QStringLiteral("robby"));
        QVERIFY(robby);
        QCOMPARE(robby->name(), QStringLiteral("New Robby"));
    }

    void filesTheServiceFindsAreNotCopied_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("the user's character folder") << "user";
        QTest::newRow("a system character folder") << "system";
    }
    void filesTheServiceFindsAreNotCopied()
    {
        QFETCH(QString, where);
        start();
        QString picked = inFolder(QStringLiteral("Genie.acs"));
        if (where == QLatin1String("system")) {
            const QString system = m_home->root() + QStringLiteral("/datadirs/chimewell/chars");
            QVERIFY(QDir().mkpath(system));
            picked = system + QStringLiteral("/robby.acs");
            QVERIFY(writeCharacterFile(picked, QStringLiteral("Robby"), QStringLiteral("Shipped.")));
        }
        const QStringList before = QDir(m_home->characterFolder()).entryList(QDir::Files);
        dialogs::setNextFile(picked);
        m_chars->newcharacter();
        QCOMPARE(QDir(m_home->characterFolder()).entryList(QDir::Files), before);
        QVERIFY(m_chars->Agent1()->characters().character(QFileInfo(picked).completeBaseName()));
        QCOMPARE(dialogs::takeShownMessages(), QStringList());
    }

    void failedCopyKeepsTheOldCharacter_data()
    {
        QTest::addColumn<bool>("blockFolder");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("the folder cannot be made") << true << false;
        QTest::newRow("not a character file") << false << true;
    }
    void failedCopyKeepsTheOldCharacter()
    {
        QFETCH(bool, blockFolder);
        QFETCH(bool, damaged);
        store(keys::LastCharacter, QStringLiteral("max"));
        start();
        if (blockFolder) {
            // The loaded characters are in memory; a file where the folder
            // should be makes every copy into it fail.
            QVERIFY(QDir(m_home->characterFolder()).removeRecursively());
            QFile blocker(m_home->characterFolder());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        const QString picked = outside(QStringLiteral("robby.acs"));
        if (damaged) {
            QFile f(picked);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("PK\x03\x04 but nothing more");
        } else {
            QVERIFY(writeCharacterFile(picked, QStringLiteral("Robby"), QStringLiteral("A robot.")));
        }
        const QStringList filesBefore = QDir(m_home->characterFolder()).entryList(QDir::Files);
        dialogs::setNextAnswer(QMessageBox::Ok);
        dialogs::setNextFile(picked);
        m_chars->newcharacter();

        const QStringList shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(QLatin1String("could not be copied")), qPrintable(shown.first()));
        QCOMPARE(stored(keys::LastCharacter), QStringLiteral("max"));
        QCOMPARE(m_chars->Agent1()->characters().ids(), QStringList{"max"});
        QCOMPARE(agentlog::all(), QStringList());
        QCOMPARE(QDir(m_home->characterFolder()).entryList(QDir::Files), filesBefore);
        QCOMPARE(m_window->ended, 0);
    }
};

QTEST_MAIN(ChangeTest)
#include "tst_change.moc"
