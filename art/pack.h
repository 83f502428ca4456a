#pragma once

#include "character.h"
#include "png.h"
#include "rig.h"

#include <QImage>
#include <QJsonObject>
#include <QString>

#include <vector>

namespace chimewell::art {

// Renders one pose at scale 1 or 2: a transparent RGBA image of frameSize() * scale.
QImage render(const Character &c, const Pose &pose, int scale);

// Where the mouth overlays go in the frame: the character's mouthRect() taken
// through the Speak pose's whole-figure transform.
QRect mouthPlace(const Character &c);

// The speech mouth overlay for a shape, cut from the Speak pose at mouthRect().
QImage renderMouth(const Character &c, Mouth shape, int scale);

struct BuiltFrame
{
    QString image;
    int duration = 100;
    QString sound;
    int exit = -1;
    bool mouth = false;
    std::vector<std::pair<int, int>> branches; // frame, probability
};

struct BuiltAnimation
{
    QString name;
    std::vector<BuiltFrame> frames;
    QString returnTo;
};

// A character turned into file contents: the manifest, the images and sounds.
struct BuiltCharacter
{
    QJsonObject manifest;
    std::vector<BuiltAnimation> animations;
    std::vector<std::pair<QString, QByteArray>> entries; // every entry but the manifest
    std::vector<std::pair<QString, QImage>> images;      // scale-1 images by entry name
};

// Quick effort makes larger files much sooner (PNG and packs alike), for the tests of the drawings.
BuiltCharacter build(const Character &c, PngEffort effort = PngEffort::Best);

// Writes <path> (a .acs file). False and a reason on failure.
bool writeCharacterFile(const Character &c, const QString &path, QString *error);
bool writeCharacterFile(const BuiltCharacter &built, const QString &path, QString *error);

// Every animation's frames in labelled rows, for people to look at.
QImage contactSheet(const Character &c, const BuiltCharacter &built);

} // namespace chimewell::art
