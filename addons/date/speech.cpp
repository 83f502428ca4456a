#include "addons/date/speech.h"

#include "agent/speakingcharacter.h"
#include "common/pause.h"

namespace chimewell::addons {

namespace {
constexpr int kLongestWait = 60;
}

bool waitWhileSpeaking(agent::SpeakingCharacter &character, int seconds)
{
    if (!pause(seconds))
        return false;
    for (int waited = seconds; waited < kLongestWait; ++waited) {
        const agent::Character *c = character.character();
        if (!c || !c->isBusy())
            break;
        if (!pause(1))
            return false;
    }
    return true;
}

} // namespace chimewell::addons
