#pragma once

#include <QList>
#include <QMargins>
#include <QRect>

#include <optional>

// Where on the desktop a window may stand: the monitor that holds it (or lies
// nearest), that monitor's available area (the part no panel takes), a place
// kept inside that area, and a place there that no other window covers. All in
// logical pixels, on the desktop's coordinates. The rules take the monitors
// as plain rectangles, so they can be tried without a display.
namespace chimewell::screenarea {

struct Monitor
{
    QRect geometry;
    QRect available;
};

// The desktop's monitors as they are now.
QList<Monitor> monitors();

// The index of the monitor holding the largest part of `rect`, or the one
// nearest to it when none holds any; -1 when there are no monitors.
int monitorFor(const QRect &rect, const QList<Monitor> &monitors);
// The available area of the monitor that holds `rect` (or lies nearest); an
// empty rectangle when there are no monitors.
QRect availableAreaFor(const QRect &rect, const QList<Monitor> &monitors);
QRect availableAreaFor(const QRect &rect);

// The bounding rectangle of the monitors' available areas: "the screen" of
// a desktop of one monitor or several; empty when there are none.
QRect desktopArea(const QList<Monitor> &monitors);

// `rect` where it is when at least half of it lies in the monitors'
// available areas; otherwise, wholly or mostly out of reach, moved into the
// available area of the monitor that holds it or lies nearest (keptInside).
QRect keptInView(const QRect &rect, const QList<Monitor> &monitors);
QRect keptInView(const QRect &rect);

// `rect` moved as little as can be to lie inside `area`, and cut to the area's
// size where it is larger (its top left stays in view: a title bar is never
// pushed off the top).
QRect keptInside(const QRect &rect, const QRect &area);

// The place of a rectangle of `size` inside `area`, as near as can be to the
// top left `preferred`, that meets none of `obstacles`; none when there is no
// such place.
std::optional<QRect> clearPlace(const QSize &size, const QPoint &preferred, const QRect &area,
                                const QList<QRect> &obstacles);

// The room a character standing at `character` takes with its speech
// balloon: the balloon goes above its head, or below its feet when the area
// leaves no room above, centred on it.
QRect speakingRoom(const QRect &character, const QRect &area);

// What a window manager adds around a titled window, taken generously (a
// title bar and borders of the usual themes), for planning a window's place
// before it is on the screen.
inline constexpr QMargins kFrameAllowance{8, 40, 8, 8};

} // namespace chimewell::screenarea
