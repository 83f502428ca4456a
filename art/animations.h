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

// The pose a character holds while it listens, a hand at its ear, from its rest pose.
Pose listenPose(const Pose &rest);
// Listen's held part, in ms: the frame shown at the end branches back to the one
// at the start, for as long as the animation is not cut short.
inline constexpr int listenLoopStart = 200;
inline constexpr int listenLoopEnd = 1700;

// The pose Speak frames start from: the head stays put so the mouth overlays fit.
Pose speakPose(const Character &c);

} // namespace chimewell::art
