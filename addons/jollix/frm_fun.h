#pragma once

#include "agent/speakingcharacter.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTimer>
#include <QWidget>

#include <array>

class QPushButton;

namespace chimewell::jollix {

// The comic show: six characters play a short scene, then wander and gesture
// at random until the one button stops the show and brings the clock back.
class frm_fun final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_fun(QWidget *parent = nullptr);
    ~frm_fun() override;

    void Form_Load();
    void Timer1_Timer();
    void Command1_Click(); // CLICK HERE TO STOP

    // The whole show; returns only when the program ends.
    void fun();
    // Its random part alone.
    void wander();

    // The cast in order: genie, peedy, robby, merlin, max, check.
    agent::SpeakingCharacter &member(int index) { return *m_cast.at(size_t(index)); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool scene();
    // Places the button where the scene's characters and balloons leave it free.
    void placeButton();
    // Says `text` by `c`, the last speaker's balloon gone first: one balloon at a time.
    void speakAlone(agent::SpeakingCharacter &c, const QString &text);

    std::array<agent::SpeakingCharacter *, 6> m_cast{};
    QPushButton *Command1;
    QTimer Timer1;
    // Never seeded from the clock: every run plays the same sequence.
    QRandomGenerator m_random{1};
    int m_performer = 0; // 1 to 6 once chosen
    agent::SpeakingCharacter *m_lastSpeaker = nullptr;
    int m_lastSpeech = 0;   // its request, 0 once done
    QDateTime m_lastSpoken; // when it was done
    QMetaObject::Connection m_speechDone;
    bool m_ending = false;
};

} // namespace chimewell::jollix
