#include "settings/New_User.h"
#include "settings/frm_wait.h"

#include "common/clock.h"
#include "common/dialogs.h"
#include "common/platform.h"
#include "common/settingsstore.h"
#include "tests/support/logcapture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace chimewell;
using setup::New_User;

namespace {

QStringList &g_log = testing::capturedLog();

QStringList linesOf(const QString &category) { return testing::capturedLines(category); }

setup::Components components(bool speech, bool characters)
{
    return {[speech] { return speech; }, [characters] { return characters; }};
}

QWidget *shownWindow(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            return w;
    }
    return nullptr;
}

} // namespace

class TestNewUser final : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir *m_home = nullptr;
    TestClock *m_clock = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        testing::startLogCapture();
        dialogs::installShowLog();
    }

    void init()
    {
        m_home = new QTemporaryDir;
        qputenv("XDG_CONFIG_HOME", (m_home->path() + QStringLiteral("/config")).toUtf8());
        qputenv("XDG_DATA_HOME", (m_home->path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_DATA_DIRS", (m_home->path() + QStringLiteral("/none")).toUtf8());
        m_clock = new TestClock;
        g_log.clear();
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        delete m_clock;
        delete m_home;
    }

    void firstRunTest_data()
    {
        QTest::addColumn<QString>("name1");
        QTest::addColumn<QString>("name2");
        QTest::addColumn<bool>("returning");
        QTest::newRow("both names") << "max" << "plany" << true;
        QTest::newRow("two-letter names") << "ab" << "cd" << true;
        QTest::newRow("only character 1") << "max" << "" << false;
        QTest::newRow("only character 2") << "" << "plany" << false;
        QTest::newRow("a one-letter name") << "m" << "plany" << false;
        QTest::newRow("none") << "" << "" << false;
    }
    void firstRunTest()
    {
        QFETCH(QString, name1);
        QFETCH(QString, name2);
        QFETCH(bool, returning);
        if (!name1.isEmpty())
            store::setValue(QStringLiteral("Data"), QStringLiteral("LastCharacter"), name1);
        if (!name2.isEmpty())
            store::setValue(QStringLiteral("Data"), QStringLiteral("LastCharacter2"), name2);
        QCOMPARE(New_User::isReturningUser(), returning);
    }

    void normalStartShowsTheClockThenLoadsTheCharacters()
    {
        store::setValue(QStringLiteral("Data"), QStringLiteral("LastCharacter"), QStringLiteral("max"));
        store::setValue(QStringLiteral("data"), QStringLiteral("lastcharacter2"), QStringLiteral("plany"));
        QStringList steps;
        const QDateTime start = m_clock->now();
        New_User nu([&] { steps << QStringLiteral("clock"); },
                    [&] { steps << QStringLiteral("characters at +%1 s").arg(start.secsTo(m_clock->now())); },
                    components(false, false));
        nu.Form_Load();
        QCOMPARE(steps, (QStringList{QStringLiteral("clock"), QStringLiteral("characters at +2 s")}));
        QVERIFY(!nu.isVisible());
        QVERIFY(!shownWindow(QStringLiteral("frm_wait")));
    }

    void firstRunShowsTheAgreementAndCopiesTheCharacters()
    {
        New_User nu([] { QFAIL("no clock on a first run"); }, [] {}, components(true, true));
        nu.Form_Load();
        QVERIFY(nu.isVisible());
        QVERIFY(linesOf(QStringLiteral("chimewell.ui")).contains(QStringLiteral("show New_User")));
        QVERIFY(QDir(platform::characterFolder()).exists());
        // The buttons and their captions.
        QCOMPARE(nu.findChild<QPushButton *>(QStringLiteral("Command3"))->text(), QStringLiteral("I AGREE"));
        QCOMPARE(nu.findChild<QPushButton *>(QStringLiteral("Command1"))->text(), QStringLiteral("I DON`T AGREE"));
        QCOMPARE(nu.palette().color(QPalette::Window), QColor(255, 0, 0));
    }

    void missingComponentShowsTheWait_data()
    {
        QTest::addColumn<bool>("speech");
        QTest::addColumn<bool>("characters");
        QTest::newRow("no speech engine") << false << true;
        QTest::newRow("no characters") << true << false;
        QTest::newRow("neither") << false << false;
    }
    void missingComponentShowsTheWait()
    {
        QFETCH(bool, speech);
        QFETCH(bool, characters);
        auto *nu = new New_User([] {}, [] {}, components(speech, characters));
        nu->Form_Load();
        QVERIFY(!nu->isVisible());
        QVERIFY(shownWindow(QStringLiteral("frm_wait")));
        delete nu;
    }

    void declineWritesNothing()
    {
        New_User nu([] {}, [] {}, components(true, true));
        nu.Form_Load();
        nu.Command1_Click();
        QVERIFY(store::list(QStringLiteral("ChimewellIIV")).isEmpty());
        QVERIFY(!New_User::isReturningUser());
    }

    void agreeWritesTheInitialSettingsInOrder_data()
    {
        QTest::addColumn<bool>("startWithDesktop");
        QTest::newRow("No to the start-up question") << false;
        QTest::newRow("Yes to the start-up question") << true;
    }
    void agreeWritesTheInitialSettingsInOrder()
    {
        QFETCH(bool, startWithDesktop);
        New_User nu([] {}, [] {}, components(true, true));
        nu.Form_Load();
        g_log.clear();
        dialogs::setNextAnswer(startWithDesktop ? QMessageBox::Yes : QMessageBox::No);
        nu.Command3_Click();

        QStringList keys;
        for (const QString &l : linesOf(QStringLiteral("chimewell.settings")))
            keys << l.section(QLatin1Char('='), 0, 0).mid(6);
        QStringList expected{"Data/LastCharacter", "Data/LastCharacter2", "Data/AlarmMessage", "Data/AlarmMessage2",
                             "Data/Announce", "Data/BackColour", "Data/ForeColour", "Data/FormX", "Data/FormY",
                             "Data/LoadWithWindows", "data/format"};
        if (startWithDesktop)
            expected << "Data/LoadWithWindows";
        expected << QStringList{"Data/QuietTime", "Data/Repeat1", "Data/Repeat2", "Data/StartupMessage",
                                "Data/UserName", "Data/effects1", "Data/effects2", "Data/minimise", "Data/mode"};
        QCOMPARE(keys, expected);

        auto value = [](const char *key) { return store::value(QStringLiteral("Data"), QLatin1String(key)); };
        QCOMPARE(value("effects1"), QStringLiteral("False"));
        QCOMPARE(value("effects2"), QStringLiteral("True"));
        QCOMPARE(value("Repeat1"), QStringLiteral("False"));
        QCOMPARE(value("Announce"), QStringLiteral("10"));
        QCOMPARE(value("UserName"), QStringLiteral("Nobody!"));
        QCOMPARE(value("mode"), QStringLiteral("simple"));
        QCOMPARE(value("AlarmTime1"), QString());
        QCOMPARE(value("charhide"), QString());
        QCOMPARE(value("LoadWithWindows"), startWithDesktop ? QStringLiteral("True") : QStringLiteral("False"));
        QVERIFY(value("AlarmMessage").contains(QLatin1Char('1')));
        QVERIFY(value("AlarmMessage2").contains(QLatin1Char('2')));

        const QStringList messages = dialogs::takeShownMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().startsWith(QStringLiteral("Windows Startup\nDO YOU WANT CHIMEWELL TO START WITH WINDOWS?.")));
        // The test's program folder has no desktop entry: the copy is skipped,
        // the answer is still stored.
        QVERIFY(!QFile::exists(platform::autostartFolder() + QStringLiteral("/Chimewell.desktop")));
        // Then the restart program takes over.
        const QStringList launches = linesOf(QStringLiteral("chimewell.launch"));
        QCOMPARE(launches.size(), 1);
        QVERIFY(launches.first().startsWith(QStringLiteral("start ") + platform::programFolder()
                                            + QStringLiteral("/chimewell-restart")));
        QVERIFY(New_User::isReturningUser());
    }

    void autostartEntryIsAPlainCopy()
    {
        // Put a desktop entry beside the test program, as the build does beside chimewell.
        const QString shipped = platform::programFolder() + QStringLiteral("/Chimewell.desktop");
        QFile f(shipped);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nName=Chimewell\nExec=chimewell\n");
        f.close();
        QVERIFY(setup::installAutostartEntry());
        QFile copy(platform::autostartFolder() + QStringLiteral("/Chimewell.desktop"));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QVERIFY(copy.readAll().contains("Exec=chimewell"));
        QVERIFY(setup::removeAutostartEntry());
        QVERIFY(!copy.exists());
        QFile::remove(shipped);
    }

    void installWaitTicks()
    {
        setup::frm_wait wait;
        QCOMPARE(wait.palette().color(QPalette::Window), QColor(255, 255, 0));
        for (int i = 0; i < 20; ++i)
            wait.Timer2_Timer();
        const QStringList launches = linesOf(QStringLiteral("chimewell.launch"));
        QCOMPARE(launches.size(), 2);
        QVERIFY(launches.at(0).contains(QStringLiteral("/chimewell-setup agent /Q:A")));
        QVERIFY(launches.at(1).contains(QStringLiteral("/chimewell-setup speech /Q:A")));
        QCOMPARE(wait.ticks(), 20);
        // Twenty flashes: back to yellow.
        QCOMPARE(wait.palette().color(QPalette::Window), QColor(255, 255, 0));
        wait.Timer2_Timer();
        QCOMPARE(wait.palette().color(QPalette::Window), QColor(255, 0, 0));
    }
};

QTEST_MAIN(TestNewUser)
#include "tst_new_user.moc"
