#pragma once

#include <QWidget>

class QLabel;
class QTimer;

namespace chimewell::setup {

// The installation wait: runs the two shipped installers, flashes, and after a
// fixed 40 seconds restarts the program, or, when something is still missing,
// says what to install and ends.
class frm_wait final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_wait(QWidget *parent = nullptr);

    void Timer2_Timer(); // install tick, every second
    void Timer1_Timer(); // end of the wait
    int ticks() const { return m_ticks; }

private:
    QLabel *m_label1 = nullptr;
    QTimer *m_timer1 = nullptr;
    QTimer *m_timer2 = nullptr;
    int m_ticks = 0;
    bool m_red = false;
};

} // namespace chimewell::setup
