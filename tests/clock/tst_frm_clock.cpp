#include "clock/frm_clock.h"

#include "common/clock.h"
#include "tests/support/testclock.h"
#include "common/settingsstore.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QScreen>
#include <QTest>

using namespace chimewell;
using chimewell::testing::TestClock;
using clockcore::frm_clock;

namespace {

QStringList &g_log = testing::capturedLog();

void set(const char *key, const QString &value) { store::setValue(QStringLiteral("Data"), QLatin1String(key), value); }

QStringList clockLines()
{
    QStringList out;
    for (const QString &l : std::as_const(g_log)) {
        if (l.startsWith(QLatin1String("chimewell.clock")) || l.startsWith(QLatin1String("chimewell.launch")))
            out << l;
    }
    return out;
}

} // namespace

class TestFrmClock final : public QObject
{
    Q_OBJECT
private:
    testing::TempHome *m_home = nullptr;
    TestClock *m_clock = nullptr;

    // A clock window loaded at `start`, its start-up minute already over.
    std::unique_ptr<frm_clock> running(const QTime &start)
    {
        m_clock->set(start);
        auto w = std::make_unique<frm_clock>();
        w->Form_Load();
        m_clock->set(start.addSecs(60 - start.second()));
        w->clock_Timer(); // the first new minute (includes the 2 s pause)
        return w;
    }

private Q_SLOTS:
    void initTestCase()
    {
        testing::startLogCapture();
    }

