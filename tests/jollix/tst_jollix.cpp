// The comic show: the scripted scene request by request with its waits, the
// random part's arithmetic and its repeatable order, and the stop button.
#include "addons/jollix/frm_fun.h"
#include "addons/jollix/showrules.h"
#include "common/clock.h"
#include "common/screenarea.h"
#include "common/platform_dummy.h"
#include "common/program.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/warnings.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

#include <functional>

using namespace chimewell;
using namespace chimewell::jollix;
using chimewell::testing::TempHome;

namespace {

// A clock that takes no real time and writes each wait into the log among the
// character requests ("wait 6"); it can act at a given wait and ends the
// program after `limit` waits, since the show itself never ends.
class ShowClock final : public Clock
{
public:
    ShowClock() { Clock::install(this); }
    ~ShowClock() override { Clock::install(nullptr); }
    QDateTime now() const override { return m_now; }
    void wait(int ms) override
    {
        m_now = m_now.addMSecs(ms);
        testing::capturedLog() << QStringLiteral("wait: %1").arg(ms / 1000);
        ++waits;
        if (waits == actAt && action)
            action();
        if (waits >= limit)
            endProgram();
        // A show that goes on once ended would never return: fail instead of hanging.
        if (waits > limit + 100)
            qFatal("the show went on after the program ended");
        QCoreApplication::processEvents();
    }
    int waits = 0;
    int limit = 1000;
    int actAt = -1;
    std::function<void()> action;

private:
    QDateTime m_now{QDate(2026, 12, 7), QTime(10, 0)};
};

constexpr int kScenePauses = 8;
constexpr int kSceneLines = 34; // the scene's requests and waits

// The character requests and waits, in order ("genie Show", "wait 10").
QStringList showLog()
{
    QStringList out;
    for (const QString &l : std::as_const(testing::capturedLog())) {
        if (l.startsWith(QLatin1String("chimewell.agent: ")))
            out << l.mid(17);
        else if (l.startsWith(QLatin1String("wait: ")))
            out << QStringLiteral("wait ") + l.mid(6);
    }
    return out;
}

} // namespace

class JollixTest final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempHome> m_home;

    // Loads a fresh show, plays it until `clock` ends it, returns what it asked for.
    QStringList play(ShowClock &clock, std::function<void(frm_fun &)> atWait = {})
    {
        frm_fun show;
        show.Form_Load();
        testing::capturedLog().clear();
        if (atWait)
            clock.action = [&show, atWait] { atWait(show); };
        show.fun();
        const QStringList log = showLog();
        clearEnding();
        return log;
    }

