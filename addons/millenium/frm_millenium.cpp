#include "addons/millenium/frm_millenium.h"

#include "addons/date/speech.h"

#include "agent/speakingcharacter.h"
#include "common/clock.h"
#include "common/settingskeys.h"

#include <QLabel>
#include <QTimer>

namespace chimewell::addons {

frm_millenium::frm_millenium(QWidget *parent)
    : SideWindow(QStringLiteral("frm_millenium"), QStringLiteral("lab_time"),
                 {keys::MilleniumLeft, keys::MilleniumTop, keys::MilleniumFore, keys::MilleniumBack,
                  keys::MilleniumStart},
                 parent)
    , m_timer(new QTimer(this))
    , m_agent(new agent::SpeakingCharacter(QStringLiteral("Agent1"), this))
{
    setWindowTitle(QStringLiteral("Chimewell countdown"));
    label()->setToolTip(QStringLiteral("This is the millenium count down"));
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(Countdown::kInterval);
    connect(m_timer, &QTimer::timeout, this, &frm_millenium::Timer1_Timer);
}

frm_millenium::~frm_millenium() = default;

void frm_millenium::Form_Load()
{
    // One copy per user is taken care of before any window exists.
    restorePlaceAndColours();
    show();
    // The first text at once: an empty box for two seconds looks broken.
    m_timer->start();
    Timer1_Timer();
}

void frm_millenium::Timer1_Timer()
{
    const Countdown::Step step = m_countdown.tick(Clock::current());
    if (step.text)
        setText(*step.text);
    if (step.interval <= 0)
        m_timer->stop();
    else if (step.interval != m_timer->interval())
        m_timer->start(step.interval);
    if (step.greetYear)
        greet(step.greetYear);
}

void frm_millenium::greet(int year)
{
    m_agent->load(agent::SpeakingCharacter::storedName(CharacterSlot::Two, QStringLiteral("Max")));
    m_agent->show();
    m_agent->speak(newYearGreeting(year));
    // Unloaded once the greeting has been heard, not straight after asking for it.
    if (waitWhileSpeaking(*m_agent, 0))
        m_agent->unload();
}

} // namespace chimewell::addons
