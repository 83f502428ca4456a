// The countdown: its arithmetic, its four texts and their pace, and the
// New Year's Day greeting.
#include "addons/millenium/countdown.h"
#include "addons/millenium/frm_millenium.h"

#include "common/settingsstore.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"
#include "tests/support/warnings.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>

using namespace chimewell;
using namespace chimewell::addons;
using chimewell::testing::TestClock;

namespace {
const QString kGreetingEnd = QStringLiteral(". Have a great new year from Tesmaro at Quillfen!. Happy New Year every body!");
}

class TestMillenium final : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<TestClock> m_clock;

private Q_SLOTS:
    void initTestCase() { testing::startLogCapture(); }

    void init()
    {
        testing::failOnUnexpectedWarnings();
        m_home = std::make_unique<testing::TempHome>();
        m_clock = std::make_unique<TestClock>();
        testing::capturedLog().clear();
    }

    void cleanup()
    {
        m_clock.reset();
        m_home.reset();
    }

    void daysAndHoursLeft_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("targetYear");
        auto at = [](int y, int m, int d, int h, int min) { return QDateTime(QDate(y, m, d), QTime(h, min)); };
        QTest::newRow("30 Dec 1999 10:15") << at(1999, 12, 30, 10, 15) << 1 << 37 << 2000;
        QTest::newRow("31 Dec 1999 22:30") << at(1999, 12, 31, 22, 30) << 0 << 1 << 2000;
        QTest::newRow("31 Dec 1999 23:30") << at(1999, 12, 31, 23, 30) << 0 << 0 << 2000;
        QTest::newRow("1 Jan 2000") << at(2000, 1, 1, 9, 0) << -2 << -34 << 2000;
        // More hours than a 16-bit count holds.
        QTest::newRow("leap day 1996") << at(1996, 2, 29, 0, 0) << 1401 << 33647 << 2000;
        QTest::newRow("2 Jan 2000: the next year") << at(2000, 1, 2, 12, 0) << 364 << 8747 << 2001;
        QTest::newRow("7 Dec 2026") << at(2026, 12, 7, 10, 0) << 24 << 589 << 2027;
        QTest::newRow("leap year 2028") << at(2028, 1, 2, 0, 0) << 364 << 8759 << 2029;
    }
    void daysAndHoursLeft()
    {
        QFETCH(QDateTime, now);
        QFETCH(int, days);
        QFETCH(int, hours);
        QFETCH(int, targetYear);
        QCOMPARE(daysLeft(now.date()), days);
        QCOMPARE(hoursLeft(now), hours);
        QCOMPARE(countdownTarget(now.date()), QDate(targetYear, 1, 1));
    }

    // Each tick's label and the interval to the next tick, five ticks from the
    // start (the first at once, so the window never stands empty for long).
    void fourTexts_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("intervals");
        auto at = [](int y, int m, int d, int h, int min) { return QDateTime(QDate(y, m, d), QTime(h, min)); };
        const QList<int> steady{2000, 2000, 2000, 2000, 2000};
        const QList<int> lastDay{500, 500, 2000, 2000, 500};
        QTest::newRow("30 Dec 1999 10:15")
            << at(1999, 12, 30, 10, 15)
            << QStringList({"There is 1", "day till 2000", "There are 37", "hours left to 2000", "There is 1"}) << steady;
        QTest::newRow("31 Dec 1999 22:30")
            << at(1999, 12, 31, 22, 30)
            << QStringList({"", "", "There is 1", "hour left to 2000", "hour left to 2000"}) << lastDay;
        QTest::newRow("31 Dec 1999 23:30")
            << at(1999, 12, 31, 23, 30)
            << QStringList({"", "", "There are 0", "hours left to 2000", "hours left to 2000"}) << lastDay;
        QTest::newRow("7 Dec 2026 10:00")
            << at(2026, 12, 7, 10, 0)
            << QStringList({"There are 24", "days till 2027", "There are 589", "hours left to 2027", "There are 24"})
            << steady;
        QTest::newRow("31 Dec 2026 22:59")
            << at(2026, 12, 31, 22, 59)
            << QStringList({"", "", "There is 1", "hour left to 2027", "hour left to 2027"}) << lastDay;
    }
    void fourTexts()
    {
        QFETCH(QDateTime, start);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, intervals);
        m_clock->set(start);
        frm_millenium w;
        w.Form_Load();
        QStringList shown{w.lab_time()->text()};
        QList<int> paces{w.Timer1()->interval()};
        QVERIFY(w.Timer1()->isActive());
        for (int i = 1; i < texts.size(); ++i) {
            m_clock->advance(w.Timer1()->interval());
            w.Timer1_Timer();
            shown << w.lab_time()->text();
            paces << w.Timer1()->interval();
        }
        QCOMPARE(shown, texts);
        QCOMPARE(paces, intervals);
        QVERIFY(testing::capturedLines(QStringLiteral("chimewell.agent")).isEmpty());
    }

    void newYearGreeting_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QString>("character");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("1 Jan 2000, the clock's second character")
            << QDateTime(QDate(2000, 1, 1), QTime(9, 0)) << "plany" << "This is 2000"
            << "Happy new year, this is the year two thousand" + kGreetingEnd;
        QTest::newRow("1 Jan 2027, fresh store: Max")
            << QDateTime(QDate(2027, 1, 1), QTime(15, 0)) << "" << "This is 2027"
            << "Happy new year, this is the year 2027" + kGreetingEnd;
        QTest::newRow("over midnight into 2000")
            << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << "plany" << "This is 2000"
            << "Happy new year, this is the year two thousand" + kGreetingEnd;
    }
    void newYearGreeting()
    {
        QFETCH(QDateTime, start);
        QFETCH(QString, character);
        QFETCH(QString, label);
        QFETCH(QString, greeting);
        QVERIFY(m_home->addCharacter(QStringLiteral("max")));
        QVERIFY(m_home->addCharacter(QStringLiteral("plany")));
        if (!character.isEmpty())
            store::setValue(QStringLiteral("Data"), QStringLiteral("LastCharacter2"), character);
        const QString id = character.isEmpty() ? QStringLiteral("Max") : character;
        m_clock->set(start);
        frm_millenium w;
        w.Form_Load();
        if (start.date().month() == 12) {
            QCOMPARE(w.lab_time()->text(), QString()); // the last day's first tick
            m_clock->set(start.addSecs(1));
            w.Timer1_Timer();
        }
        QCOMPARE(w.lab_time()->text(), label);
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.agent")),
                 QStringList({id + " Load " + id + ".acs", id + " Show", id + " Speak " + greeting, id + " Unload"}));
        if (label == QLatin1String("This is 2000")) {
            QVERIFY(!w.Timer1()->isActive()); // no further tick comes
            return;
        }
        // After another New Year's Day the count to the next one goes on tomorrow.
        QVERIFY(w.Timer1()->isActive());
        const int msToMidnight = int(start.msecsTo(QDateTime(start.date().addDays(1), QTime(0, 0))));
        QVERIFY(w.Timer1()->interval() >= msToMidnight && w.Timer1()->interval() < msToMidnight + 1000);
        m_clock->set(QDateTime(start.date().addDays(1), QTime(0, 0, 0, 20)));
        w.Timer1_Timer();
        QCOMPARE(w.lab_time()->text(), QStringLiteral("There are 363"));
        QCOMPARE(w.Timer1()->interval(), 2000);
    }
};

QTEST_MAIN(TestMillenium)
#include "tst_millenium.moc"
