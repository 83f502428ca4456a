#pragma once

#include "rig.h"

#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class QPainter;

namespace chimewell::art {

struct VoiceSpec
{
    QString language;
    QString variant;
    int pitch = 50;
    int rate = 165;
};

// How a character gets about: the move animations differ.
enum class Motion { Walk, Fly, Float };

// Where a drawn pose put the parts that effects and props attach to.
struct Anchors
{
    QPointF head;      // centre of the head
    double headRadius = 24;
    QPointF handL, handR;
    QPointF tip; // the wand's tip, while one is held
};

// One shipped character: its texts, voice and the drawing of its rig.
class Character
{
public:
    virtual ~Character() = default;
    virtual QString id() const = 0;
    virtual QString name() const = 0;
    virtual QString description() const = 0;
    virtual VoiceSpec voice() const = 0;
    virtual QSize frameSize() const { return {128, 128}; }
    virtual Motion motion() const { return Motion::Walk; }
    // The point the whole-figure transform (scale, squash) is taken about: the feet.
    virtual QPointF ground() const { return {frameSize().width() / 2.0, frameSize().height() - 6.0}; }
    // The whole drawing is shrunk a little about the feet, leaving room to jump and stretch.
    virtual double figureScale() const { return 0.92; }
    // The pose it stands in; every animation starts and ends here.
    virtual Pose rest() const { return Pose(); }
    // Where the speech mouth overlays go, in scale-1 pixels. Speak frames hold the
    // head still, so the overlays line up with the face.
    virtual QRect mouthRect() const = 0;
    // Draws the pose in scale-1 coordinates, the whole-figure transform already applied.
    virtual Anchors draw(QPainter &p, const Pose &pose) const = 0;
    // The pose it listens in: a hand at its ear. Takes the one every character
    // shares, for a figure whose ear or hand is elsewhere.
    virtual Pose listening(const Pose &standard) const { return standard; }
    // The pose it sleeps in. Takes the one every character shares, for a figure
    // that sleeps differently (a plane settles lower).
    virtual Pose asleep(const Pose &standard) const { return standard; }
    // A chance to change the standard animations (a plane flies in instead of popping up).
    virtual void adjust(AnimationSpec &) const {}
    // Sound effects are pitched per character, so seven chimes do not sound alike.
    virtual double soundPitch() const { return 1.0; }
};

std::vector<std::unique_ptr<Character>> allCharacters();
std::unique_ptr<Character> characterById(const QString &id);

// The factories, one per character source file.
std::unique_ptr<Character> makeMax();
std::unique_ptr<Character> makePlany();
std::unique_ptr<Character> makeGenie();
std::unique_ptr<Character> makePeedy();
std::unique_ptr<Character> makeRobby();
std::unique_ptr<Character> makeMerlin();
std::unique_ptr<Character> makeCheck();

} // namespace chimewell::art
