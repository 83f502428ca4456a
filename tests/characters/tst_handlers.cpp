// The alarms' speech, the answers to the characters' commands, drag replies and going home.
#include "fixture.h"

#include "characters/clockcharacters.h"
#include "common/clock.h"
#include "tests/support/testclock.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QtTest>

using namespace chimewell;
using chimewell::testing::TestClock;
using namespace chimewell::characters;
using namespace chimewell::characters::test;

class HandlersTest final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<FakeClockWindow> m_window;
    std::unique_ptr<ClockCharacters> m_chars;

    static void store(const char *key, const QString &value) { store::setValue(keys::Data, key, value); }
    void command(int slot, const QString &name)
    {
        agent::UserInput input;
        input.Name = name;
        input.CharacterID = slot == 1 ? QStringLiteral("max") : QStringLiteral("plany");
        Q_EMIT(slot == 1 ? m_chars->Agent1() : m_chars->Agent2())->command(input);
    }
    void drag(int slot)
    {
        Q_EMIT(slot == 1 ? m_chars->Agent1() : m_chars->Agent2())
            ->dragComplete(slot == 1 ? QStringLiteral("max") : QStringLiteral("plany"), 1, 0, 10, 10);
    }
    // Who said what, in order, leaving out the blank and the time phrases.
    static QStringList spoken()
    {
        QStringList out;
        for (const QString &line : agentlog::all()) {
            const QString id = line.section(QLatin1Char(' '), 0, 0);
            const QString op = line.section(QLatin1Char(' '), 1, 1);
            const QString text = line.section(QLatin1Char(' '), 2);
            if (op == QLatin1String("Speak") && !text.trimmed().isEmpty())
                out << id + QStringLiteral(": ") + text;
        }
        return out;
    }

