#pragma once

namespace chimewell::agent {
class SpeakingCharacter;
}

namespace chimewell::addons {

// Waits `seconds`, and longer while `character` still has requests to carry
// out (at most a minute in all), so a slow voice is not cut off by an unload.
// False when the program is ending: the caller stops where it is.
[[nodiscard]] bool waitWhileSpeaking(agent::SpeakingCharacter &character, int seconds);

} // namespace chimewell::addons
