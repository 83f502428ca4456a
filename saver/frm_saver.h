#pragma once

#include "common/version.h"

#include "agent/speakingcharacter.h"

#include <QPoint>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

// The screen saver: the user's two characters announce it, then each on its
// own random timer jumps to a random point and plays the next gesture, until
// a key or a mouse move ends it.
namespace chimewell::saver {

// What the saver's command line asks for.
enum class SaverSwitch { Run, Settings, Preview };

// The switch is the first two of the last seven characters, lower-cased:
// "/c" settings, "/p" preview, anything else (a shorter text too) runs.
SaverSwitch commandLineSwitch(const QString &commandLine);

// The gestures each character plays in turn, then again from the start.
const QStringList &gestures();

// The maker's web site, named in the "/c" message.
inline constexpr char kMakerWebSite[] = CHIMEWELL_WEB_SITE;

// The saver's window. On its own (hostWindow 0) it covers every monitor, stays
// above other windows and takes the keyboard and the mouse once start-up is
// done. Given a window of a screen-saver daemon, it covers that one instead,
// shows at once, maps nothing else and leaves the input to the daemon.
class frm_saver final : public QWidget
{
    Q_OBJECT
public:
    // `commandLine`: the text after the program's name.
    explicit frm_saver(const QString &commandLine, quint32 hostWindow = 0);
    ~frm_saver() override;

    // True when the saver draws into a window it was given.
    bool isHosted() const { return m_hosted; }

    void Form_Load();
    void Timer1_Timer();
    void Timer2_Timer();
    // A key that produces a character.
    void Form_KeyPress();
    // A mouse report at (x, y) in the window.
    void Form_MouseMove(int x, int y);
    // Puts both characters back where they first stood, hides and unloads
    // them, and ends the program. Also what a termination signal does.
    void endSaver();

    // For the tests: the characters, the timers, the random source.
    agent::SpeakingCharacter &Agent1() { return m_agent1; }
    agent::SpeakingCharacter &Agent2() { return m_agent2; }
    QTimer &Timer1() { return m_timer1; }
    QTimer &Timer2() { return m_timer2; }
    // Uniform values in [0, 1); by default a generator with a fixed seed.
    void setRandomSource(std::function<double()> source) { m_random = std::move(source); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // Returns false when the command line ends the program.
    bool checkcommandline();
    void loadCharacter(agent::SpeakingCharacter &agent, CharacterSlot slot, const char *effectsKey);
    void performanceTick(agent::SpeakingCharacter &agent, QTimer &timer, int &animIndex);
    // Stands a character at its own third of the screen (1 or 2), in full view.
    void placeApart(agent::SpeakingCharacter &agent, int third);
    void showSaverWindow();
    void takeInput();

    QString m_commandLine;
    bool m_hosted = false;
    agent::SpeakingCharacter m_agent1{QStringLiteral("Agent1")};
    agent::SpeakingCharacter m_agent2{QStringLiteral("Agent2")};
    QTimer m_timer1;
    QTimer m_timer2;
    QTimer m_keepOnTop;
    QTimer m_grabRetry;
    int m_grabTries = 0;
    std::function<double()> m_random;

    QString charName1;
    QString charName2;
    bool m_home1Noted = false;
    bool m_home2Noted = false;
    int homeLeft1 = 0;
    int homeTop1 = 0;
    int homeLeft2 = 0;
    int homeTop2 = 0;
    int animIndex1 = 1;
    int animIndex2 = 1;
    int firstMouseX = 0;
    int firstMouseY = 0;
    bool m_ending = false;
};

} // namespace chimewell::saver
