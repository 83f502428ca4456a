// alarmclock: the clock tick rings alarm 1 through character 1, alarm 2 through character 2.
#include "characters/clockcharacters.h"

#include "common/settingskeys.h"
#include "common/settingsstore.h"

namespace chimewell::characters {

void ClockCharacters::alarmclock(const QString &a)
{
    const QString unchanged = QStringLiteral("This is the alarm, you have not altered the alarm yet, please do it now!");
    if (slotFromWho(a) == CharacterSlot::One) {
        // The alarm cuts off whatever the character was still saying.
        if (agent::Character *c = slotCharacter(CharacterSlot::One))
            c->stop();
        say(store::value(keys::Data, keys::AlarmMessage, unchanged), CharacterSlot::One);
    } else {
        if (agent::Character *c = slotCharacter(CharacterSlot::Two))
            c->stop();
        say(store::value(keys::Data, keys::AlarmMessage2, unchanged), CharacterSlot::Two);
    }
}

} // namespace chimewell::characters
