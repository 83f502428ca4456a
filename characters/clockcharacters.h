#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QPointer>
#include <QString>

#include "agent/agent.h"
#include "common/characterslot.h"

namespace chimewell::characters {

class ClockWindow;

// The clock window's two characters: loading them, making them speak, the
// time in words, the alarms, their commands, drag replies, going home and
// changing them.
class ClockCharacters final : public QObject
{
    Q_OBJECT
public:
    explicit ClockCharacters(ClockWindow &window, QObject *parent = nullptr);
    ~ClockCharacters() override;

    // Makes the character of slot `who` ("genie" = character 1, else character 2) speak.
    void say(const QString &talk, const QString &who);
    void say(const QString &talk, CharacterSlot slot);
    // Says the current time, the characters taking turns.
    void saytime();
    // Rings alarm 1 ("genie") or alarm 2 (any other text).
    void alarmclock(const QString &a);
    // Loads both characters from the stored names, then runs characterset.
    void checkboxes();
    // Registers commands, shows, greets and places both characters.
    void characterset();
    // Brings both characters back beside the clock.
    void GenieMove();
    // Lets the user pick a new character 1 / character 2.
    void newcharacter();
    void newcharacter2();

    agent::AgentControl *Agent1() const { return m_agent1; }
    agent::AgentControl *Agent2() const { return m_agent2; }
    QString charName1() const { return m_charName1; }
    QString charName2() const { return m_charName2; }
    // The slot that said the time last, as `say` names it ("genie" or "peedy").
    QString announcer() const { return whoOf(m_announcer); }
    int gestureIndex() const { return m_gestureIndex; }
    bool whisperNow() const { return m_whisperNow; }
    int dragCount1() const { return m_dragCount1; }
    int dragCount2() const { return m_dragCount2; }

    // Where character 1 / character 2 of the given size stands beside the
    // clock window as it is now, in screen pixels (top left of the frame).
    QPoint homePosition1(int charWidth, int charHeight) const;
    QPoint homePosition2(int charWidth, int charHeight) const;

private:
    // `home` of a character of `size`, kept inside the available area of the
    // monitor that holds the clock.
    QPoint keptBesideClock(const QPoint &home, const QSize &size) const;
    // The character that speaks for a slot: the one characterset took, else
    // the one its control holds (between loading and characterset).
    agent::Character *slotCharacter(CharacterSlot slot) const;
    void registerCommands(agent::Character &character, CharacterSlot slot);
    void applySoundEffects(agent::Character &character, const char *key);
    void sendHome(agent::Character &character, CharacterSlot slot);

    void Agent1_Command(const agent::UserInput &userInput);
    void Agent2_Command(const agent::UserInput &userInput);
    void Agent1_DragComplete();
    void Agent2_DragComplete();

    // The body shared by newcharacter and newcharacter2.
    void changeCharacter(CharacterSlot slot);
    // Makes `picked` loadable under `name` from the character folders, copying
    // it into the user's folder when needed. False (after telling the user)
    // when it cannot be done.
    bool installCharacterFile(const QString &picked, const QString &name);

    ClockWindow &m_window;
    agent::AgentControl *m_agent1 = nullptr;
    agent::AgentControl *m_agent2 = nullptr;
    QPointer<agent::Character> m_char1;
    QPointer<agent::Character> m_char2;
    QString m_charName1;
    QString m_charName2;
    CharacterSlot m_announcer = CharacterSlot::One;
    int m_gestureIndex = 1;
    bool m_whisperNow = false;
    int m_dragCount1 = 1;
    int m_dragCount2 = 1;

    // Bumped by every characterset, so one that resumes after its pause knows
    // whether a newer one has taken over.
    int m_charactersetRun = 0;
    // How many time announcements are showing the hidden clock right now.
    int m_clockShownForTime = 0;
    bool m_changing = false;
};

} // namespace chimewell::characters
