#pragma once

#include "agent/speakingcharacter.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace chimewell::voice {
class TonePlayer;
}

namespace chimewell::drillquiz {

// The times-tables quiz: one of the clock's characters picks a table and asks
// its twelve questions, each against a fifteen-second countdown.
class frm_xtables final : public QWidget
{
    Q_OBJECT
public:
    // A uniform draw in [0, 1).
    using RandomSource = std::function<double()>;

    explicit frm_xtables(QWidget *parent = nullptr);
    ~frm_xtables() override;

    // Replaces the generator (tests choose the table this way).
    void setRandomSource(RandomSource source);

    // Handlers, named after the controls they belong to.
    void Form_Load();
    void Form_Unload();
    void Timer1_Timer();
    void timer2_Timer();
    void Command1_Click(); // CHOOSE A NEW TABLE
    void Command2_Click(); // ENTER
    void Command3_Click(); // EXIT

    agent::SpeakingCharacter &speaker() { return *m_speaker; }
    int tableNo() const { return m_tableNo; }
    int questionNo() const { return m_questionNo; }
    int correctCount() const { return m_correctCount; }
    int secondsLeft() const { return m_secondsLeft; }
    bool awaitingAnswer() const { return m_awaitingAnswer; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void choosetable();
    void play();
    void endOfGame();
    void judge();
    void waitForNextSecond();
    void beep();
    // The fonts at a part of their design sizes.
    void setFontScale(double scale);
    // Sizes and places the window for a character of `character` (empty: none)
    // on the screen; returns where the character stands.
    QPoint arrange(const QSize &character);

    agent::SpeakingCharacter *m_speaker;
    voice::TonePlayer *m_tone;
    RandomSource m_random;

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    QLineEdit *txt_answer, *txt_remaining, *txt_question, *txt_correct;
    QPushButton *Command1, *Command2, *Command3;
    QGridLayout *m_grid = nullptr;
    QTimer Timer1;
    QTimer timer2;

    int m_tableNo = 0;
    int m_factor = 0;
    int m_step = 1;
    int m_questionNo = 0;
    int m_secondsLeft = 15;
    int m_correctCount = 0;
    bool m_awaitingAnswer = false;
    bool m_unloading = false;
};

} // namespace chimewell::drillquiz
