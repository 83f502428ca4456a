// say and saytime: what reaches the character service, in which order, from whom.
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

class SpeechTest final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<FakeClockWindow> m_window;
    std::unique_ptr<ClockCharacters> m_chars;

    void setTime(const QString &hhmm) { m_clock->set(QTime::fromString(hhmm, QStringLiteral("hh:mm"))); }
    static void store(const char *key, const QString &value) { store::setValue(keys::Data, key, value); }

private Q_SLOTS:
    void initTestCase() { agentlog::install(); }

    void init()
    {
        failOnUnexpectedWarnings();
        m_home = std::make_unique<TestHome>();
        QVERIFY(m_home->addCharacter(QStringLiteral("max")));
        QVERIFY(m_home->addCharacter(QStringLiteral("plany")));
        m_clock = std::make_unique<TestClock>();
        m_window = std::make_unique<FakeClockWindow>();
        m_chars = std::make_unique<ClockCharacters>(*m_window);
        // Loaded as checkboxes does, without characterset's greeting, so the
        // counters start where a fresh clock window has them.
        QVERIFY(m_chars->Agent1()->characters().load(QStringLiteral("max"), QStringLiteral("max.acs")));
        QVERIFY(m_chars->Agent2()->characters().load(QStringLiteral("plany"), QStringLiteral("plany.acs")));
        agentlog::clear();
    }

    void cleanup()
    {
        m_chars.reset();
        m_window.reset();
        m_clock.reset();
        m_home.reset();
    }

    void requestsInOrder()
    {
        m_chars->say(QStringLiteral("Hello"), QStringLiteral("genie"));
        QCOMPARE(agentlog::all(), QStringList({"max Stop", "max Speak  ", "max Show", "max Speak Hello",
                                               "max Play Congratulate"}));
    }

    void slotKey_data()
    {
        QTest::addColumn<QString>("who");
        QTest::addColumn<QString>("speaker");
        QTest::newRow("genie is character 1") << "genie" << "max";
        QTest::newRow("Genie is character 2") << "Genie" << "plany";
        QTest::newRow("peedy is character 2") << "peedy" << "plany";
        QTest::newRow("Peedy is character 2") << "Peedy" << "plany";
        QTest::newRow("empty is character 2") << "" << "plany";
    }
    void slotKey()
    {
        QFETCH(QString, who);
        QFETCH(QString, speaker);
        m_chars->say(QStringLiteral("Hi"), who);
        QCOMPARE(agentlog::speechOf(speaker), QStringList{"Hi"});
        QCOMPARE(agentlog::speechOf(speaker == QLatin1String("max") ? "plany" : "max"), QStringList());
    }

    void timePhrase_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("00:00 midnight") << "00:00" << "the time is mindnight";
        QTest::newRow("00:01 one minute past 0") << "00:01" << "The time is 1 minute past 0";
        QTest::newRow("00:30 half past 0") << "00:30" << "The time is half past 0";
        QTest::newRow("05:00 o clock") << "05:00" << "The time is 5 O clock ";
        QTest::newRow("09:02 minutes past") << "09:02" << "The time is 2 minutes past 9";
        QTest::newRow("12:00 stays 12") << "12:00" << "The time is 12 O clock ";
        QTest::newRow("13:00 is 1") << "13:00" << "The time is 1 O clock ";
        QTest::newRow("16:29 last minutes past") << "16:29" << "The time is 29 minutes past 4";
        QTest::newRow("16:45 comma form") << "16:45" << "the time is 4,45";
        QTest::newRow("17:10 ten past 5") << "17:10" << "The time is 10 minutes past 5";
        QTest::newRow("23:31 first comma minute") << "23:31" << "the time is 11,31";
    }
    void timePhrase()
    {
        QFETCH(QString, time);
        QFETCH(QString, phrase);
        setTime(time);
        m_chars->saytime();
        QCOMPARE(agentlog::speechOf(QStringLiteral("plany")), QStringList{phrase});
    }

    void turnsOnlyThroughSaytime()
    {
        QCOMPARE(m_chars->announcer(), QStringLiteral("genie"));
        m_chars->saytime(); // the first time after start-up: character 2
        m_chars->saytime();
        m_chars->say(QStringLiteral("in between"), QStringLiteral("genie"));
        m_chars->say(QStringLiteral("in between too"), QStringLiteral("peedy"));
        m_chars->saytime();
        QStringList order;
        for (const QString &line : agentlog::all()) {
            if (line.contains(QLatin1String("O clock")))
                order << line.section(QLatin1Char(' '), 0, 0);
        }
        QCOMPARE(order, QStringList({"plany", "max", "plany"}));
        QCOMPARE(m_chars->announcer(), QStringLiteral("peedy"));
    }

    void gesturesCycleAcrossBothCharacters()
    {
        for (int i = 0; i < 10; ++i)
            m_chars->say(QString::number(i), i % 3 ? QStringLiteral("genie") : QStringLiteral("peedy"));
        QStringList played;
        for (const QString &line : agentlog::all()) {
            if (line.contains(QLatin1String(" Play ")))
                played << line.section(QLatin1Char(' '), 2);
        }
        QCOMPARE(played, QStringList({"Congratulate", "Confused", "Decline", "DoMagic1", "Explain", "Greet", "LookDown",
                                      "Pleased", "Read", "Congratulate"}));
        QCOMPARE(m_chars->gestureIndex(), 2);
    }

    void quietHours_data()
    {
        QTest::addColumn<QString>("quiet");
        QTest::addColumn<QString>("time");
        QTest::addColumn<bool>("whispered");
        QTest::newRow("2207 at 23:15") << "2207" << "23:15" << true;
        QTest::newRow("2207 at 22:00") << "2207" << "22:00" << true;
        QTest::newRow("2207 at 06:59") << "2207" << "06:59" << true;
        QTest::newRow("2207 at 07:00, the end hour") << "2207" << "07:00" << false;
        QTest::newRow("2207 at 21:59") << "2207" << "21:59" << false;
        QTest::newRow("0900 at 09:00") << "0900" << "09:00" << true;
        QTest::newRow("0900 at 23:59") << "0900" << "23:59" << true;
        QTest::newRow("0900 at 00:00") << "0900" << "00:00" << false;
        QTest::newRow("0900 at 08:59") << "0900" << "08:59" << false;
        QTest::newRow("1010 at 10:00") << "1010" << "10:00" << false;
        QTest::newRow("1010 at 03:00") << "1010" << "03:00" << false;
        QTest::newRow("0000 at 00:00") << "0000" << "00:00" << false;
        QTest::newRow("three digits") << "220" << "23:00" << false;
        QTest::newRow("five digits") << "22070" << "23:00" << false;
        QTest::newRow("letters") << "22ab" << "23:00" << false;
    }
    void quietHours()
    {
        QFETCH(QString, quiet);
        QFETCH(QString, time);
        QFETCH(bool, whispered);
        store(keys::QuietTime, quiet);
        setTime(time);
        m_chars->say(QStringLiteral("psst"), QStringLiteral("peedy"));
        QCOMPARE(agentlog::speechOf(QStringLiteral("plany")),
                 QStringList{whispered ? QStringLiteral("\\chr=\"Whisper\"\\psst") : QStringLiteral("psst")});
        QCOMPARE(m_chars->whisperNow(), whispered);
    }

    void hideAfterTalking_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("who");
        QTest::addColumn<bool>("hides");
        QTest::newRow("charhide True hides character 1") << "charhide" << "True" << "genie" << true;
        QTest::newRow("charhide true does not") << "charhide" << "true" << "genie" << false;
        QTest::newRow("charhide 1 does not") << "charhide" << "1" << "genie" << false;
        QTest::newRow("charhide True leaves character 2") << "charhide" << "True" << "peedy" << false;
        QTest::newRow("charhide2 True hides character 2") << "charhide2" << "True" << "peedy" << true;
        QTest::newRow("charhide2 tRUE hides") << "charhide2" << "tRUE" << "peedy" << true;
        QTest::newRow("charhide2 -1 hides") << "charhide2" << "-1" << "peedy" << true;
        QTest::newRow("charhide2 0 does not") << "charhide2" << "0" << "peedy" << false;
        QTest::newRow("charhide2 yes does not") << "charhide2" << "yes" << "peedy" << false;
        QTest::newRow("charhide2 True leaves character 1") << "charhide2" << "True" << "genie" << false;
    }
    void hideAfterTalking()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, who);
        QFETCH(bool, hides);
        store(key.toLatin1().constData(), value);
        m_chars->say(QStringLiteral("bye"), who);
        const QStringList requests = agentlog::of(who == QLatin1String("genie") ? "max" : "plany");
        QCOMPARE(requests.size(), hides ? 6 : 5);
        QCOMPARE(requests.at(4), QStringLiteral("Play Congratulate"));
        if (hides)
            QCOMPARE(requests.last(), QStringLiteral("Hide"));
    }

    void hiddenClockShownWhileTimeIsSaid()
    {
        store(keys::minimise, QStringLiteral("True"));
        m_window->visible = false;
        const QDateTime before = m_clock->now();
        m_chars->saytime();
        QCOMPARE(m_window->visibilityChanges, QList<bool>({true, false}));
        QCOMPARE(before.secsTo(m_clock->now()), 4);

        // A clock the user keeps shown is left alone, and nothing waits.
        store(keys::minimise, QStringLiteral("False"));
        m_window->visibilityChanges.clear();
        m_chars->saytime();
        QVERIFY(m_window->visibilityChanges.isEmpty());
        QCOMPARE(before.secsTo(m_clock->now()), 4);
    }

    void absentCharacterStillAdvancesTheGesture()
    {
        QVERIFY(m_chars->Agent2()->characters().unload(QStringLiteral("plany")));
        agentlog::clear();
        m_chars->say(QStringLiteral("anyone?"), QStringLiteral("peedy"));
        QCOMPARE(agentlog::all(), QStringList());
        QCOMPARE(m_chars->gestureIndex(), 2);
    }
};

QTEST_MAIN(SpeechTest)
#include "tst_speech.moc"
