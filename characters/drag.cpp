// What the characters say when dragged, and GenieMove, which sends both home.
#include "characters/clockcharacters.h"
#include "characters/clockwindow.h"

#include "common/pause.h"

namespace chimewell::characters {

namespace {

int nextCount(int count) { return count >= 3 ? 1 : count + 1; }

} // namespace

void ClockCharacters::Agent1_DragComplete()
{
    const int count = m_dragCount1;
    m_dragCount1 = nextCount(m_dragCount1);
    switch (count) {
    case 1:
        say(QStringLiteral("Hey, what are you doing with ") + m_charName1, CharacterSlot::Two);
        break;
    case 2:
        say(m_charName1 + QStringLiteral(" liked that, do it again!"), CharacterSlot::Two);
        break;
    default:
        say(QStringLiteral("I liked that, please do it again"), CharacterSlot::One);
        break;
    }
}

void ClockCharacters::Agent2_DragComplete()
{
    const int count = m_dragCount2;
    m_dragCount2 = nextCount(m_dragCount2);
    switch (count) {
    case 1:
        say(QStringLiteral("Hey you, leave ") + m_charName2 + QStringLiteral(" alone, you big bully"), CharacterSlot::One);
        break;
    case 2:
        say(QStringLiteral("What are you doing with ") + m_charName2 + QStringLiteral(", he seems to be enjoying it!"),
            CharacterSlot::One);
        break;
    default:
        say(QStringLiteral("Hey, I kinda liked that, do it again and again and again!"), CharacterSlot::Two);
        break;
    }
}

void ClockCharacters::GenieMove()
{
    QPointer<ClockCharacters> self(this);
    if (m_window.isMinimised()) {
        say(QStringLiteral("How can we move to an invisible window?"), CharacterSlot::Two);
        if (!pause(4) || !self)
            return;
        say(QStringLiteral("yeah, you need to show the clock before I will move"), CharacterSlot::One);
        return;
    }

    // The home lines go straight to the characters: never whispered, never hidden after.
    if (agent::Character *c = slotCharacter(CharacterSlot::One)) {
        c->stop();
        sendHome(*c, CharacterSlot::One);
        c->speak(QStringLiteral("Okay I`m home !"));
        c->play(QStringLiteral("pleased"));
    }
    if (!pause(4) || !self)
        return;
    // Measured again: the clock may have moved during the pause.
    if (agent::Character *c = slotCharacter(CharacterSlot::Two)) {
        c->stop();
        sendHome(*c, CharacterSlot::Two);
        c->speak(QStringLiteral("I`m home too!"));
        c->play(QStringLiteral("pleased"));
    }
}

} // namespace chimewell::characters
