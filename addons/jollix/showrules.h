#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The arithmetic of the show's random part, apart from any window: five
// uniform draws in [0, 1) make one step.
namespace chimewell::jollix {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kCastSize = 6;

struct Draws
{
    double x, y, who, wait, gesture;
};

struct Step
{
    qint64 xTwips = 0; // the random point, in twips
    qint64 yTwips = 0;
    int who = 0;     // 1 to 6: that member of the cast performs; 7: the last performer again
    int wait = 0;    // seconds, 1 to 11
    int gesture = 0; // 1 to 5: a gesture; 6: none
};

// Every whole number rounded to nearest, halves to even. The point spans the
// whole screen, however large.
Step stepFrom(const Draws &draws, const QSize &screenPixels);
// Where a character `size` pixels large stands (its top left) so that its
// centre is on the step's point.
QPoint placeFor(const Step &step, const QSize &size);
// The animation of a gesture; empty for 6 (and anything else).
QString gestureName(int gesture);

// Where the show's button (its top left) goes in `area`: as near the middle
// as can be, clear of the characters standing at `standing` and of their
// balloons; the middle when nowhere is clear.
QPoint buttonPlace(const QSize &button, const QRect &area, const QList<QRect> &standing);

} // namespace chimewell::jollix
