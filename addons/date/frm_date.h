#pragma once

#include "addons/date/sidewindow.h"

class QLabel;
class QTimer;

namespace chimewell::agent {
class SpeakingCharacter;
}

namespace chimewell::addons {

// Today's date in a small window beside the clock; a double click has the
// clock's first character say it.
class frm_date final : public SideWindow
{
    Q_OBJECT
public:
    explicit frm_date(QWidget *parent = nullptr);
    ~frm_date() override;

    // Shows the window with today's date at its stored place and colours.
    void Form_Load();
    // Writes today's date and waits for the next minute of the wall clock.
    void Timer1_Timer();
    // Loads the stored first character, has it say the date and, ten seconds
    // after the last such request, unloads it.
    void lab_date_DblClick();

    QLabel *lab_date() const { return label(); }
    QTimer *Timer1() const { return m_timer; }
    agent::SpeakingCharacter *Agent1() const { return m_agent; }

private:
    QTimer *m_timer;
    agent::SpeakingCharacter *m_agent;
    int m_speaking = 0; // double clicks whose ten seconds are not over
};

} // namespace chimewell::addons
