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
// The pose a character sleeps in, eyes shut and head nodded, from its rest pose;
// and the breath in, drawn over it.
Pose sleepPose(const Pose &rest);
Pose breathIn(const Pose &asleep);
// Doze's breath, in ms: the frame shown at the end branches back to the one at
// the start for as long as the character sleeps. Two pictures, held long: a
// sleeper costs a frame change every few seconds.
inline constexpr int dozeLoopStart = 2100;
inline constexpr int dozeLoopEnd = 7350;

// Listen's held part, in ms: the frame shown at the end branches back to the one
// at the start, for as long as the animation is not cut short.
inline constexpr int listenLoopStart = 200;
inline constexpr int listenLoopEnd = 1700;

// The pose Speak frames start from: the head stays put so the mouth overlays fit.
Pose speakPose(const Character &c);

} // namespace chimewell::art
