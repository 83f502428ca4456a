#include "characters/clockcharacters.h"
#include "characters/clockwindow.h"

namespace chimewell::characters {

ClockCharacters::ClockCharacters(ClockWindow &window, QObject *parent)
    : QObject(parent), m_window(window), m_agent1(new agent::AgentControl(this)), m_agent2(new agent::AgentControl(this))
{
    m_agent1->setObjectName(QStringLiteral("Agent1"));
    m_agent2->setObjectName(QStringLiteral("Agent2"));
    connect(m_agent1, &agent::AgentControl::command, this, &ClockCharacters::Agent1_Command);
    connect(m_agent2, &agent::AgentControl::command, this, &ClockCharacters::Agent2_Command);
    connect(m_agent1, &agent::AgentControl::dragComplete, this, &ClockCharacters::Agent1_DragComplete);
    connect(m_agent2, &agent::AgentControl::dragComplete, this, &ClockCharacters::Agent2_DragComplete);
}

ClockCharacters::~ClockCharacters() = default;

agent::Character *ClockCharacters::slotCharacter(CharacterSlot slot) const
{
    agent::Character *taken = slot == CharacterSlot::One ? m_char1.data() : m_char2.data();
    if (taken)
        return taken;
    // Loaded but not yet taken by characterset (the first seconds after
    // start-up): the control holds only this slot's character.
    agent::AgentControl *control = slot == CharacterSlot::One ? m_agent1 : m_agent2;
    const QStringList ids = control->characters().ids();
    return ids.size() == 1 ? control->characters().character(ids.first()) : nullptr;
}

} // namespace chimewell::characters
