// The screen saver's rules: its command line, the window it is asked to draw
// into, the start-up, the performance and what ends it.
#include "saver/agentmod.h"
#include "saver/frm_saver.h"

#include "common/dialogs.h"
#include "common/program.h"
#include "common/settingsstore.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"
#include "tests/support/warnings.h"

#include <QGuiApplication>
#include <QHash>
#include <QMouseEvent>
#include <QTest>

using namespace chimewell;
using saver::frm_saver;
using saver::SaverSwitch;

Q_DECLARE_METATYPE(SaverSwitch)

namespace {

QStringList agentLines() { return testing::capturedLines(QStringLiteral("chimewell.agent")); }

QStringList linesOf(const QString &id, const QString &operation)
{
    QStringList out;
    const QString prefix = id + QLatin1Char(' ') + operation;
    for (const QString &l : agentLines()) {
        if (l.startsWith(prefix))
            out << l;
    }
    return out;
}

// Remembers where a widget was last moved to, also after it is gone.
class MoveRecorder final : public QObject
{
public:
    QHash<QString, QPoint> last;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Move)
            last[watched->objectName()] = static_cast<QWidget *>(watched)->pos();
        return false;
    }
};

} // namespace

class TestSaver final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testing::startLogCapture(); }
    void init()
    {
        testing::failOnUnexpectedWarnings();
        testing::capturedLog().clear();
        dialogs::takeShownMessages();
        clearEnding();
    }
    void cleanup() { clearEnding(); }

    void commandLineSwitch_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<SaverSwitch>("expected");
        QTest::newRow("/p 1234 asks for a preview") << "/p 1234" << SaverSwitch::Preview;
        QTest::newRow("/P 1234 in capitals too") << "/P 1234" << SaverSwitch::Preview;
        QTest::newRow("/p 12345: five digits put p and a blank there") << "/p 12345" << SaverSwitch::Run;
        QTest::newRow("/c:1234 asks for the settings") << "/c:1234" << SaverSwitch::Settings;
        QTest::newRow("/C:1234 in capitals too") << "/C:1234" << SaverSwitch::Settings;
        QTest::newRow("/c alone is too short") << "/c" << SaverSwitch::Run;
        QTest::newRow("/s runs") << "/s" << SaverSwitch::Run;
        QTest::newRow("six characters are too short") << "/p 123" << SaverSwitch::Run;
        QTest::newRow("empty") << "" << SaverSwitch::Run;
        QTest::newRow("a blank") << " " << SaverSwitch::Run;
        QTest::newRow("blanks before count as text") << "      /p 1234" << SaverSwitch::Preview;
        QTest::newRow("blanks after move the place") << "/p 1234 " << SaverSwitch::Run;
        QTest::newRow("a daemon's window id") << "-window-id 0x4a00007" << SaverSwitch::Run;
        QTest::newRow("a long text ending in /c") << QString(5000, QLatin1Char('x')) + "/c:9876" << SaverSwitch::Settings;
    }
    void commandLineSwitch()
    {
        QFETCH(QString, commandLine);
        QFETCH(SaverSwitch, expected);
        QCOMPARE(saver::commandLineSwitch(commandLine), expected);
    }

    void windowRequest_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment"); // "-": not set
        QTest::addColumn<quint32>("window");
        QTest::addColumn<QString>("problem"); // a part of it; empty: none
        QTest::newRow("nothing: a window of its own") << QStringList{} << "-" << 0u << "";
        QTest::newRow("-window-id in hexadecimal") << QStringList{"-window-id", "0x4a00007"} << "-" << 0x4a00007u << "";
        QTest::newRow("--window-id in decimal") << QStringList{"--window-id", "1234"} << "-" << 1234u << "";
        QTest::newRow("the environment's window") << QStringList{"-root"} << "0x2c00001" << 0x2c00001u << "";
        QTest::newRow("-window-id before the environment")
            << QStringList{"-window-id", "77"} << "0x2c00001" << 77u << "";
        QTest::newRow("-window-id with nothing after it") << QStringList{"-window-id"} << "-" << 0u << "needs a window id";
        QTest::newRow("-window-id with letters") << QStringList{"-window-id", "zebra"} << "-" << 0u << "\"zebra\" is not";
        QTest::newRow("-window-id 0 is no window") << QStringList{"-window-id", "0"} << "-" << 0u << "is not a window id";
        QTest::newRow("-window-id beyond 32 bits")
            << QStringList{"-window-id", "0x100000000"} << "-" << 0u << "is not a window id";
        QTest::newRow("-window-id negative") << QStringList{"-window-id", "-5"} << "-" << 0u << "is not a window id";
        QTest::newRow("an empty environment value") << QStringList{} << "" << 0u << "XSCREENSAVER_WINDOW";
        QTest::newRow("a malformed environment value") << QStringList{} << "0xq1" << 0u << "XSCREENSAVER_WINDOW";
        QTest::newRow("-root without the environment") << QStringList{"-root"} << "-" << 0u << "-root needs";
        QTest::newRow("the Part's switches are not window ids") << QStringList{"/p", "1234"} << "-" << 0u << "";
    }
    void windowRequest()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(quint32, window);
        QFETCH(QString, problem);
        const bool set = environment != QLatin1String("-");
        const saver::WindowRequest r = saver::windowRequest(arguments, set ? environment : QString(), set);
        QCOMPARE(r.window, window);
        if (problem.isEmpty())
            QVERIFY2(r.problem.isEmpty(), qPrintable(r.problem));
        else
            QVERIFY2(r.problem.contains(problem), qPrintable(r.problem));
    }

    void commandLineActs_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("message");
        QTest::addColumn<bool>("runs");
        QTest::newRow("/c:1234: the message, then the end") << "/c:1234" << true << false;
        QTest::newRow("/p 1234: the end, nothing shown") << "/p 1234" << false << false;
        QTest::newRow("/s: the saver runs") << "/s" << false << true;
    }
    void commandLineActs()
    {
        QFETCH(QString, commandLine);
        QFETCH(bool, message);
        QFETCH(bool, runs);
        testing::TempHome home;
        testing::TestClock clock;
        QVERIFY(home.addCharacter(QStringLiteral("Genie")));
        QVERIFY(home.addCharacter(QStringLiteral("Merlin")));
        if (message)
            dialogs::setNextAnswer(QMessageBox::Ok);
        frm_saver form(commandLine);
        form.Form_Load();
        const QStringList shown = dialogs::takeShownMessages();
        if (message) {
            QCOMPARE(shown.size(), 1);
            QVERIFY(shown.first().endsWith(QStringLiteral("There are no settings to alter, This screen saver was built "
                                                          "by Tesmaro, the author of ")
                                           + QLatin1String(saver::kMakerWebSite)));
        } else {
            QVERIFY(shown.isEmpty());
        }
        QCOMPARE(isEnding(), !runs);
        QCOMPARE(form.isVisible(), runs);
        QCOMPARE(agentLines().isEmpty(), !runs);
    }

    // Both characters open the saver in full view, side by side, neither hiding the other.
    void charactersStartApart()
    {
        testing::TempHome home;
        testing::TestClock clock;
        QVERIFY(home.addCharacter(QStringLiteral("Genie")));
        QVERIFY(home.addCharacter(QStringLiteral("Merlin")));
        frm_saver form(QString{});
        form.Form_Load();
        const agent::Character *one = form.Agent1().character();
        const agent::Character *two = form.Agent2().character();
        QVERIFY(one && two);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect first(form.mapToGlobal(QPoint(one->left(), one->top())), QSize(one->width(), one->height()));
        const QRect second(form.mapToGlobal(QPoint(two->left(), two->top())), QSize(two->width(), two->height()));
        QVERIFY(screen.contains(first));
        QVERIFY(screen.contains(second));
        QVERIFY(!first.intersects(second));
        QVERIFY(first.left() < second.left());
    }

    void startUp_data()
    {
        QTest::addColumn<QStringList>("stored"); // key=value under Data
        QTest::addColumn<QStringList>("expected");
        const QStringList genie{"Genie Load Genie.acs", "Genie SoundEffectsOn true", "Genie Show",
                                "Genie Speak \\emp\\whats happening!"};
        const QStringList merlin{"Merlin Load Merlin.acs", "Merlin SoundEffectsOn true", "Merlin Show",
                                 "Merlin Speak There is a screen saver coming on, \\emp\\lets jollix!"};
        QTest::newRow("a fresh store: Genie and Merlin with their sounds") << QStringList{} << genie + merlin;
        QTest::newRow("sound effects off for each")
            << QStringList{"effects1=True", "effects2=True"}
            << QStringList{genie[0], "Genie SoundEffectsOn false", genie[2], genie[3], merlin[0],
                           "Merlin SoundEffectsOn false", merlin[2], merlin[3]};
        QTest::newRow("only True turns them off")
            << QStringList{"effects1=true", "effects2=False"} << genie + merlin;
        QTest::newRow("the stored characters")
            << QStringList{"LastCharacter=Merlin", "LastCharacter2=Genie"}
            << QStringList{"Merlin Load Merlin.acs", "Merlin SoundEffectsOn true", "Merlin Show",
                           "Merlin Speak \\emp\\whats happening!", "Genie Load Genie.acs", "Genie SoundEffectsOn true",
                           "Genie Show", "Genie Speak There is a screen saver coming on, \\emp\\lets jollix!"};
        QTest::newRow("names that do not load: the saver runs without them")
            << QStringList{"LastCharacter=nobody", "LastCharacter2=../ghost"}
            << QStringList{"nobody Load nobody.acs", "../ghost Load ../ghost.acs"};
    }
    void startUp()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);
        testing::TempHome home;
        testing::TestClock clock;
        QVERIFY(home.addCharacter(QStringLiteral("Genie")));
        QVERIFY(home.addCharacter(QStringLiteral("Merlin")));
        for (const QString &kv : stored)
            store::setValue(QStringLiteral("Data"), kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
        for (const QString &line : expected) {
            if (!line.startsWith(QLatin1String("Genie")) && !line.startsWith(QLatin1String("Merlin")))
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot load")));
        }
        const QDateTime started = clock.now();
        frm_saver form(QString{});
        form.Form_Load();
        QCOMPARE(agentLines(), expected);
        // The greetings and waits take nine seconds; then the window is shown
        // and the two timers start, at 9 and 2 seconds.
        QCOMPARE(started.msecsTo(clock.now()), 9000);
        QVERIFY(form.isVisible());
        QVERIFY(form.Timer1().isActive());
        QCOMPARE(form.Timer1().interval(), 9000);
        QVERIFY(form.Timer2().isActive());
        QCOMPARE(form.Timer2().interval(), 2000);
        QVERIFY(!isEnding());
        // A tick with nobody loaded does nothing but wait again.
        form.Timer1_Timer();
        form.Timer2_Timer();
        QVERIFY(!isEnding());
    }

    void gesturesInOrder_data()
    {
        QTest::addColumn<int>("timer");
        QTest::addColumn<QString>("id");
        QTest::newRow("Timer1 plays character 1's") << 1 << "Genie";
        QTest::newRow("Timer2 plays character 2's") << 2 << "Merlin";
    }
    void gesturesInOrder()
    {
        QFETCH(int, timer);
        QFETCH(QString, id);
        testing::TempHome home;
        testing::TestClock clock;
        QVERIFY(home.addCharacter(QStringLiteral("Genie")));
        QVERIFY(home.addCharacter(QStringLiteral("Merlin")));
        frm_saver form(QString{});
        form.Form_Load();
        testing::capturedLog().clear();
        for (int i = 0; i < 10; ++i)
            timer == 1 ? form.Timer1_Timer() : form.Timer2_Timer();
        QStringList expected;
        for (const char *g : {"Congratulate", "Confused", "Decline", "DoMagic1", "Explain", "Greet", "LookDown",
                              "Pleased", "Read", "Congratulate"})
            expected << id + QStringLiteral(" Play ") + QLatin1String(g);
        QCOMPARE(linesOf(id, QStringLiteral("Play")), expected);
        // Each tick shows the character and moves it first; the other one is left alone.
        QCOMPARE(linesOf(id, QStringLiteral("Show")).size(), 10);
        QCOMPARE(linesOf(id, QStringLiteral("MoveTo")).size(), 10);
        QCOMPARE(linesOf(id == QLatin1String("Genie") ? QStringLiteral("Merlin") : QStringLiteral("Genie"),
                         QString()),
                 QStringList{});
    }

    void randomPoint_data()
    {
        QTest::addColumn<QList<double>>("draws");
        QTest::addColumn<QPointF>("centre"); // as a share of the window's size
        QTest::addColumn<int>("interval");   // 0: the timer stops
        QTest::newRow("the middle, next in 30 s") << QList<double>{0.5, 0.5, 0.5} << QPointF(0.5, 0.5) << 30000;
        QTest::newRow("the corner: half off the window, next in 15 s")
            << QList<double>{0.0, 0.0, 0.25} << QPointF(0, 0) << 15000;
        QTest::newRow("x from the first draw, y from the second")
            << QList<double>{0.75, 0.25, 0.999999} << QPointF(0.75, 0.25) << 60000;
        QTest::newRow("an interval of 0 stops the timer") << QList<double>{0.5, 0.5, 0.0} << QPointF(0.5, 0.5) << 0;
    }
    void randomPoint()
    {
        QFETCH(QList<double>, draws);
        QFETCH(QPointF, centre);
        QFETCH(int, interval);
        testing::TempHome home;
        testing::TestClock clock;
        QVERIFY(home.addCharacter(QStringLiteral("Genie")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot load")));
        frm_saver form(QString{});
        form.Form_Load();
        testing::capturedLog().clear();
        form.setRandomSource([&draws] { return draws.isEmpty() ? 0.5 : draws.takeFirst(); });
        form.Timer1_Timer();
        QVERIFY(draws.isEmpty());
        // The character (128 x 128) is centred on the point.
        const QPoint expected(qRound(form.width() * centre.x()) - 64, qRound(form.height() * centre.y()) - 64);
        QCOMPARE(linesOf(QStringLiteral("Genie"), QStringLiteral("MoveTo")),
                 QStringList{QStringLiteral("Genie MoveTo %1,%2").arg(expected.x()).arg(expected.y())});
        QCOMPARE(form.Timer1().isActive(), interval > 0);
        if (interval > 0)
            QCOMPARE(form.Timer1().interval(), interval);
    }

    void inputThatEnds_data()
    {
        // key:<character or name>; move:x,y and click:x,y come through the
        // window system as the user's do; report:x,y is the handler's own
        // input (the window system drops reports that do not move);
        // synthetic:x,y is a move Qt makes up itself.
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<bool>("ends");
        QTest::newRow("a letter") << QStringList{"key:a"} << true;
        QTest::newRow("Escape") << QStringList{"key:Escape"} << true;
        QTest::newRow("Shift alone") << QStringList{"key:Shift"} << false;
        QTest::newRow("an arrow") << QStringList{"key:Left"} << false;
        QTest::newRow("the mouse moved by the user") << QStringList{"move:300,200", "move:310,200"} << true;
        QTest::newRow("the first mouse report only notes the place") << QStringList{"move:120,90"} << false;
        QTest::newRow("a click without moving") << QStringList{"move:140,90", "click:140,90"} << false;
        QTest::newRow("moves Qt makes up do not count")
            << QStringList{"move:160,90", "synthetic:170,95", "synthetic:20,20"} << false;
        QTest::newRow("a report at the same place") << QStringList{"report:40,30", "report:40,30"} << false;
        QTest::newRow("one pixel across ends it") << QStringList{"report:40,30", "report:41,30"} << true;
        QTest::newRow("one pixel down ends it") << QStringList{"report:40,30", "report:40,31"} << true;
        QTest::newRow("a report at 0,0 is not noted") << QStringList{"report:0,0", "report:5,5"} << false;
        QTest::newRow("then the next report is") << QStringList{"report:0,0", "report:5,5", "report:6,5"} << true;
    }
    void inputThatEnds()
    {
        QFETCH(QStringList, input);
        QFETCH(bool, ends);
        testing::TempHome home;
        testing::TestClock clock;
        QVERIFY(home.addCharacter(QStringLiteral("Genie")));
        QVERIFY(home.addCharacter(QStringLiteral("Merlin")));
        frm_saver form(QString{});
        form.Form_Load();
        const QPoint home1(form.Agent1().character()->left(), form.Agent1().character()->top());
        const QPoint home2(form.Agent2().character()->left(), form.Agent2().character()->top());
        // Somewhere else, as the performance leaves them.
        form.Agent1().character()->setLeft(10);
        form.Agent2().character()->setTop(20);
        MoveRecorder recorder;
        for (QWidget *w : form.findChildren<QWidget *>(QRegularExpression(QStringLiteral("^agent_character_"))))
            w->installEventFilter(&recorder);
        testing::capturedLog().clear();

        for (const QString &step : input) {
            const QString what = step.section(QLatin1Char(':'), 0, 0);
            const QString arg = step.section(QLatin1Char(':'), 1);
            const QPoint at(arg.section(QLatin1Char(','), 0, 0).toInt(), arg.section(QLatin1Char(','), 1).toInt());
            if (what == QLatin1String("key") && arg.size() == 1)
                QTest::keyClick(&form, arg.at(0).toLatin1());
            else if (what == QLatin1String("key"))
                QTest::keyClick(&form, arg == QLatin1String("Shift") ? Qt::Key_Shift
                                     : arg == QLatin1String("Left") ? Qt::Key_Left
                                                                    : Qt::Key_Escape);
            else if (what == QLatin1String("move"))
                QTest::mouseMove(form.windowHandle(), at);
            else if (what == QLatin1String("click"))
                QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, at);
            else if (what == QLatin1String("report"))
                form.Form_MouseMove(at.x(), at.y());
            else {
                QMouseEvent made(QEvent::MouseMove, at, form.mapToGlobal(at), Qt::NoButton, {}, {});
                QCoreApplication::sendEvent(&form, &made);
            }
        }

        QCOMPARE(isEnding(), ends);
        if (!ends) {
            QCOMPARE(agentLines(), QStringList{});
            return;
        }
        // Both back where they first appeared, then hidden and unloaded.
        QCOMPARE(recorder.last.value(QStringLiteral("agent_character_Genie")), home1);
        QCOMPARE(recorder.last.value(QStringLiteral("agent_character_Merlin")), home2);
        QCOMPARE(agentLines(), (QStringList{"Genie Hide", "Genie Unload", "Merlin Hide", "Merlin Unload"}));
        QVERIFY(!form.Agent1().isLoaded());
        QVERIFY(!form.Agent2().isLoaded());
    }
};

QTEST_MAIN(TestSaver)
#include "tst_saver.moc"
