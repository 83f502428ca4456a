#pragma once

#include <QString>

#include <functional>
#include <vector>

// The pose of a character rig and keyframed timelines over it. Every character
// reads the same pose channels and draws its body parts from them, so one set of
// animation definitions serves all seven.
namespace chimewell::art {

enum class Mouth { Smile, Closed, Small, Open, Wide, Round, Grin, Frown, Flat };
enum class Prop { None, Book, Wand };
enum class Effect { None, Sparkles, Confetti, Question, Hearts, Speed };

struct Pose
{
    // Whole-figure transform, about the character's ground point.
    double x = 0, y = 0;   // offset in pixels (y < 0 is up)
    double scale = 1;
    double opacity = 1;
    double squash = 0;     // > 0 stretches tall and thin, < 0 squashes
    double lean = 0;       // degrees, clockwise

    // Head and face.
    double headTilt = 0;   // degrees, clockwise
    double turn = 0;       // -1 faces left, +1 faces right (features shift sideways)
    double lookX = 0, lookY = 0; // pupils, -1..1
    double eyeOpen = 1;    // 0 closed .. 1 open
    double happy = 0;      // 1: eyes become happy arcs
    double brow = 0;       // -1 frowning .. +1 raised
    double browTilt = 0;   // one brow up, the other down (puzzled)
    Mouth mouth = Mouth::Smile;

    // Limbs: degrees from hanging straight down, positive swings away from the body;
    // the elbow adds to that (positive bends up and out, negative across the body).
    double armL = 15, armR = 15;
    double elbowL = 0, elbowR = 0;
    double reach = 0;      // rubber-hose arms stretch by up to this much more (0..1)
    double walk = 0;       // walk-cycle phase, 0..1
    double stride = 0;     // 0 standing .. 1 full stride

    Prop prop = Prop::None;
    double propOpen = 1;   // book opening, 0..1
    double emerge = 1;     // how far the figure has come out of its lamp (the genie), 0..1
    Effect effect = Effect::None;
    double fx = 0;         // effect progress, 0..1

    double time = 0;       // ms since the animation began: propellers, smoke, glows
};

// Linear blend of the continuous channels; the discrete ones come from a, or from b
// once t reaches 1.
Pose mix(const Pose &a, const Pose &b, double t);

enum class Ease { InOut, Linear, Out, In };

struct Key
{
    int t = 0;
    Pose pose;
    Ease ease = Ease::InOut; // how the motion towards this key runs
};

// Keys in time order; each new key starts from the previous one's pose, so an
// animation reads as a list of changes.
class Timeline
{
public:
    explicit Timeline(const Pose &start = Pose());
    Timeline &to(int t, const std::function<void(Pose &)> &change, Ease ease = Ease::InOut);
    Timeline &hold(int t) { return to(t, [](Pose &) {}); }
    Timeline &back(int t, const Pose &pose, Ease ease = Ease::InOut); // returns to a given pose
    // Changes every key, for a character that needs a standard move a little different.
    Timeline &map(const std::function<void(Pose &)> &change);
    Pose at(int t) const;
    int length() const { return m_keys.back().t; }
    const Pose &last() const { return m_keys.back().pose; }

private:
    std::vector<Key> m_keys;
};

struct BranchSpec
{
    int from = 0;        // ms: the frame shown at that time
    int to = 0;          // ms: the frame to jump to
    int probability = 0; // percent
};

// One animation as data: a timeline sampled every `step` ms, plus what the file
// says about its frames.
struct AnimationSpec
{
    QString name;
    Timeline timeline;
    int step = 100;
    bool mouth = false;       // frames carry the speech mouth
    bool exitToEnd = false;   // every frame but the last exits to the last one
    int exitAt = -1;          // ms: when >= 0, every frame before this time exits to the frame shown then
    bool mergeStill = true;   // fold runs of identical frames into one longer frame
    bool cycle = false;       // a loop: the closing sample equals the first and is left out
    bool stillTime = false;   // propellers, smoke and glows stand still: a sleeper's frames repeat exactly
    bool newPack = false;     // starts a pack of its own: it and what follows unpack without the rest
    QString sound;            // sound entry played on the frame at soundAt
    int soundAt = 0;
    QString returnTo;
    std::vector<BranchSpec> branches;
};

} // namespace chimewell::art
