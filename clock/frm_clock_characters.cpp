// The clock window's side of speech and the characters: what the tick makes
// them do, and what they need of the window.
#include "clock/frm_clock.h"

#include "characters/clockcharacters.h"
#include "common/log.h"
#include "common/program.h"

namespace chimewell::clockcore {

void frm_clock::saytime()
{
    qCInfo(lcClock) << "saytime";
    m_characters->saytime();
}

void frm_clock::alarmclock(const QString &a)
{
    qCInfo(lcClock).noquote() << "alarmclock" << a;
    m_characters->alarmclock(a);
}

void frm_clock::showClock()
{
    Form_Load();
    show();
}

void frm_clock::checkboxes()
{
    charactersComing();
    m_characters->checkboxes();
}

QRect frm_clock::geometryTwips() const
{
    const QRect g = frameGeometry();
    return QRect(g.topLeft() * kTwipsPerPixel, g.size() * kTwipsPerPixel);
}

void frm_clock::endProgram()
{
    // The tray icon goes with the program's end.
    unloadTray();
    chimewell::endProgram();
}

} // namespace chimewell::clockcore
