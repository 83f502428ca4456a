// The character windows on a real X server (run under Xvfb with a window manager).
#include "agent/agent.h"
#include "acsbuilder.h"
#include "tests/support/widgets.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

using namespace chimewell::agent;

namespace {
using chimewell::testing::topLevel;

// A plain window of one colour, for the characters to stand in front of.
class Backdrop final : public QWidget
{
public:
    Backdrop()
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor(255, 0, 255));
        setPalette(p);
    }
};

bool near(const QColor &a, const QColor &b, int tolerance = 24)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}
} // namespace

class TestAgentX11 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void windowIsAToolWindowAboveOthers();
    void drawnWithTheRestSeeThrough();
    void dragMovesAndReportsOnce();
    void clickWithoutMovingIsNoDrag();
    void rightClickMenuRaisesCommand();
    void balloonShowsWordsAndGoes();
    void stopTakesTheBalloonAtOnce();

private:
    Character *loadShown(int x, int y);
    QTemporaryDir m_home;
    std::unique_ptr<AgentControl> m_control;
};

void TestAgentX11::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    const QString folder = m_home.filePath(QStringLiteral("data/chimewell/chars"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(!test::TestCharacter(64, 20).write(folder, QStringLiteral("testy.acs")).isEmpty());
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
}

void TestAgentX11::init()
{
    // Any warning fails the test unless the test expects it (ignoreMessage) or it is
    // the platform or the audio system saying what this machine lacks.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support|PulseAudioService|pa_context|QAudio|ALSA).*")));
    m_control = std::make_unique<AgentControl>();
}
void TestAgentX11::cleanup() { m_control.reset(); }

Character *TestAgentX11::loadShown(int x, int y)
{
    if (!m_control->characters().load(QStringLiteral("max"), QStringLiteral("testy")))
        return nullptr;
    Character *c = m_control->characters().character(QStringLiteral("max"));
    c->moveTo(x, y, 0);
    c->show(true);
    QWidget *w = nullptr;
    if (!QTest::qWaitFor([&] { return (w = topLevel(QStringLiteral("agent_character_max"))) && w->isVisible(); }, 5000))
        return nullptr;
    if (!QTest::qWaitForWindowExposed(w))
        return nullptr;
    return c;
}

void TestAgentX11::windowIsAToolWindowAboveOthers()
{
    Character *c = loadShown(200, 200);
    QVERIFY(c);
    QWidget *w = topLevel(QStringLiteral("agent_character_max"));
    const Qt::WindowFlags f = w->windowFlags();
    QVERIFY(f & Qt::FramelessWindowHint);
    QVERIFY(f & Qt::WindowStaysOnTopHint);
    QVERIFY((f & Qt::Tool) == Qt::Tool);
    QVERIFY(f & Qt::WindowDoesNotAcceptFocus);
    QVERIFY(w->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(w->testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(w->size(), QSize(64, 64));
    QTRY_COMPARE(w->pos(), QPoint(200, 200));
}

void TestAgentX11::drawnWithTheRestSeeThrough()
{
    Backdrop backdrop;
    backdrop.setGeometry(100, 100, 300, 300);
    backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
    Character *c = loadShown(200, 200);
    QVERIFY(c);
    QScreen *screen = QGuiApplication::primaryScreen();
    QImage shot;
    // The window manager and the server need a moment before the pixels are there.
    const bool drawn = QTest::qWaitFor([&] {
        shot = screen->grabWindow(0).toImage();
        return near(shot.pixelColor(232, 232), QColor(200, 30, 30));
    }, 5000);
    QVERIFY2(drawn, qPrintable(shot.pixelColor(232, 232).name()));
    // The frame's corners are transparent: the backdrop shows through there.
    QVERIFY2(near(shot.pixelColor(202, 202), QColor(255, 0, 255)), qPrintable(shot.pixelColor(202, 202).name()));
    QVERIFY2(near(shot.pixelColor(261, 261), QColor(255, 0, 255)), qPrintable(shot.pixelColor(261, 261).name()));
    QVERIFY(near(shot.pixelColor(190, 190), QColor(255, 0, 255)));
}

void TestAgentX11::dragMovesAndReportsOnce()
{
    Character *c = loadShown(300, 300);
    QVERIFY(c);
    QWidget *w = topLevel(QStringLiteral("agent_character_max"));
    QSignalSpy drag(m_control.get(), &AgentControl::dragComplete);
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(32, 32));
    QTest::mouseMove(w, QPoint(82, 72));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(82, 72));
    QTRY_COMPARE(drag.count(), 1);
    QCOMPARE(drag.at(0).at(0).toString(), QStringLiteral("max"));
    QCOMPARE(drag.at(0).at(1).toInt(), 1);
    QTRY_COMPARE(QPoint(c->left(), c->top()), QPoint(350, 340));
}

void TestAgentX11::clickWithoutMovingIsNoDrag()
{
    Character *c = loadShown(300, 300);
    QVERIFY(c);
    QWidget *w = topLevel(QStringLiteral("agent_character_max"));
    QSignalSpy drag(m_control.get(), &AgentControl::dragComplete);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(32, 32));
    QTest::qWait(100);
    QCOMPARE(drag.count(), 0);
    QCOMPARE(QPoint(c->left(), c->top()), QPoint(300, 300));
}

