#include "saver/frm_saver.h"

#include "common/dialogs.h"
#include "common/pause.h"
#include "common/program.h"
#include "common/screenarea.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"
#include "saver/agentmod.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace chimewell::saver {

namespace {
constexpr int kTwipsPerPixel = 15;

// A whole number of 16 bits, rounded to the nearest.
int toInt16(double value)
{
    return int(std::clamp(std::lround(value), -32768L, 32767L));
}
} // namespace

SaverSwitch commandLineSwitch(const QString &commandLine)
{
    const qsizetype length = commandLine.size();
    if (length < 7)
        return SaverSwitch::Run;
    const QString which = commandLine.mid(length - 7, 2).toLower();
    if (which == QLatin1String("/c"))
        return SaverSwitch::Settings;
    if (which == QLatin1String("/p"))
        return SaverSwitch::Preview;
    return SaverSwitch::Run;
}

const QStringList &gestures()
{
    static const QStringList list{
        QStringLiteral("Congratulate"), QStringLiteral("Confused"), QStringLiteral("Decline"),
        QStringLiteral("DoMagic1"),     QStringLiteral("Explain"),  QStringLiteral("Greet"),
        QStringLiteral("LookDown"),     QStringLiteral("Pleased"),  QStringLiteral("Read"),
    };
    return list;
}