private Q_SLOTS:
    void initTestCase() { agentlog::install(); }

    void init()
    {
        failOnUnexpectedWarnings();
        m_home = std::make_unique<TestHome>();
        QVERIFY(m_home->addCharacter(QStringLiteral("max"), QStringLiteral("Max"), QStringLiteral("Max tells the time.")));
        QVERIFY(m_home->addCharacter(QStringLiteral("plany"), QStringLiteral("Plany"), QStringLiteral("A plane.")));
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
        m_window = std::make_unique<FakeClockWindow>();
        m_chars = std::make_unique<ClockCharacters>(*m_window);
        m_chars->checkboxes();
        m_clock->set(QTime(10, 0));
        agentlog::clear();
    }

    void cleanup()
    {
        m_chars.reset();
        m_window.reset();
        m_clock.reset();
        m_home.reset();
    }

    void alarmMessages()
    {
        m_chars->alarmclock(QStringLiteral("genie"));
        QCOMPARE(agentlog::of(QStringLiteral("max")).mid(0, 4), QStringList({"Stop", "Stop", "Speak  ", "Show"}));
        store(keys::AlarmMessage2, QStringLiteral("Second alarm"));
        store(keys::QuietTime, QStringLiteral("0923"));
        m_chars->alarmclock(QStringLiteral("peedy"));
        QCOMPARE(spoken(), QStringList({"max: This is the alarm, you have not altered the alarm yet, please do it now!",
                                        "plany: \\chr=\"Whisper\"\\Second alarm"}));
    }

    void bothAlarmsInOneMinuteInOrder()
    {
        store(keys::AlarmMessage, QStringLiteral("Wake up"));
        store(keys::AlarmMessage2, QStringLiteral("Up, I said"));
        m_chars->alarmclock(QStringLiteral("genie"));
        m_chars->alarmclock(QStringLiteral("peedy"));
        QCOMPARE(spoken(), QStringList({"max: Wake up", "plany: Up, I said"}));
    }

    void alarmCutsOffOnlyItsOwnCharacter()
    {
        m_chars->saytime(); // character 2
        m_chars->saytime(); // character 1
        store(keys::AlarmMessage, QStringLiteral("Wake up"));
        agentlog::clear();
        m_chars->alarmclock(QStringLiteral("genie"));
        QCOMPARE(agentlog::of(QStringLiteral("max")).first(), QStringLiteral("Stop"));
        QCOMPARE(agentlog::of(QStringLiteral("plany")), QStringList());
        QVERIFY(m_chars->Agent2()->characters().character(QStringLiteral("plany"))->isBusy());
    }

    void commandAnswers_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("Future") << 1 << "Future"
                                << QStringList{"max: The future is Bright!. There will soon be an International "
                                               "Chimewell, which you can use on your laptop. But dont tell anybody!"};
        QTest::newRow("character 1 Introduce") << 1 << "Introduce"
                                               << QStringList{"max: Hello, my name is Max. Max tells the time."};
        QTest::newRow("character 2 Introduce") << 2 << "Introduce" << QStringList{"plany: Hello, my name is Plany. A plane."};
        QTest::newRow("character 1 Date") << 1 << "Date" << QStringList{"max: The date is Monday December 07, 2026."};
        QTest::newRow("character 2 Date refers to character 1")
            << 2 << "Date" << QStringList{"plany: I dont know, why dont you ask max"};
        QTest::newRow("character 1 Shut")
            << 1 << "Shut" << QStringList{"max: Hey plany, please be quiet.. \\chr=\"Whisper\"\\Cant you whisper or something"};
        QTest::newRow("character 2 Shut") << 2 << "Shut"
                                          << QStringList{"plany: Hey max, I think you are cool, but please be quiet!"};
        QTest::newRow("character 1 default") << 1 << "default" << QStringList{"max: Okay I`m home !", "plany: I`m home too!"};
        QTest::newRow("character 2 default") << 2 << "default" << QStringList{"max: Okay I`m home !", "plany: I`m home too!"};
    }
    void commandAnswers()
    {
        QFETCH(int, slot);
        QFETCH(QString, name);
        QFETCH(QStringList, said);
        const QString own = slot == 1 ? QStringLiteral("max") : QStringLiteral("plany");
        command(slot, name);
        QCOMPARE(spoken(), said);
        // The character breaks off whatever it was saying before it answers.
        QCOMPARE(agentlog::of(own).value(0), QStringLiteral("Stop"));
    }

    void unknownCommandsAreIgnored_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("name");
        QTest::newRow("character 2 has no Future") << 2 << "Future";
        QTest::newRow("names are exact") << 1 << "date";
        QTest::newRow("unknown name") << 1 << "Dance";
    }
    void unknownCommandsAreIgnored()
    {
        QFETCH(int, slot);
        QFETCH(QString, name);
        command(slot, name);
        QCOMPARE(agentlog::all(), QStringList());
    }

    void exitAndProperties()
    {
        command(1, QStringLiteral("exit"));
        command(2, QStringLiteral("exit"));
        QCOMPARE(m_window->closed, 2);
        command(2, QStringLiteral("Properties"));
        QVERIFY(m_chars->Agent2()->propertySheet().isVisible());
        m_chars->Agent2()->propertySheet().setVisible(false);
    }

    void dragReplies_data()
    {
        QTest::addColumn<QString>("drags");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("character 1 four times: 1 2 3 1")
            << "1111"
            << QStringList{"plany: Hey, what are you doing with max", "plany: max liked that, do it again!",
                           "max: I liked that, please do it again", "plany: Hey, what are you doing with max"};
        QTest::newRow("character 2 four times: 1 2 3 1")
            << "2222"
            << QStringList{"max: Hey you, leave plany alone, you big bully",
                           "max: What are you doing with plany, he seems to be enjoying it!",
                           "plany: Hey, I kinda liked that, do it again and again and again!",
                           "max: Hey you, leave plany alone, you big bully"};
        QTest::newRow("counters are separate")
            << "112" << QStringList{"plany: Hey, what are you doing with max", "plany: max liked that, do it again!",
                                    "max: Hey you, leave plany alone, you big bully"};
    }
    void dragReplies()
    {
        QFETCH(QString, drags);
        QFETCH(QStringList, said);
        for (const QChar c : drags)
            drag(c.digitValue());
        QCOMPARE(spoken(), said);
    }

    void goingHome()
    {
        // Neither whispered nor hidden: the home lines go straight to the characters.
        store(keys::QuietTime, QStringLiteral("0024"));
        store(keys::charhide, QStringLiteral("True"));
        m_window->geometry = QRect(6000, 4000, 1500, 600); // the clock moved since start-up
        const QDateTime before = m_clock->now();
        m_chars->GenieMove();
        QCOMPARE(agentlog::all(), QStringList({"max Stop", "max MoveTo 489,183", "max Speak Okay I`m home !",
                                               "max Play pleased", "plany Stop", "plany MoveTo 283,183",
                                               "plany Speak I`m home too!", "plany Play pleased"}));
        QCOMPARE(before.secsTo(m_clock->now()), 4);
    }

    void goingHomeToAMinimisedClock()
    {
        m_window->minimised = true;
        m_chars->GenieMove();
        QCOMPARE(spoken(), QStringList({"plany: How can we move to an invisible window?",
                                        "max: yeah, you need to show the clock before I will move"}));
        for (const QString &line : agentlog::all())
            QVERIFY2(!line.contains(QLatin1String("MoveTo")), qPrintable(line));
    }
};

QTEST_MAIN(HandlersTest)
#include "tst_handlers.moc"
