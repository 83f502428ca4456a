#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "agent/agent.h"

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
    QString announcer() const { return m_announcer; }
    int gestureIndex() const { return m_gestureIndex; }

private:
    ClockWindow &m_window;
    agent::AgentControl *m_agent1 = nullptr;
    agent::AgentControl *m_agent2 = nullptr;
    QPointer<agent::Character> m_char1;
    QPointer<agent::Character> m_char2;
    QString m_charName1;
    QString m_charName2;
    QString m_announcer = QStringLiteral("genie");
    int m_gestureIndex = 1;
    bool m_whisperNow = false;
    int m_dragCount1 = 1;
    int m_dragCount2 = 1;
};

} // namespace chimewell::characters
