#include "addons/jollix/frm_fun.h"

#include "addons/jollix/showrules.h"
#include "common/clock.h"
#include "common/launcher.h"
#include "common/pause.h"
#include "common/program.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace chimewell::jollix {

namespace {

enum Member { Genie, Peedy, Robby, Merlin, Max, Check };
const char *const kCast[kCastSize] = {"genie", "peedy", "robby", "merlin", "max", "check"};

// The scripted scene after everyone has come on: who speaks (or walks, when
// `speech` is empty), then how many seconds pass before the next line.
struct Cue
{
    Member who;
    const char *speech;
    QPoint walkTo;
    int waitAfter;
};
const Cue kScene[] = {
    {Peedy, "Hey Robby!, give me a little room please!", {}, 6},
    {Robby, nullptr, {100, 100}, 0},
    {Robby, "Sorry Peedy, didnt see you there", {}, 6},
    {Genie, "Hey guys, who is that person watching us?", {}, 7},
    {Check, "I dont know, I think its a friend of max", {}, 5},
    {Max, "I dont know that person!", {}, 10},
    {Merlin, "Shall we put on a bit of a show!", {}, 7},
    {Peedy, "Okay, I am game, lets jollix!", {}, 10},
};
const QPoint kEntrances[kCastSize] = {{0, 0}, {45, 45}, {60, 60}, {150, 150}, {200, 200}, {250, 250}};
// How long a balloon stays after its line.
constexpr int kBalloonStayMs = 1600;

} // namespace

frm_fun::frm_fun(QWidget *parent) : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frm_fun"));
    setWindowTitle(QStringLiteral("Jollix"));
    Command1 = new QPushButton(QStringLiteral("CLICK HERE TO STOP"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Command1);
    // About 2025 x 345 twips, wider only when the caption needs it; centred
    // until the cast is known (placeButton).
    resize(QSize(2025 / kTwipsPerPixel, 345 / kTwipsPerPixel).expandedTo(minimumSizeHint()));
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    for (int i = 0; i < kCastSize; ++i)
        m_cast[size_t(i)] = new agent::SpeakingCharacter(QStringLiteral("Agent%1").arg(i + 1), this);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &frm_fun::Timer1_Timer);
    connect(Command1, &QPushButton::clicked, this, &frm_fun::Command1_Click);
}

frm_fun::~frm_fun() = default;

void frm_fun::Form_Load()
{
    // A character whose file is missing takes no part; the others play on.
    for (int i = 0; i < kCastSize; ++i)
        m_cast[size_t(i)]->load(QLatin1String(kCast[i]));
    placeButton();
    show();
    Timer1.start(1000);
}

void frm_fun::Timer1_Timer()
{
    Timer1.stop();
    fun();
}

void frm_fun::Command1_Click()
{
    if (m_ending)
        return;
    m_ending = true;
    // The program ends also when the clock cannot be started.
    startShipped(QStringLiteral("chimewell"));
    endProgram();
}

void frm_fun::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!isEnding())
        Command1_Click();
}

void frm_fun::fun()
{
    if (scene())
        wander();
}

void frm_fun::placeButton()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Everyone where the scene puts them.
    QList<QRect> standing;
    const auto stand = [&](int member, const QPoint &at) {
        if (const agent::Character *c = m_cast[size_t(member)]->character())
            standing << QRect(at, QSize(c->width(), c->height()));
    };
    for (int i = 0; i < kCastSize; ++i)
        stand(i, kEntrances[i]);
    for (const Cue &cue : kScene) {
        if (!cue.speech)
            stand(cue.who, cue.walkTo);
    }
    move(buttonPlace(size(), screen->availableGeometry(), standing));
}

void frm_fun::speakAlone(agent::SpeakingCharacter &c, const QString &text)
{
    // The script keeps its own time: a line still going, or a balloon still
    // up after it, ends as the next speaker starts.
    const bool balloonUp =
        m_lastSpeech || (m_lastSpoken.isValid() && m_lastSpoken.msecsTo(Clock::current()) < kBalloonStayMs);
    if (m_lastSpeaker && m_lastSpeaker != &c && balloonUp)
        m_lastSpeaker->stop();
    QObject::disconnect(m_speechDone);
    m_lastSpeaker = &c;
    m_lastSpoken = QDateTime();
    m_lastSpeech = c.speak(text);
    if (const agent::Character *ch = c.character(); ch && m_lastSpeech) {
        m_speechDone = connect(ch, &agent::Character::requestComplete, this, [this](int id, bool) {
            if (id != m_lastSpeech)
                return;
            m_lastSpeech = 0;
            m_lastSpoken = Clock::current();
        });
    }
}

bool frm_fun::scene()
{
    for (agent::SpeakingCharacter *c : m_cast)
        c->show();
    for (int i = 0; i < kCastSize; ++i)
        m_cast[size_t(i)]->moveTo(kEntrances[i].x(), kEntrances[i].y());
    if (!pause(10))
        return false;
    for (const Cue &cue : kScene) {
        agent::SpeakingCharacter &c = *m_cast[size_t(cue.who)];
        if (cue.speech)
            speakAlone(c, QString::fromUtf8(cue.speech));
        else
            c.moveTo(cue.walkTo.x(), cue.walkTo.y());
        if (cue.waitAfter > 0 && !pause(cue.waitAfter))
            return false;
    }
    return true;
}

void frm_fun::wander()
{
    for (;;) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QSize pixels = screen ? screen->geometry().size() : QSize(800, 600);
        Draws draws{};
        // Five draws a step, in this order, whatever the step then does.
        draws.x = m_random.generateDouble();
        draws.y = m_random.generateDouble();
        draws.who = m_random.generateDouble();
        draws.wait = m_random.generateDouble();
        draws.gesture = m_random.generateDouble();
        const Step step = stepFrom(draws, pixels);
        if (step.who >= 1 && step.who <= kCastSize)
            m_performer = step.who;
        // Before the first choice (a first draw of 7) nobody performs.
        if (m_performer > 0) {
            agent::SpeakingCharacter &c = *m_cast[size_t(m_performer - 1)];
            if (const agent::Character *ch = c.character()) {
                const QPoint at = placeFor(step, QSize(ch->width(), ch->height()));
                c.moveTo(at.x(), at.y());
            }
            const QString gesture = gestureName(step.gesture);
            if (!gesture.isEmpty())
                c.play(gesture);
        }
        // The characters stand above other windows; keep the way out in reach.
        raise();
        if (!pause(step.wait))
            return;
    }
}

} // namespace chimewell::jollix
