// checkboxes and characterset: loading, commands, options, greeting and home places.
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

namespace {
using CommandRow = std::tuple<QString, QString, QString>;

QList<CommandRow> commandsOf(agent::Character *c)
{
    QList<CommandRow> out;
    if (c) {
        for (const agent::Commands::Command &command : c->commands().items()) {
            const QString flags = command.enabled && command.visible ? QString() : QStringLiteral(" (off)");
            out.append({command.name + flags, command.caption, command.voice});
        }
    }
    return out;
}
} // namespace

class LoadingTest final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<FakeClockWindow> m_window;
    std::unique_ptr<ClockCharacters> m_chars;

    static void store(const char *key, const QString &value) { store::setValue(keys::Data, key, value); }

private Q_SLOTS:
    void initTestCase() { agentlog::install(); }

    void init()
    {
        failOnUnexpectedWarnings();
        m_home = std::make_unique<TestHome>();
        for (const char *id : {"max", "plany", "genie"})
            QVERIFY(m_home->addCharacter(QString::fromLatin1(id)));
        m_clock = std::make_unique<TestClock>();
        m_window = std::make_unique<FakeClockWindow>();
        m_chars = std::make_unique<ClockCharacters>(*m_window);
        agentlog::clear();
    }

    void cleanup()
    {
        m_chars.reset();
        m_window.reset();
        m_clock.reset();
        m_home.reset();
    }

    void freshStoreStartsMaxAndPlany()
    {
        const QDateTime start = m_clock->now();
        m_chars->checkboxes();
        QCOMPARE(agentlog::all(),
                 QStringList({"max Load max.acs", "plany Load plany.acs", "max SoundEffectsOn false", "max Show",
                              "max Stop", "max Speak  ", "max Show", "max Speak good morning, Nobody",
                              "max Play Congratulate", "max MoveTo 289,49", "plany SoundEffectsOn false",
                              "plany Show", "plany Stop", "plany Speak  ", "plany Show",
                              "plany Speak Welcome to Chimewell", "plany Play Confused", "plany MoveTo 83,49"}));
        // Character 2 comes on eight seconds after character 1 was sent home.
        QCOMPARE(start.secsTo(m_clock->now()), 8);
        QCOMPARE(m_chars->charName1(), QStringLiteral("max"));
        QCOMPARE(m_chars->charName2(), QStringLiteral("plany"));
    }

    void storedNamesAndTexts()
    {
        store(keys::LastCharacter, QStringLiteral("genie"));
        store(keys::UserName, QStringLiteral("Ann"));
        store(keys::StartupMessage, QStringLiteral("Hello there"));
        m_chars->checkboxes();
        QCOMPARE(agentlog::speechOf(QStringLiteral("genie")), QStringList{"good morning, Ann"});
        QCOMPARE(agentlog::speechOf(QStringLiteral("plany")), QStringList{"Hello there"});
        QCOMPARE(agentlog::of(QStringLiteral("max")), QStringList());
    }

    void commandsInOrder()
    {
        m_chars->checkboxes();
        agent::Character *one = m_chars->Agent1()->characters().character(QStringLiteral("max"));
        agent::Character *two = m_chars->Agent2()->characters().character(QStringLiteral("plany"));
        QVERIFY(one && two);
        QCOMPARE(commandsOf(one),
                 QList<CommandRow>({{"Properties", "Alter Character Properties", "[Character] Properties"},
                                    {"Introduce", "Introduce max", "(Introduction | Introduce)"},
                                    {"default", "Move me home", "[Move Me]Home "},
                                    {"Date", "What is the date", "What is the [date]?"},
                                    {"Shut", "Tell plany to be quiet", "tell [Shut Up]"},
                                    {"Future", "What does the future hold", "[Future]"},
                                    {"exit", "Exit Chimewell", "[Exit] Chimewell"}}));
        QCOMPARE(commandsOf(two),
                 QList<CommandRow>({{"Properties", "Alter Character Properties", "[Character] Properties"},
                                    {"Introduce", "Info about plany", "(Introduction | Introduce)"},
                                    {"default", "Move me home", "[Move Me]Home "},
                                    {"Date", "What date is it", "What is the [date]?"},
                                    {"Shut", "Tell max to be quiet", "[Tell] to be quiet"},
                                    {"exit", "Exit Chimewell", "[Exit] Chimewell"}}));
        QCOMPARE(one->commands().caption(), QStringLiteral("Chimewell Character 1"));
        QCOMPARE(two->commands().caption(), QStringLiteral("Chimewell Character 2"));
        QVERIFY(one->commands().isVisible() && two->commands().isVisible());
    }

    void greeting_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("00:00 morning") << "00:00" << "good morning, ";
        QTest::newRow("11:59 morning") << "11:59" << "good morning, ";
        QTest::newRow("12:00 afternoon") << "12:00" << "good afternoon, ";
        QTest::newRow("16:59 afternoon") << "16:59" << "good afternoon, ";
        QTest::newRow("17:00 evening") << "17:00" << "good evening, ";
        QTest::newRow("23:59 evening") << "23:59" << "good evening, ";
    }
    void greeting()
    {
        QFETCH(QString, time);
        QFETCH(QString, greeting);
        m_clock->set(QTime::fromString(time, QStringLiteral("hh:mm")));
        m_chars->checkboxes();
        QCOMPARE(agentlog::speechOf(QStringLiteral("max")), QStringList{greeting + QStringLiteral("Nobody")});
    }

    void soundEffects_data()
    {
        QTest::addColumn<QString>("effects1");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing turns them off") << QString() << "false";
        QTest::newRow("True turns them off") << "True" << "false";
        QTest::newRow("False turns them on") << "False" << "true";
        QTest::newRow("true in lower case turns them on") << "true" << "true";
    }
    void soundEffects()
    {
        QFETCH(QString, effects1);
        QFETCH(QString, expected);
        if (!effects1.isNull())
            store(keys::effects1, effects1);
        store(keys::effects2, QStringLiteral("False"));
        m_chars->checkboxes();
        QVERIFY(agentlog::of(QStringLiteral("max")).contains(QStringLiteral("SoundEffectsOn ") + expected));
        QVERIFY(agentlog::of(QStringLiteral("plany")).contains(QStringLiteral("SoundEffectsOn true")));
    }

    void hiddenOnceHome_data()
    {
        QTest::addColumn<QString>("charhide");
        QTest::addColumn<QString>("charhide2");
        QTest::addColumn<QStringList>("maxTail");
        QTest::addColumn<QStringList>("planyTail");
        QTest::newRow("neither") << "" << "" << QStringList{"Play Congratulate", "MoveTo 289,49"}
                                 << QStringList{"Play Confused", "MoveTo 83,49"};
        QTest::newRow("both True") << "True" << "True"
                                   << QStringList{"Play Congratulate", "Hide", "MoveTo 289,49", "Hide"}
                                   << QStringList{"Play Confused", "Hide", "MoveTo 83,49", "Hide"};
        // Speaking hides character 2 on any true text; once home only on "True".
        QTest::newRow("charhide2 1") << "" << "1" << QStringList{"Play Congratulate", "MoveTo 289,49"}
                                     << QStringList{"Play Confused", "Hide", "MoveTo 83,49"};
    }
    void hiddenOnceHome()
    {
        QFETCH(QString, charhide);
        QFETCH(QString, charhide2);
        QFETCH(QStringList, maxTail);
        QFETCH(QStringList, planyTail);
        store(keys::charhide, charhide);
        store(keys::charhide2, charhide2);
        m_chars->checkboxes();
        const QStringList max = agentlog::of(QStringLiteral("max"));
        const QStringList plany = agentlog::of(QStringLiteral("plany"));
        QCOMPARE(max.mid(max.size() - maxTail.size()), maxTail);
        QCOMPARE(plany.mid(plany.size() - planyTail.size()), planyTail);
    }

    void homePositions_data()
    {
        QTest::addColumn<QRect>("clock");
        QTest::addColumn<QSize>("character");
        QTest::addColumn<QPoint>("home1");
        QTest::addColumn<QPoint>("home2");
        QTest::newRow("example clock") << QRect(3000, 2000, 1500, 600) << QSize(128, 128) << QPoint(289, 49)
                                       << QPoint(83, 49);
        // 235.5 and 236.5 both give 236: halves go to the even neighbour.
        QTest::newRow("halves to even, up") << QRect(2300, 2400, 1400, 600) << QSize(129, 129) << QPoint(236, 76)
                                            << QPoint(36, 76);
        QTest::newRow("halves to even, down") << QRect(2315, 2415, 1400, 600) << QSize(129, 129) << QPoint(236, 76)
                                              << QPoint(36, 76);
        // Two monitors of 1280 x 1024 side by side, the left one with a panel at its top.
        QTest::newRow("top left corner: both in view")
            << QRect(0, 0, 1680, 525) << QSize(100, 80) << QPoint(115, 30) << QPoint(0, 30);
        QTest::newRow("left edge of the right monitor: both on it")
            << QRect(19200, 6000, 1680, 525) << QSize(100, 80) << QPoint(1395, 335) << QPoint(1280, 335);
        QTest::newRow("right edge of the left monitor: both on it")
            << QRect(17520, 6000, 1680, 525) << QSize(100, 80) << QPoint(1180, 335) << QPoint(1065, 335);
        QTest::newRow("bottom right corner")
            << QRect(36720, 14835, 1680, 525) << QSize(160, 128) << QPoint(2400, 896) << QPoint(2315, 896);
    }
    void homePositions()
    {
        QFETCH(QRect, clock);
        QFETCH(QSize, character);
        QFETCH(QPoint, home1);
        QFETCH(QPoint, home2);
        m_window->geometry = clock;
        m_window->desk = {{QRect(0, 0, 1280, 1024), QRect(0, 30, 1280, 994)},
                          {QRect(1280, 0, 1280, 1024), QRect(1280, 0, 1280, 1024)}};
        QCOMPARE(m_chars->homePosition1(character.width(), character.height()), home1);
        QCOMPARE(m_chars->homePosition2(character.width(), character.height()), home2);
    }

    void missingCharacterLeavesTheOtherAlone()
    {
        store(keys::LastCharacter, QStringLiteral("nobodyhere"));
        QTest::ignoreMessage(QtWarningMsg, "cannot load nobodyhere.acs as nobodyhere: no such character file");
        m_chars->checkboxes();
        QCOMPARE(agentlog::of(QStringLiteral("nobodyhere")), QStringList{"Load nobodyhere.acs"});
        QCOMPARE(agentlog::speechOf(QStringLiteral("plany")), QStringList{"Welcome to Chimewell"});
        // The stored name stays, to be tried again at the next start.
        QCOMPARE(store::value(keys::Data, keys::LastCharacter), QStringLiteral("nobodyhere"));
    }
};

QTEST_MAIN(LoadingTest)
#include "tst_loading.moc"
