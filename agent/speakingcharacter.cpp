#include "agent/speakingcharacter.h"

#include "common/settingskeys.h"
#include "common/settingsstore.h"

namespace chimewell::agent {

SpeakingCharacter::SpeakingCharacter(const QString &controlName, QObject *parent)
    : QObject(parent), m_control(new AgentControl(this))
{
    m_control->setObjectName(controlName);
}

SpeakingCharacter::~SpeakingCharacter() { unload(); }

QString SpeakingCharacter::storedName(CharacterSlot slot, const QString &fallback)
{
    return store::value(QLatin1String(keys::Data), QLatin1String(nameKey(slot)), fallback);
}

bool SpeakingCharacter::loadStored(CharacterSlot slot, const QString &fallback)
{
    return load(storedName(slot, fallback));
}

bool SpeakingCharacter::load(const QString &name)
{
    unload();
    if (name.isEmpty())
        return false;
    if (!m_control->characters().load(name, name + QStringLiteral(".acs")))
        return false;
    m_id = name;
    m_character = m_control->characters().character(name);
    return !m_character.isNull();
}

void SpeakingCharacter::unload()
{
    if (!m_id.isEmpty())
        m_control->characters().unload(m_id);
    m_id.clear();
    m_character = nullptr;
}

int SpeakingCharacter::show(bool fast) { return m_character ? m_character->show(fast) : 0; }
int SpeakingCharacter::hide(bool fast) { return m_character ? m_character->hide(fast) : 0; }
int SpeakingCharacter::speak(const QString &text) { return m_character ? m_character->speak(text) : 0; }
int SpeakingCharacter::play(const QString &animation) { return m_character ? m_character->play(animation) : 0; }
int SpeakingCharacter::moveTo(int x, int y, int speed) { return m_character ? m_character->moveTo(x, y, speed) : 0; }

void SpeakingCharacter::stop()
{
    if (m_character)
        m_character->stop();
}

void SpeakingCharacter::setSoundEffectsOn(bool on)
{
    if (m_character)
        m_character->setSoundEffectsOn(on);
}

} // namespace chimewell::agent
