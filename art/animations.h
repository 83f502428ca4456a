#pragma once

#include "character.h"
#include "rig.h"

#include <QStringList>

#include <vector>

namespace chimewell::art {

// The names every shipped character has.
QStringList requiredAnimations();

// The standard animation set for a character, built from its rest pose and way of
// moving, then passed through the character's own adjust().
std::vector<AnimationSpec> standardAnimations(const Character &c);

// The pose Speak frames start from: the head stays put so the mouth overlays fit.
Pose speakPose(const Character &c);

} // namespace chimewell::art