private Q_SLOTS:
    void initTestCase() { testing::startLogCapture(); }

    void init()
    {
        testing::failOnUnexpectedWarnings();
        m_home = std::make_unique<TempHome>();
        platform::dummy::reset();
        platform::dummy::state().programFolder = m_home->programFolder();
        for (const char *id : {"genie", "peedy", "robby", "merlin", "max", "check"})
            QVERIFY(m_home->addCharacter(QLatin1String(id)));
        testing::capturedLog().clear();
    }

    void cleanup()
    {
        clearEnding();
        m_home.reset();
    }

    void scriptedScene()
    {
        ShowClock clock;
        clock.limit = kScenePauses;
        const QStringList log = play(clock);
        const QStringList expected{"genie Show", "peedy Show", "robby Show", "merlin Show", "max Show", "check Show",
                                   "genie MoveTo 0,0", "peedy MoveTo 45,45", "robby MoveTo 60,60",
                                   "merlin MoveTo 150,150", "max MoveTo 200,200", "check MoveTo 250,250", "wait 10",
                                   "peedy Speak Hey Robby!, give me a little room please!", "wait 6",
                                   "robby MoveTo 100,100",
                                   // The test's clock runs ahead of the speech, so each line is still
                                   // going when the next speaker starts: it ends first, one balloon at a time.
                                   "peedy Stop", "robby Speak Sorry Peedy, didnt see you there", "wait 6", "robby Stop",
                                   "genie Speak Hey guys, who is that person watching us?", "wait 7", "genie Stop",
                                   "check Speak I dont know, I think its a friend of max", "wait 5", "check Stop",
                                   "max Speak I dont know that person!", "wait 10", "max Stop",
                                   "merlin Speak Shall we put on a bit of a show!", "wait 7", "merlin Stop",
                                   "peedy Speak Okay, I am game, lets jollix!", "wait 10"};
        QCOMPARE(log, expected);
    }

    // The way out is in full view: no character of the scene, nor its
    // balloon, stands over the button, whatever the screen.
    void buttonClearOfTheCast_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("character");
        QTest::newRow("1280x1024") << QRect(0, 0, 1280, 1024) << QSize(128, 128);
        QTest::newRow("1280x1024 at scale 2 (640x512)") << QRect(0, 0, 640, 512) << QSize(160, 128);
    }
    void buttonClearOfTheCast()
    {
        QFETCH(QRect, area);
        QFETCH(QSize, character);
        const QPoint places[] = {{0, 0}, {45, 45}, {60, 60}, {150, 150}, {200, 200}, {250, 250}, {100, 100}};
        QList<QRect> standing;
        for (const QPoint &p : places)
            standing << QRect(p, character);
        const QRect button(buttonPlace(QSize(135, 23), area, standing), QSize(135, 23));
        QVERIFY(area.contains(button));
        for (const QRect &r : std::as_const(standing))
            QVERIFY2(!screenarea::speakingRoom(r, area).intersects(button),
                     qPrintable(QStringLiteral("%1,%2").arg(r.x()).arg(r.y())));
    }

    // Two runs wander the same way, over the whole screen, in steady steps:
    // a move to a random centre, a gesture or none, a wait of 1 to 11 s.
    void randomPartRepeats()
    {
        constexpr int steps = 40;
        QStringList runs[2];
        for (QStringList &run : runs) {
            ShowClock clock;
            clock.limit = kScenePauses + steps;
            run = play(clock).mid(kSceneLines);
        }
        QCOMPARE(runs[0], runs[1]);
        QCOMPARE(runs[0].filter(QStringLiteral("wait ")).size(), steps);

        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        static const QRegularExpression move(QStringLiteral("^(\\w+) MoveTo (-?\\d+),(-?\\d+)$"));
        static const QRegularExpression gesture(QStringLiteral("^\\w+ Play (Pleased|LookDown|Explain|Greet|Read)$"));
        static const QRegularExpression wait(QStringLiteral("^wait ([1-9]|1[01])$"));
        QSet<QString> performers;
        int gestures = 0;
        for (const QString &line : std::as_const(runs[0])) {
            if (const auto m = move.match(line); m.hasMatch()) {
                performers << m.captured(1);
                // The characters of the test are 128 pixels square.
                const int cx = m.captured(2).toInt() + 64, cy = m.captured(3).toInt() + 64;
                QVERIFY2(cx >= 0 && cx <= screen.width() + 1 && cy >= 0 && cy <= screen.height() + 1, qPrintable(line));
            } else if (gesture.match(line).hasMatch()) {
                ++gestures;
            } else {
                QVERIFY2(wait.match(line).hasMatch(), qPrintable(line));
            }
        }
        QVERIFY(performers.size() >= 4);
        QVERIFY(gestures > steps / 2 && gestures < steps);
    }

    void randomStep_data()
    {
        QTest::addColumn<QList<double>>("draws"); // x, y, who, wait, gesture
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QPoint>("at"); // for a 128 x 96 character
        QTest::addColumn<int>("who");
        QTest::addColumn<int>("wait");
        QTest::addColumn<QString>("gesture");
        QTest::newRow("all draws 0") << QList<double>{0, 0, 0, 0, 0} << QSize(1280, 1024) << QPoint(-64, -48) << 1 << 1
                                     << "Pleased";
        QTest::newRow("screen centre, halves to even")
            << QList<double>{0.5, 0.5, 0.25, 0.75, 0.5} << QSize(1280, 1024) << QPoint(576, 464) << 2 << 8 << "Greet";
        QTest::newRow("far corner of a 4K screen") << QList<double>{0.999, 0.999, 0.999, 0.999, 0.999}
                                                   << QSize(3840, 2160) << QPoint(3772, 2110) << 7 << 11 << "";
        QTest::newRow("beyond 2184 pixels across") << QList<double>{0.75, 0.25, 0.5, 0.1, 0.2} << QSize(5120, 2880)
                                                   << QPoint(3776, 672) << 4 << 2 << "LookDown";
    }
    void randomStep()
    {
        QFETCH(QList<double>, draws);
        QFETCH(QSize, screen);
        QFETCH(QPoint, at);
        QFETCH(int, who);
        QFETCH(int, wait);
        QFETCH(QString, gesture);
        const Step step = stepFrom(Draws{draws[0], draws[1], draws[2], draws[3], draws[4]}, screen);
        QCOMPARE(placeFor(step, QSize(128, 96)), at);
        QCOMPARE(step.who, who);
        QCOMPARE(step.wait, wait);
        QCOMPARE(gestureName(step.gesture), gesture);
    }

    void stopDuringWait_data()
    {
        QTest::addColumn<int>("atWait");
        QTest::addColumn<int>("requestsBefore"); // requests made before that wait began
        QTest::newRow("first wait of the scene") << 1 << 12;
        QTest::newRow("middle of the scene") << 4 << 18;
        QTest::newRow("random part") << kScenePauses + 3 << -1;
    }
    // The button works inside any wait: the clock is started, the show ends
    // at once and asks nothing more of the characters.
    void stopDuringWait()
    {
        QFETCH(int, atWait);
        QFETCH(int, requestsBefore);
        ShowClock clock;
        clock.actAt = atWait;
        const QStringList log = play(clock, [](frm_fun &show) {
            QTest::mouseClick(show.findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        });
        QCOMPARE(clock.waits, atWait);
        QVERIFY(log.last().startsWith(QLatin1String("wait ")));
        if (requestsBefore >= 0)
            QCOMPARE(log.size() - atWait, requestsBefore);
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.launch")),
                 QStringList{"start " + m_home->programFolder() + "/chimewell failed"});
    }

    // A missing character takes no part; the rest of the scene goes on.
    void missingCharacter()
    {
        QVERIFY(QFile::remove(m_home->characterFolder() + QStringLiteral("/robby.acs")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot load robby.acs")));
        ShowClock clock;
        clock.limit = kScenePauses;
        const QStringList log = play(clock);
        QVERIFY(log.filter(QStringLiteral("robby")).isEmpty());
        QCOMPARE(log.filter(QStringLiteral("wait ")).size(), kScenePauses);
        QCOMPARE(log.last(), QStringLiteral("wait 10"));
        QCOMPARE(log.filter(QStringLiteral(" Speak ")).size(), 6);
    }
};

QTEST_MAIN(JollixTest)
#include "tst_jollix.moc"