    void init()
    {
        m_home = new testing::TempHome;
        m_clock = new TestClock(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 30)));
        g_log.clear();
    }

    void cleanup()
    {
        delete m_clock;
        delete m_home;
    }

    void defaultsOnAnEmptyStore()
    {
        frm_clock w;
        w.Form_Load();
        QCOMPARE(w.pos(), QPoint(133, 133)); // 2000 twips
        QCOMPARE(w.size(), QSize(112, 35));   // 1680 x 525 twips
        QCOMPARE(w.lab_time()->text(), QStringLiteral("10:00am"));
        QCOMPARE(w.lab_time()->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(w.lab_time()->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(w.lab_time()->font().family(), QStringLiteral("Arial"));
        QCOMPARE(w.lab_time()->font().pointSize(), 18);
        // Simple mode hides three entries.
        for (const char *hidden : {"mnu_chcharacters", "mnu_jollix", "mnu_colours"})
            QVERIFY2(!w.menuEntry(QLatin1String(hidden))->isVisible(), hidden);
        QVERIFY(w.menuEntry(QStringLiteral("mnu_showdate"))->isVisible());
        QVERIFY(w.waitingForMinute());
        QCOMPARE(w.tickInterval(), 1000);
    }

    void storedLayout()
    {
        set("FormX", QStringLiteral("3000"));
        set("FormY", QStringLiteral("1500"));
        set("ForeColour", QStringLiteral("255"));      // red
        set("BackColour", QStringLiteral("65535"));    // yellow
        set("mode", QStringLiteral("advanced"));
        store::setValue(QStringLiteral("data"), QStringLiteral("format"), QStringLiteral("0"));
        m_clock->set(QTime(9, 5));
        frm_clock w;
        w.Form_Load();
        QCOMPARE(w.pos(), QPoint(200, 100));
        QCOMPARE(w.size(), QSize(112, 50)); // 1680 x 750 twips
        QCOMPARE(w.lab_time()->font().pointSize(), 28);
        QCOMPARE(w.lab_time()->text(), QStringLiteral("09:05"));
        QCOMPARE(w.lab_time()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(w.lab_time()->palette().color(QPalette::Window), QColor(255, 255, 0));
        QVERIFY(w.menuEntry(QStringLiteral("mnu_jollix"))->isVisible());
    }

    // Places in pixels on the tests' one screen; the clock is 112 x 35.
    void storedPlaceOffTheScreen_data()
    {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        const int w = screen.width(), h = screen.height();
        QTest::addColumn<double>("formX");
        QTest::addColumn<double>("formY");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("beyond the right edge: the left edge") << w * 15.0 + 1 << 1500.0 << QPoint(0, 100);
        QTest::newRow("beyond the bottom edge: the top") << 1500.0 << h * 15.0 + 1 << QPoint(100, 0);
        QTest::newRow("at the right edge: back in view") << w * 15.0 << 1500.0 << QPoint(w - 112, 100);
        QTest::newRow("11 px in view: back in view") << (w - 11) * 15.0 << 1500.0 << QPoint(w - 112, 100);
        QTest::newRow("at the bottom edge: back in view") << 1500.0 << h * 15.0 << QPoint(100, h - 35);
        QTest::newRow("half in view stays") << -56 * 15.0 << 1500.0 << QPoint(-56, 100);
        QTest::newRow("mostly off the left: back in view") << -3000.0 << 1500.0 << QPoint(0, 100);
        QTest::newRow("far off the upper left") << -99999999.0 << -1e300 << QPoint(0, 0);
    }
    void storedPlaceOffTheScreen()
    {
        QFETCH(double, formX);
        QFETCH(double, formY);
        QFETCH(QPoint, place);
        set("FormX", QString::number(formX, 'g', 17));
        set("FormY", QString::number(formY, 'g', 17));
        frm_clock w;
        w.Form_Load();
        QCOMPARE(w.pos(), place);
    }

    void menuTree()
    {
        frm_clock w;
        const QStringList top{QStringLiteral("Characters"), QString(), QStringLiteral("Add On's and FUN"), QString(),
                              QStringLiteral("Clock options"), QString(), QStringLiteral("Main Options"), QString(),
                              QStringLiteral("About Chimewell"), QString(), QStringLiteral("Exit")};
        QStringList captions;
        for (QAction *a : w.mnu_settings()->actions())
            captions << (a->isSeparator() ? QString() : a->text());
        QCOMPARE(captions, top);
        QCOMPARE(w.menuEntry(QStringLiteral("mnu_tands"))->text(), QStringLiteral("Type and Speak !"));
        QCOMPARE(w.menuEntry(QStringLiteral("hyp999"))->isSeparator(), true);
    }

    void startupMinuteThenRunning()
    {
        m_clock->set(QTime(10, 0, 30));
        frm_clock w;
        w.Form_Load();
        w.lab_time()->setText(QStringLiteral("unchanged"));
        m_clock->set(QTime(10, 0, 59));
        w.clock_Timer();
        QCOMPARE(w.lab_time()->text(), QStringLiteral("unchanged"));
        QVERIFY(w.waitingForMinute());
        QVERIFY(clockLines().isEmpty());

        m_clock->set(QTime(10, 1, 0));
        w.clock_Timer();
        QVERIFY(!w.waitingForMinute());
        QCOMPARE(w.lab_time()->text(), QStringLiteral("10:01am"));
        // After the 2 s pause the next tick is due 2 s into the next minute.
        QCOMPARE(w.tickInterval(), 60000);
        QCOMPARE(m_clock->now().time(), QTime(10, 1, 2));
    }

    void announcing()
    {
        set("Announce", QStringLiteral("15"));
        auto w = running(QTime(9, 59, 30)); // handles 10:00
        QCOMPARE(clockLines(), QStringList{QStringLiteral("chimewell.clock: saytime")});
        g_log.clear();
        QStringList saidAt;
        for (int m = 1; m <= 60; ++m) {
            m_clock->set(QTime(10, 0, 2).addSecs(60 * m));
            w->clock_Timer();
            if (clockLines().size() > saidAt.size())
                saidAt << w->lab_time()->text();
        }
        QCOMPARE(saidAt, (QStringList{QStringLiteral("10:15am"), QStringLiteral("10:30am"), QStringLiteral("10:45am"),
                                      QStringLiteral("11:00am")}));
    }

    void garbageAnnounceIsOff()
    {
        set("Announce", QStringLiteral("abc"));
        auto w = running(QTime(9, 59, 30));
        QVERIFY(clockLines().isEmpty());
    }

    void alarmInTheStartMinuteDoesNotRing()
    {
        set("AlarmTime1", QStringLiteral("1000"));
        set("Announce", QStringLiteral("0"));
        m_clock->set(QTime(10, 0, 10));
        frm_clock w;
        w.Form_Load();
        for (int s = 11; s < 60; s += 10) {
            m_clock->set(QTime(10, 0, s));
            w.clock_Timer();
        }
        m_clock->set(QTime(10, 1, 0));
        w.clock_Timer();
        QVERIFY(clockLines().isEmpty());
    }

    void bothAlarmsInOrder()
    {
        set("Announce", QStringLiteral("0"));
        set("AlarmTime1", QStringLiteral("0730"));
        set("AlarmTime2", QStringLiteral("0730"));
        set("Launch1", QStringLiteral("/nonexistent/wake-up"));
        auto w = running(QTime(7, 29, 40));
        QCOMPARE(clockLines(), (QStringList{QStringLiteral("chimewell.clock: alarmclock genie"),
                                            QStringLiteral("chimewell.launch: start /nonexistent/wake-up failed"),
                                            QStringLiteral("chimewell.clock: alarmclock peedy")}));
        // Daily by default: still set.
        QCOMPARE(store::value(QStringLiteral("Data"), QStringLiteral("AlarmTime1")), QStringLiteral("0730"));
    }

    void oneTimeAlarm()
    {
        set("Announce", QStringLiteral("0"));
        set("AlarmTime2", QStringLiteral("0730"));
        set("Repeat2", QStringLiteral("False"));
        set("Launch2", QStringLiteral("/bin/true"));
        auto w = running(QTime(7, 29, 40));
        QCOMPARE(clockLines(), (QStringList{QStringLiteral("chimewell.clock: alarmclock peedy"),
                                            QStringLiteral("chimewell.launch: start /bin/true ok")}));
        QCOMPARE(store::value(QStringLiteral("Data"), QStringLiteral("AlarmTime2")), QStringLiteral("9999"));
        // The next day it stays quiet.
        g_log.clear();
        m_clock->set(m_clock->now().addDays(1));
        w->clock_Timer();
        QVERIFY(clockLines().isEmpty());
    }

    void clockSetForwardRingsTheSkippedAlarm()
    {
        set("Announce", QStringLiteral("1"));
        set("AlarmTime1", QStringLiteral("1020"));
        auto w = running(QTime(9, 59, 30)); // 10:00
        g_log.clear();
        m_clock->set(QTime(10, 30, 2));
        w->clock_Timer();
        // Minutes 10:01 to 10:30 are handled: the alarm rings, the time is said once.
        QCOMPARE(clockLines(), (QStringList{QStringLiteral("chimewell.clock: alarmclock genie"),
                                            QStringLiteral("chimewell.clock: saytime")}));
        QCOMPARE(w->lab_time()->text(), QStringLiteral("10:30am"));
    }

    void clockSetBackRingsNothingTwice()
    {
        set("Announce", QStringLiteral("1"));
        set("AlarmTime1", QStringLiteral("1000"));
        auto w = running(QTime(9, 59, 30)); // 10:00 rings
        QCOMPARE(clockLines().size(), 2);
        g_log.clear();
        m_clock->set(QTime(10, 0, 40));
        w->clock_Timer();
        m_clock->set(QTime(9, 59, 58));
        w->clock_Timer();
        m_clock->set(QTime(10, 0, 3));
        w->clock_Timer();
        QVERIFY(clockLines().isEmpty());
    }

    void minimisedClockHidesAtStart()
    {
        set("minimise", QStringLiteral("True"));
        frm_clock w;
        w.Form_Load();
        w.show();
        w.clock_Timer();
        QVERIFY(!w.isVisible());
    }

    void garbageInEveryKey_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("-1") << "-1";
        QTest::newRow("1e308") << "1e308";
        QTest::newRow("10000 characters") << QString(10000, QLatin1Char('9'));
        QTest::newRow("control characters") << QString::fromUtf8("\x01\x02\xc3\xa9\n\t=[]");
    }
    void garbageInEveryKey()
    {
        QFETCH(QString, value);
        for (const char *key : {"FormX", "FormY", "ForeColour", "BackColour", "mode", "minimise", "Announce",
                                "AlarmTime1", "AlarmTime2", "Repeat1", "Repeat2", "DateStart", "MilleniumStart"})
            set(key, value);
        store::setValue(QStringLiteral("data"), QStringLiteral("format"), value);
        auto w = running(QTime(9, 59, 30));
        for (int m = 1; m <= 3; ++m) {
            m_clock->set(QTime(10, m, 2));
            w->clock_Timer();
        }
        QVERIFY(!w->lab_time()->text().isEmpty());
        QCOMPARE(w->tickInterval(), 60000);
    }
};

QTEST_MAIN(TestFrmClock)
#include "tst_frm_clock.moc"