frm_saver::frm_saver(const QString &commandLine, quint32 hostWindow) : m_commandLine(commandLine)
{
    setObjectName(QStringLiteral("frm_saver"));
    setWindowTitle(QStringLiteral("lullscreen"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    connect(&m_timer1, &QTimer::timeout, this, &frm_saver::Timer1_Timer);
    connect(&m_timer2, &QTimer::timeout, this, &frm_saver::Timer2_Timer);
    // The same performance every run: the generator is never seeded from the clock.
    auto generator = std::make_shared<QRandomGenerator>(1u);
    m_random = [generator] { return generator->generateDouble(); };

    if (hostWindow) {
        QString problem;
        m_hosted = embedInWindow(this, hostWindow, &problem);
        if (!m_hosted)
            std::fprintf(stderr, "lullscreen: %s; running in a window of its own\n", qPrintable(problem));
    }
    if (m_hosted)
        return;
    // Above everything, out of the window manager's hands, over every monitor.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint);
    const QScreen *screen = QGuiApplication::primaryScreen();
    setGeometry(screen ? screen->virtualGeometry() : QRect(0, 0, 1024, 768));
    setCursor(Qt::BlankCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Windows that put themselves on top later (a notice, a menu) go under again.
    m_keepOnTop.setInterval(1000);
    connect(&m_keepOnTop, &QTimer::timeout, this, [this] { raise(); });
    m_grabRetry.setSingleShot(true);
    connect(&m_grabRetry, &QTimer::timeout, this, &frm_saver::takeInput);
}

frm_saver::~frm_saver()
{
    // The characters stand in this window: they go before it does.
    m_agent1.unload();
    m_agent2.unload();
    if (m_hosted)
        releaseWindow(this);
}

bool frm_saver::checkcommandline()
{
    switch (commandLineSwitch(m_commandLine)) {
    case SaverSwitch::Settings: {
        const QString title = QGuiApplication::applicationDisplayName();
        dialogs::message(nullptr, title.isEmpty() ? QStringLiteral("Chimewell") : title,
                         QStringLiteral("There are no settings to alter, This screen saver was built by Tesmaro, "
                                        "the author of ")
                             + QLatin1String(kMakerWebSite));
        endProgram();
        return false;
    }
    case SaverSwitch::Preview:
        endProgram();
        return false;
    case SaverSwitch::Run:
        break;
    }
    return true;
}

void frm_saver::loadCharacter(agent::SpeakingCharacter &agent, CharacterSlot slot, const char *effectsKey)
{
    const QString name = agent::SpeakingCharacter::storedName(
        slot, slot == CharacterSlot::One ? QStringLiteral("Genie") : QStringLiteral("Merlin"));
    (slot == CharacterSlot::One ? charName1 : charName2) = name;
    agent.load(name);
    const bool effectsOff = store::value(QLatin1String(keys::Data), QLatin1String(effectsKey), QStringLiteral("False"))
        == QLatin1String("True");
    agent.setSoundEffectsOn(!effectsOff);
}

void frm_saver::Form_Load()
{
    if (!checkcommandline())
        return;
    if (m_hosted) {
        // The daemon's window already covers the screen: perform in it from the start.
        m_agent1.control().setHostWidget(this);
        m_agent2.control().setHostWidget(this);
        show();
    }
    loadCharacter(m_agent1, CharacterSlot::One, keys::effects1);
    placeApart(m_agent1, 1);
    m_agent1.show();
    m_agent1.speak(QStringLiteral("\\emp\\whats happening!"));
    if (const agent::Character *c = m_agent1.character()) {
        homeLeft1 = c->left();
        homeTop1 = c->top();
        m_home1Noted = true;
    }
    loadCharacter(m_agent2, CharacterSlot::Two, keys::effects2);
    placeApart(m_agent2, 2);
    if (!pause(6))
        return;
    m_agent2.show();
    m_agent2.speak(QStringLiteral("There is a screen saver coming on, \\emp\\lets jollix!"));
    if (!pause(3))
        return;
    if (const agent::Character *c = m_agent2.character()) {
        homeLeft2 = c->left();
        homeTop2 = c->top();
        m_home2Noted = true;
    }
    m_timer1.start(9000);
    m_timer2.start(2000);
    animIndex1 = animIndex2 = 1;
    firstMouseX = firstMouseY = 0;
    if (!m_hosted)
        showSaverWindow();
}

void frm_saver::placeApart(agent::SpeakingCharacter &agent, int third)
{
    // Each opens the saver in view, a third of the way across from its own
    // side, rather than both where a new character stands, one over the other.
    agent::Character *c = agent.character();
    if (!c)
        return;
    QRect stage = rect();
    if (!m_hosted) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        stage = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    }
    const QPoint centre(stage.left() + stage.width() * third / 3, stage.center().y());
    const QRect place = screenarea::keptInside(
        QRect(centre - QPoint(c->width() / 2, c->height() / 2), QSize(c->width(), c->height())), stage);
    c->setLeft(place.left());
    c->setTop(place.top());
}

void frm_saver::showSaverWindow()
{
    // The characters come along, at the same places on the screen.
    m_agent1.control().setHostWidget(this);
    m_agent2.control().setHostWidget(this);
    show();
    raise();
    activateWindow();
    setFocus();
    grabKeyboard();
    grabMouse();
    m_grabTries = 0;
    takeInput();
    m_keepOnTop.start();
}

void frm_saver::takeInput()
{
    // The server refuses a grab until the window is on screen: try again shortly.
    QWindow *window = windowHandle();
    const bool taken = window && window->setKeyboardGrabEnabled(true) && window->setMouseGrabEnabled(true);
    if (!taken && ++m_grabTries < 50)
        m_grabRetry.start(100);
}

void frm_saver::Timer1_Timer() { performanceTick(m_agent1, m_timer1, animIndex1); }
void frm_saver::Timer2_Timer() { performanceTick(m_agent2, m_timer2, animIndex2); }

void frm_saver::performanceTick(agent::SpeakingCharacter &agent, QTimer &timer, int &animIndex)
{
    // A random point of the window, in twips, where the character's centre lands.
    const double x = std::round(double(width()) * kTwipsPerPixel * m_random());
    const double y = std::round(double(height()) * kTwipsPerPixel * m_random());
    agent.show();
    if (const agent::Character *c = agent.character())
        agent.moveTo(toInt16(x / kTwipsPerPixel - c->width() / 2.0), toInt16(y / kTwipsPerPixel - c->height() / 2.0));
    const long interval = std::lround(m_random() * 60000);
    if (interval > 0)
        timer.start(int(interval));
    else
        timer.stop(); // this character performs no more
    agent.play(gestures().at(animIndex - 1));
    animIndex = animIndex % int(gestures().size()) + 1;
}

void frm_saver::Form_KeyPress() { endSaver(); }

void frm_saver::Form_MouseMove(int x, int y)
{
    // The first report only says where the pointer is.
    if (firstMouseX == 0 && firstMouseY == 0) {
        firstMouseX = x;
        firstMouseY = y;
        return;
    }
    if (x != firstMouseX || y != firstMouseY)
        endSaver();
}

void frm_saver::endSaver()
{
    if (m_ending)
        return;
    m_ending = true;
    m_timer1.stop();
    m_timer2.stop();
    // Homes were noted on the desktop when this window was not yet shown.
    const auto putBack = [this](agent::SpeakingCharacter &agent, bool noted, int left, int top) {
        agent::Character *c = agent.character();
        if (!c || !noted)
            return;
        QPoint home(left, top);
        if (!m_hosted && agent.control().hostWidget() == this)
            home = mapFromGlobal(home);
        c->setLeft(home.x());
        c->setTop(home.y());
    };
    putBack(m_agent1, m_home1Noted, homeLeft1, homeTop1);
    putBack(m_agent2, m_home2Noted, homeLeft2, homeTop2);
    m_agent1.hide();
    m_agent1.unload();
    m_agent2.hide();
    m_agent2.unload();
    endProgram();
}

void frm_saver::keyPressEvent(QKeyEvent *event)
{
    // Shift, the arrows and the like produce no character and do not end it.
    if (!m_hosted && !event->text().isEmpty())
        Form_KeyPress();
}

void frm_saver::mouseMoveEvent(QMouseEvent *event)
{
    // Only the user's own moves count, not those Qt makes up when a character
    // walks under a pointer that stands still.
    if (!m_hosted && event->spontaneous()) {
        const QPoint p = event->position().toPoint();
        Form_MouseMove(p.x(), p.y());
    }
}

void frm_saver::paintEvent(QPaintEvent *event)
{
    QPainter(this).fillRect(event->rect(), Qt::black);
}

} // namespace chimewell::saver
