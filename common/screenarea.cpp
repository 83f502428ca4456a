#include "common/screenarea.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace chimewell::screenarea {

namespace {

// A balloon of six lines of the usual balloon font with its tail, with room to spare.
constexpr QSize kBalloon{240, 140};

qint64 squared(qint64 v)
{
    return v * v;
}

// The gap between two rectangles, squared; 0 when they meet.
qint64 gapSquared(const QRect &a, const QRect &b)
{
    const qint64 dx = std::max<qint64>({0, qint64(b.left()) - a.right() - 1, qint64(a.left()) - b.right() - 1});
    const qint64 dy = std::max<qint64>({0, qint64(b.top()) - a.bottom() - 1, qint64(a.top()) - b.bottom() - 1});
    return squared(dx) + squared(dy);
}

} // namespace

QList<Monitor> monitors()
{
    QList<Monitor> out;
    for (const QScreen *s : QGuiApplication::screens())
        out.append({s->geometry(), s->availableGeometry()});
    return out;
}

int monitorFor(const QRect &rect, const QList<Monitor> &monitors)
{
    int best = -1;
    qint64 bestShared = 0;
    qint64 bestGap = std::numeric_limits<qint64>::max();
    const QRect probe = rect.isEmpty() ? QRect(rect.topLeft(), QSize(1, 1)) : rect;
    for (int i = 0; i < monitors.size(); ++i) {
        const QRect shared = monitors[i].geometry.intersected(probe);
        const qint64 area = shared.isEmpty() ? 0 : qint64(shared.width()) * shared.height();
        const qint64 gap = area > 0 ? 0 : gapSquared(monitors[i].geometry, probe);
        if (area > bestShared || (bestShared == 0 && area == 0 && gap < bestGap)) {
            best = i;
            bestShared = area;
            bestGap = gap;
        }
    }
    return best;
}

QRect availableAreaFor(const QRect &rect, const QList<Monitor> &monitors)
{
    const int i = monitorFor(rect, monitors);
    return i < 0 ? QRect() : monitors[i].available;
}

QRect availableAreaFor(const QRect &rect)
{
    return availableAreaFor(rect, monitors());
}

QRect desktopArea(const QList<Monitor> &monitors)
{
    QRect out;
    for (const Monitor &m : monitors)
        out = out.united(m.available);
    return out;
}

QRect keptInView(const QRect &rect, const QList<Monitor> &monitors)
{
    if (monitors.isEmpty())
        return rect;
    const QRect probe = rect.isEmpty() ? QRect(rect.topLeft(), QSize(1, 1)) : rect;
    // Monitors may overlap (a mirrored pair), so the share in view is taken
    // from their union, never counted twice.
    QRegion inView;
    for (const Monitor &m : monitors)
        inView += m.available;
    qint64 shown = 0;
    for (const QRect &r : inView.intersected(probe))
        shown += qint64(r.width()) * r.height();
    if (2 * shown >= qint64(probe.width()) * probe.height())
        return rect;
    return keptInside(rect, availableAreaFor(rect, monitors));
}

QRect keptInView(const QRect &rect)
{
    return keptInView(rect, monitors());
}

QRect keptInside(const QRect &rect, const QRect &area)
{
    if (area.isEmpty())
        return rect;
    const QSize size = rect.size().boundedTo(area.size());
    const int x = std::clamp(rect.left(), area.left(), area.right() + 1 - size.width());
    const int y = std::clamp(rect.top(), area.top(), area.bottom() + 1 - size.height());
    return QRect(QPoint(x, y), size);
}

std::optional<QRect> clearPlace(const QSize &size, const QPoint &preferred, const QRect &area,
                                const QList<QRect> &obstacles)
{
    if (size.isEmpty() || size.width() > area.width() || size.height() > area.height())
        return std::nullopt;
    // The nearest clear place has each coordinate either where it was wished
    // (kept in the area) or against an edge of the area or of an obstacle:
    // anywhere else it could slide nearer. So those are the only ones to try.
    const int maxX = area.right() + 1 - size.width();
    const int maxY = area.bottom() + 1 - size.height();
    QList<int> xs{std::clamp(preferred.x(), area.left(), maxX), area.left(), maxX};
    QList<int> ys{std::clamp(preferred.y(), area.top(), maxY), area.top(), maxY};
    for (const QRect &o : obstacles) {
        xs << o.left() - size.width() << o.right() + 1;
        ys << o.top() - size.height() << o.bottom() + 1;
    }
    std::optional<QRect> best;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (int x : std::as_const(xs)) {
        if (x < area.left() || x > maxX)
            continue;
        for (int y : std::as_const(ys)) {
            if (y < area.top() || y > maxY)
                continue;
            const qint64 distance = squared(qint64(x) - preferred.x()) + squared(qint64(y) - preferred.y());
            if (distance >= bestDistance)
                continue;
            const QRect candidate(QPoint(x, y), size);
            if (std::none_of(obstacles.begin(), obstacles.end(),
                             [&](const QRect &o) { return o.intersects(candidate); })) {
                best = candidate;
                bestDistance = distance;
            }
        }
    }
    return best;
}

QRect speakingRoom(const QRect &character, const QRect &area)
{
    const int width = std::max(character.width(), kBalloon.width());
    const int left = character.center().x() - width / 2;
    if (character.top() - kBalloon.height() >= area.top())
        return QRect(left, character.top() - kBalloon.height(), width, character.height() + kBalloon.height());
    return QRect(left, character.top(), width, character.height() + kBalloon.height());
}

} // namespace chimewell::screenarea
