#pragma once

#include "character.h"
#include "rig.h"

#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QTransform>

#include <functional>

class QPainter;

// Drawing helpers the characters share: shaded outlined shapes, limbs, eyes,
// mouths, props and effects. All sizes are scale-1 pixels.
namespace chimewell::art::draw {

inline const QColor ink(48, 34, 52);
inline constexpr double line = 2.0;

// A radial gradient over r, lighter towards the top left and darker below.
QBrush shade(const QColor &base, const QRectF &r, double depth = 1.0);
// Fills with base's shading and strokes with the ink outline.
void fill(QPainter &p, const QPainterPath &path, const QColor &base, double pen = line, double depth = 1.0);
void ellipse(QPainter &p, const QRectF &r, const QColor &base, double pen = line, double depth = 1.0);
// A rounded highlight streak on glossy parts.
void gloss(QPainter &p, const QRectF &r, double alpha = 0.45);
void shadow(QPainter &p, QPointF centre, double width, double alpha = 0.22);
// Draws the head tilted by `degrees` about the neck; returns the tilt, so
// anchors on the head can be mapped with it.
QTransform tiltedHead(QPainter &p, QPointF neck, double degrees, const std::function<void()> &head);
// Soft pink cheeks.
void blush(QPainter &p, QPointF centre, double r, double alpha = 0.35);

QPainterPath circle(QPointF c, double r);
QPainterPath oval(QPointF c, double rx, double ry);

// A rubber-hose limb from a through bend to b, outlined, with round ends.
void limb(QPainter &p, QPointF a, QPointF bend, QPointF b, double width, const QColor &colour);
struct Arm
{
    QPointF shoulder, elbow, hand;
    double handAngle = 0; // degrees, the forearm's direction (0 is down)
};
// side -1 is the figure's left on screen, +1 its right.
Arm arm(QPointF shoulder, int side, double angle, double elbow, double upper, double lower);
// A round mitten hand; thumb points up the arm's outside.
void hand(QPainter &p, const Arm &a, int side, double r, const QColor &colour);

// Both arms, the prop they hold and the hands over it, in that order.
struct ArmStyle
{
    double upper = 14, lower = 13, width = 6, hand = 5;
    QColor sleeve, skin;
    bool hands = true;
    QColor cuff;          // a short sleeve over the top of each arm, when valid
    double cuffSize = 0;
};
void armsWithProp(QPainter &p, const Pose &pose, QPointF shoulderL, QPointF shoulderR, const ArmStyle &s,
                  Anchors &anchors);

struct EyeStyle
{
    QColor iris = QColor(70, 120, 200);
    QColor lid = QColor(250, 215, 180);
    double irisSize = 0.7; // of the eye's half width
    QColor line = ink;     // closed and happy eyes are drawn as lines of this colour
};
// One eye at c; side -1 or +1 mirrors the highlights and the puzzled lid.
void eye(QPainter &p, QPointF c, double rx, double ry, const Pose &pose, const EyeStyle &s, int side);
void brow(QPainter &p, QPointF c, double w, const Pose &pose, int side, const QColor &colour, double thick = 2.6);

struct MouthStyle
{
    QColor lip = ink;
    QColor inside = QColor(130, 35, 50);
    QColor tongue = QColor(240, 110, 120);
    bool teeth = true;
};
void mouth(QPainter &p, QPointF c, double w, Mouth m, const MouthStyle &s = MouthStyle());
// The rectangle any speech mouth of width w at c stays inside.
QRect mouthBounds(QPointF c, double w);

void star(QPainter &p, QPointF c, double r, const QColor &colour, double rotation = 0, double pen = 1.2);
void sparkle(QPainter &p, QPointF c, double r, const QColor &colour);
void book(QPainter &p, QPointF centre, double width, double open);
void wand(QPainter &p, QPointF hand, double angle, double length, QPointF *tip);

// Effects over the figure, in frame coordinates.
void effects(QPainter &p, const Pose &pose, const Anchors &a, QSizeF frame);

} // namespace chimewell::art::draw
