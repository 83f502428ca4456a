#include "addons/date/frm_date.h"

#include "addons/date/datetext.h"
#include "addons/date/speech.h"

#include "agent/speakingcharacter.h"
#include "common/clock.h"
#include "common/platform.h"
#include "common/settingskeys.h"

#include <QLabel>
#include <QTimer>

namespace chimewell::addons {

frm_date::frm_date(QWidget *parent)
    : SideWindow(QStringLiteral("frm_date"), QStringLiteral("lab_date"),
                 {keys::DateLeft, keys::DateTop, keys::DateFore, keys::DateBack, keys::DateStart}, parent)
    , m_timer(new QTimer(this))
    , m_agent(new agent::SpeakingCharacter(QStringLiteral("Agent1"), this))
{
    setWindowTitle(QStringLiteral("Chimewell date"));
    label()->setToolTip(QStringLiteral("Double click me to hear the date or RIGHT click for menu"));
    m_timer->setObjectName(QStringLiteral("Timer1"));
    // Woken once a minute, on the minute: a precise timer, since a coarse one
    // may be seconds late and midnight would show the old date that long.
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &frm_date::Timer1_Timer);
    connect(this, &LabelWindow::labelDoubleClicked, this, &frm_date::lab_date_DblClick);
    // A clock set by hand or a machine waking from sleep may have moved us to
    // another day: look again at once rather than at the stale minute.
    platform::onWallClockChange(this, [this] { Timer1_Timer(); });
}

frm_date::~frm_date() = default;

void frm_date::Form_Load()
{
    // One copy per user is taken care of before any window exists.
    restorePlaceAndColours();
    Timer1_Timer();
    show();
}

void frm_date::Timer1_Timer()
{
    const QDateTime now = Clock::current();
    setText(dateText(now.date()));
    m_timer->start(msUntilNextMinute(now));
}

void frm_date::lab_date_DblClick()
{
    const QString name = agent::SpeakingCharacter::storedName(CharacterSlot::One, QStringLiteral("Max"));
    // A second double click while the first is still talking uses the same
    // character rather than loading it again.
    if (!m_agent->isLoaded() || m_agent->id() != name)
        m_agent->load(name);
    ++m_speaking;
    m_agent->show();
    m_agent->speak(spokenDate(Clock::current().date()));
    const bool going = waitWhileSpeaking(*m_agent, 10);
    --m_speaking;
    if (going && m_speaking == 0)
        m_agent->unload();
}

} // namespace chimewell::addons
