#include "addons/jollix/showrules.h"

#include "common/screenarea.h"

#include <cmath>

namespace chimewell::jollix {

namespace {
qint64 whole(double v)
{
    return qint64(std::nearbyint(v));
} // halves to even
} // namespace

Step stepFrom(const Draws &draws, const QSize &screenPixels)
{
    Step s;
    // 64-bit twips: a screen wider than 2184 pixels does not overflow.
    s.xTwips = whole(draws.x * double(screenPixels.width()) * kTwipsPerPixel + 1);
    s.yTwips = whole(draws.y * double(screenPixels.height()) * kTwipsPerPixel + 1);
    s.who = int(whole(draws.who * kCastSize + 1));
    s.wait = int(whole(draws.wait * 10 + 1));
    s.gesture = int(whole(draws.gesture * 5 + 1));
    return s;
}

QPoint placeFor(const Step &step, const QSize &size)
{
    return QPoint(int(whole(double(step.xTwips) / kTwipsPerPixel - double(size.width()) / 2)),
                  int(whole(double(step.yTwips) / kTwipsPerPixel - double(size.height()) / 2)));
}

QString gestureName(int gesture)
{
    switch (gesture) {
    case 1:
        return QStringLiteral("Pleased");
    case 2:
        return QStringLiteral("LookDown");
    case 3:
        return QStringLiteral("Explain");
    case 4:
        return QStringLiteral("Greet");
    case 5:
        return QStringLiteral("Read");
    default:
        return QString();
    }
}

QPoint buttonPlace(const QSize &button, const QRect &area, const QList<QRect> &standing)
{
    QList<QRect> taken;
    for (const QRect &r : standing)
        taken << screenarea::speakingRoom(r, area);
    const QPoint middle = area.center() - QPoint(button.width() / 2, button.height() / 2);
    const std::optional<QRect> place = screenarea::clearPlace(button, middle, area, taken);
    return place ? place->topLeft() : middle;
}

} // namespace chimewell::jollix
