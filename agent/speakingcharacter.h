#pragma once

#include "agent/agent.h"
#include "common/characterslot.h"

#include <QObject>
#include <QPointer>

namespace chimewell::agent {

// One character for a small program (the add-ons and the screen saver): loads
// the character the clock stores for a slot, or one by name, and passes on the
// usual requests. Requests made while nothing is loaded are dropped (they
// return 0), so a missing character file never stops the program. The
// character is unloaded when this object goes.
class SpeakingCharacter final : public QObject
{
    Q_OBJECT
public:
    // `controlName` names the control (Agent1, Agent2, ...) for the tests.
    explicit SpeakingCharacter(const QString &controlName, QObject *parent = nullptr);
    ~SpeakingCharacter() override;

    // The name stored for `slot` (section Data), or `fallback` when none is.
    static QString storedName(CharacterSlot slot, const QString &fallback = QString());
    // Loads the character stored for `slot`; false when it cannot be loaded.
    bool loadStored(CharacterSlot slot, const QString &fallback = QString());
    // Loads the character `name` (a bare name, ".acs" added); any character
    // loaded before is unloaded first.
    bool load(const QString &name);
    void unload();

    Character *character() const { return m_character.data(); }
    bool isLoaded() const { return !m_character.isNull(); }
    QString id() const { return m_id; }
    AgentControl &control() { return *m_control; }

    int show(bool fast = false);
    int hide(bool fast = false);
    int speak(const QString &text);
    int play(const QString &animation);
    int moveTo(int x, int y, int speed = 1000);
    void stop();
    void setSoundEffectsOn(bool on);

private:
    AgentControl *m_control;
    QPointer<Character> m_character;
    QString m_id;
};

} // namespace chimewell::agent