void TestAgentX11::rightClickMenuRaisesCommand()
{
    Character *c = loadShown(300, 300);
    QVERIFY(c);
    QVERIFY(c->commands().add(QStringLiteral("time"), QStringLiteral("What &time is it?"), QStringLiteral("[what] time")));
    QVERIFY(c->commands().add(QStringLiteral("secret"), QStringLiteral("Secret"), QString(), true, false));
    QVERIFY(c->commands().add(QStringLiteral("off"), QStringLiteral("Not now"), QString(), false, true));
    QVERIFY(!c->commands().add(QStringLiteral("time"), QStringLiteral("Twice")));
    QSignalSpy command(m_control.get(), &AgentControl::command);
    QWidget *w = topLevel(QStringLiteral("agent_character_max"));
    QTest::mouseClick(w, Qt::RightButton, {}, QPoint(32, 32));
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
    QStringList texts;
    for (QAction *a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(texts, (QStringList{QStringLiteral("What &time is it?"), QStringLiteral("Not now"), QStringLiteral("-"),
                                 QStringLiteral("Listen"), QStringLiteral("Open Commands Window"), QStringLiteral("Options..."), QStringLiteral("Hide")}));
    QVERIFY(!menu->actions().at(1)->isEnabled());
    menu->actions().at(0)->trigger();
    menu->close();
    // The choice is handled once the menu's own handling is over, never inside it.
    QCOMPARE(command.count(), 0);
    QTRY_COMPARE(command.count(), 1);
    const auto input = command.at(0).at(0).value<UserInput>();
    QCOMPARE(input.Name, QStringLiteral("time"));
    QCOMPARE(input.CharacterID, QStringLiteral("max"));

    // The service's own "Hide" hides the character.
    QTest::mouseClick(w, Qt::RightButton, {}, QPoint(32, 32));
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
    menu->actions().last()->trigger();
    menu->close();
    QTRY_VERIFY(!c->isVisible());
}

void TestAgentX11::balloonShowsWordsAndGoes()
{
    Character *c = loadShown(400, 500);
    QVERIFY(c);
    QSignalSpy done(c, &Character::requestComplete);
    const int speech = c->speak(QStringLiteral("Hello there \\emp\\world"));
    QWidget *balloon = nullptr;
    QTRY_VERIFY((balloon = topLevel(QStringLiteral("agent_balloon_max"))) && balloon->isVisible());
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(avail.contains(balloon->geometry()));
    // Above the character, and level with it.
    QVERIFY(balloon->geometry().bottom() <= 500 + 8);
    QVERIFY(balloon->geometry().left() < 464 && balloon->geometry().right() > 400);
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty() && done.last().at(0).toInt() == speech, 10000);
    QVERIFY(balloon->isVisible()); // it lingers a moment
    QTRY_VERIFY_WITH_TIMEOUT(!balloon->isVisible(), 4000);
}

void TestAgentX11::stopTakesTheBalloonAtOnce()
{
    Character *c = loadShown(0, 0); // no room above: the balloon goes below
    QVERIFY(c);
    c->speak(QStringLiteral("one two three four five six seven eight nine ten"));
    QWidget *balloon = nullptr;
    QTRY_VERIFY((balloon = topLevel(QStringLiteral("agent_balloon_max"))) && balloon->isVisible());
    QVERIFY(balloon->geometry().top() >= 48); // below the 64 px character
    c->stop();
    QVERIFY(!balloon->isVisible());
}

QTEST_MAIN(TestAgentX11)
#include "tst_agentx11.moc"
