#pragma once

#include "addons/date/sidewindow.h"
#include "addons/millenium/countdown.h"

class QLabel;
class QTimer;

namespace chimewell::agent {
class SpeakingCharacter;
}

namespace chimewell::addons {

// The countdown beside the clock: days and hours to the coming New Year's
// Day in turn, and on that day the clock's second character greets it.
class frm_millenium final : public SideWindow
{
    Q_OBJECT
public:
    explicit frm_millenium(QWidget *parent = nullptr);
    ~frm_millenium() override;

    // Shows the window at its stored place and colours with the first text.
    void Form_Load();
    // Shows the next text of the count, or greets the New Year's Day.
    void Timer1_Timer();

    QLabel *lab_time() const { return label(); }
    QTimer *Timer1() const { return m_timer; }
    int countPhase() const { return m_countdown.countPhase(); }

private:
    void greet(int year);

    QTimer *m_timer;
    agent::SpeakingCharacter *m_agent;
    Countdown m_countdown;
};

} // namespace chimewell::addons
