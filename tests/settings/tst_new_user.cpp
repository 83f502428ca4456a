#include "settings/New_User.h"
#include "settings/frm_wait.h"

#include "common/dialogs.h"
#include "common/platform.h"
#include "common/platform_dummy.h"
#include "common/program.h"
#include "common/settingsstore.h"
#include "tests/support/characterfile.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace chimewell;
using chimewell::testing::TestClock;
using setup::New_User;

namespace {

QStringList &g_log = testing::capturedLog();

QStringList linesOf(const QString &category) { return testing::capturedLines(category); }

QWidget *shownWindow(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            return w;
    }
    return nullptr;
}

// The clock as the start-up form sees it: records what it was asked, and when.
class FakeClockStart final : public setup::ClockStart
{
public:
    void showClock() override { steps << QStringLiteral("clock at +%1 s").arg(start.secsTo(Clock::current())); }
    void checkboxes() override
    {
        steps << QStringLiteral("characters at +%1 s").arg(start.secsTo(Clock::current()));
    }
    QDateTime start = Clock::current();
    QStringList steps;
};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestNewUser final : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<TestClock> m_clock;

    // Ships the two standard characters in the (stand-in) program folder.
    void shipCharacters()
    {
        const QString chars = m_home->programFolder() + QStringLiteral("/chars");
        QVERIFY(QDir().mkpath(chars));
        QVERIFY(testing::writeCharacterFile(chars + QStringLiteral("/max.acs"), QStringLiteral("Max"), QString()));
        QVERIFY(testing::writeCharacterFile(chars + QStringLiteral("/plany.acs"), QStringLiteral("Plany"), QString()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        testing::startLogCapture();
        dialogs::installShowLog();
    }

    void init()
    {
        m_home = std::make_unique<testing::TempHome>();
        platform::dummy::reset();
        platform::dummy::state().programFolder = m_home->programFolder();
        m_clock = std::make_unique<TestClock>();
        g_log.clear();
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        clearEnding();
        m_clock.reset();
        m_home.reset();
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
        FakeClockStart clock;
        New_User nu(clock);
        nu.Form_Load();
        QCOMPARE(clock.steps, (QStringList{QStringLiteral("clock at +0 s"), QStringLiteral("characters at +2 s")}));
        QVERIFY(!nu.isVisible());
        QVERIFY(!shownWindow(QStringLiteral("frm_wait")));
    }

    // An Exit during the two seconds before the characters: they never come.
    void exitBeforeTheCharactersStopsTheStart()
    {
        store::setValue(QStringLiteral("Data"), QStringLiteral("LastCharacter"), QStringLiteral("max"));
        store::setValue(QStringLiteral("Data"), QStringLiteral("LastCharacter2"), QStringLiteral("plany"));
        FakeClockStart clock;
        New_User nu(clock);
        QTimer::singleShot(0, &nu, [] { endProgram(); });
        nu.Form_Load();
        QCOMPARE(clock.steps, QStringList{QStringLiteral("clock at +0 s")});
    }

    void firstRunShowsTheAgreementAndCopiesTheCharacters()
    {
        shipCharacters();
        // An older copy of max in the user's folder is replaced; nothing else there is touched.
        QVERIFY(testing::writeCharacterFile(m_home->characterFolder() + QStringLiteral("/max.acs"),
                                            QStringLiteral("Old Max"), QString()));
        QVERIFY(testing::writeCharacterFile(m_home->characterFolder() + QStringLiteral("/own.acs"),
                                            QStringLiteral("Mine"), QString()));
        const QByteArray own = contents(m_home->characterFolder() + QStringLiteral("/own.acs"));
        FakeClockStart clock;
        New_User nu(clock);
        nu.Form_Load();
        QVERIFY(clock.steps.isEmpty());
        QVERIFY(nu.isVisible());
        QVERIFY(linesOf(QStringLiteral("chimewell.ui")).contains(QStringLiteral("show New_User")));
        for (const char *file : {"/max.acs", "/plany.acs"}) {
            const QByteArray shipped = contents(m_home->programFolder() + QStringLiteral("/chars") + QLatin1String(file));
            QVERIFY(!shipped.isEmpty());
            QCOMPARE(contents(m_home->characterFolder() + QLatin1String(file)), shipped);
        }
        QCOMPARE(contents(m_home->characterFolder() + QStringLiteral("/own.acs")), own);
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
        platform::dummy::state().speechEngine = speech;
        if (characters)
            shipCharacters();
        FakeClockStart clock;
        auto *nu = new New_User(clock);
        nu->Form_Load();
        QVERIFY(!nu->isVisible());
        QVERIFY(shownWindow(QStringLiteral("frm_wait")));
        delete nu;
    }

    void declineWritesNothingAndEnds()
    {
        shipCharacters();
        FakeClockStart clock;
        New_User nu(clock);
        nu.Form_Load();
        nu.Command1_Click();
        QVERIFY(isEnding());
        QVERIFY(store::list(QStringLiteral("ChimewellIIV")).isEmpty());
        QVERIFY(!New_User::isReturningUser());
    }

    void agreeWritesTheInitialSettingsInOrder_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("autostartFails");
        QTest::addColumn<QString>("loadWithWindows");
        QTest::newRow("No to the start-up question") << false << false << "False";
        QTest::newRow("Yes to the start-up question") << true << false << "True";
        QTest::newRow("Yes, but the entry cannot be placed") << true << true << "False";
    }
    void agreeWritesTheInitialSettingsInOrder()
    {
        QFETCH(bool, yes);
        QFETCH(bool, autostartFails);
        QFETCH(QString, loadWithWindows);
        shipCharacters();
        platform::dummy::state().autostartFails = autostartFails;
        FakeClockStart clock;
        New_User nu(clock);
        nu.Form_Load();
        g_log.clear();
        dialogs::setNextAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
        nu.Command3_Click();

        // Every write, in order, with its value.
        QStringList expected{
            "Data/LastCharacter=max",
            "Data/LastCharacter2=plany",
            "Data/AlarmMessage=This is alarm 1. Wake up, wake up, it is time to get up!",
            "Data/AlarmMessage2=This is alarm 2. Come on, wake up, it is time to get going!",
            "Data/Announce=10",
            "Data/BackColour=16777215",
            "Data/ForeColour=0",
            "Data/FormX=2000",
            "Data/FormY=2000",
            "Data/LoadWithWindows=False",
            "data/format=1",
        };
        if (loadWithWindows == QLatin1String("True"))
            expected << "Data/LoadWithWindows=True";
        expected << QStringList{
            "Data/QuietTime=0000",
            "Data/Repeat1=False",
            "Data/Repeat2=False",
            "Data/StartupMessage=Right click on the clock, or on the task bar icon, for more options",
            "Data/UserName=Nobody!",
            "Data/effects1=False",
            "Data/effects2=True",
            "Data/minimise=False",
            "Data/mode=simple",
        };
        QStringList written;
        for (const QString &l : linesOf(QStringLiteral("chimewell.settings")))
            written << l.mid(6); // "write "
        QCOMPARE(written, expected);
        QCOMPARE(store::list(QStringLiteral("ChimewellIIV")).size(), 20);
        QCOMPARE(store::value(QStringLiteral("Data"), QStringLiteral("LoadWithWindows")), loadWithWindows);
        QCOMPARE(platform::hasAutostartEntry(), loadWithWindows == QLatin1String("True"));

        const QStringList messages = dialogs::takeShownMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().startsWith(QStringLiteral("Windows Startup\nDO YOU WANT CHIMEWELL TO START WITH WINDOWS?.")));
        // Then the restart program takes over.
        QCOMPARE(linesOf(QStringLiteral("chimewell.launch")).size(), 1);
        QVERIFY(linesOf(QStringLiteral("chimewell.launch")).first().startsWith(
            QStringLiteral("start ") + m_home->programFolder() + QStringLiteral("/chimewell-restart")));
        QVERIFY(isEnding());
        QVERIFY(New_User::isReturningUser());
    }

    // The installers start at ticks 0 and 15 exactly. After 40 seconds the
    // program restarts when the round left nothing missing; otherwise it says,
    // once, what to install and ends without restarting (a restart would
    // only bring the same wait back, for ever).
    void installWait_data()
    {
        QTest::addColumn<bool>("characters");
        QTest::addColumn<bool>("speech");
        QTest::addColumn<QString>("advice"); // empty: restarts
        QTest::newRow("repaired") << true << true << QString();
        QTest::newRow("characters still missing") << false << true << QStringLiteral("characters are missing");
        QTest::newRow("speech still missing") << true << false << QStringLiteral("install it, for example with");
    }
    void installWait()
    {
        QFETCH(bool, characters);
        QFETCH(bool, speech);
        QFETCH(QString, advice);
        setup::frm_wait wait;
        QCOMPARE(wait.palette().color(QPalette::Window), QColor(255, 255, 0));
        const auto launches = [] { return linesOf(QStringLiteral("chimewell.launch")); };
        wait.Timer2_Timer();
        QCOMPARE(launches().size(), 1);
        QVERIFY(launches().at(0).contains(QStringLiteral("/chimewell-setup agent /Q:A")));
        for (int i = 1; i < 15; ++i)
            wait.Timer2_Timer();
        QCOMPARE(launches().size(), 1);
        wait.Timer2_Timer(); // tick 15
        QCOMPARE(launches().size(), 2);
        QVERIFY(launches().at(1).contains(QStringLiteral("/chimewell-setup speech /Q:A")));
        for (int i = 16; i < 20; ++i)
            wait.Timer2_Timer();
        QCOMPARE(launches().size(), 2);
        // Twenty flashes: back to yellow, then red again.
        QCOMPARE(wait.palette().color(QPalette::Window), QColor(255, 255, 0));
        wait.Timer2_Timer();
        QCOMPARE(wait.palette().color(QPalette::Window), QColor(255, 0, 0));

        // What the installers left behind.
        if (characters)
            shipCharacters();
        platform::dummy::state().speechEngine = speech;
        auto *restart = wait.findChild<QTimer *>(QStringLiteral("Timer1"));
        QVERIFY(restart && restart->isActive() && restart->isSingleShot());
        QCOMPARE(restart->interval(), 40000);
        QVERIFY(!isEnding());
        if (!advice.isEmpty())
            dialogs::setNextAnswer(QMessageBox::Ok);
        QVERIFY(QMetaObject::invokeMethod(restart, "timeout")); // as if 40 s had passed
        QVERIFY(isEnding());
        const QStringList messages = dialogs::takeShownMessages();
        QCOMPARE(launches().last().contains(QStringLiteral("/chimewell-restart")), advice.isEmpty());
        QCOMPARE(messages.size(), advice.isEmpty() ? 0 : 1);
        if (!advice.isEmpty())
            QVERIFY2(messages.first().contains(advice), qPrintable(messages.first()));
    }
};

QTEST_MAIN(TestNewUser)
#include "tst_new_user.moc"
