#pragma once

#include "common/settingskeys.h"

#include <QString>

namespace chimewell {

// The clock's two character places. Character 1 is the one whose name is
// stored as LastCharacter, character 2 the one stored as LastCharacter2.
enum class CharacterSlot { One, Two };

// The texts that name a slot where code speaks through `say`: "genie" is
// character 1, any other text character 2 ("peedy" by convention).
inline CharacterSlot slotFromWho(const QString &who)
{
    return who == QLatin1String("genie") ? CharacterSlot::One : CharacterSlot::Two;
}
inline QString whoOf(CharacterSlot slot)
{
    return slot == CharacterSlot::One ? QStringLiteral("genie") : QStringLiteral("peedy");
}
// The key under section Data that stores the slot's character name.
inline const char *nameKey(CharacterSlot slot)
{
    return slot == CharacterSlot::One ? keys::LastCharacter : keys::LastCharacter2;
}
inline CharacterSlot otherSlot(CharacterSlot slot)
{
    return slot == CharacterSlot::One ? CharacterSlot::Two : CharacterSlot::One;
}

} // namespace chimewell
