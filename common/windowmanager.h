#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <optional>

class QWidget;

namespace chimewell {

// What the desktop's window manager does with our windows, learnt as the
// program runs. Most do what a client asks; some (Weston's, for X clients)
// place every window they manage themselves, whatever it asks, and know no
// "above" state. Windows that must stand where they are put and stay on top
// then bypass the manager, and the clock is moved by the manager itself.
// Only X11 is asked; elsewhere the manager is taken to do as asked.
class WindowManager final : public QObject
{
    Q_OBJECT
public:
    static WindowManager &instance();

    // A move of one of our windows was seen ignored: it stayed where it stood.
    bool ignoresMoves() const { return m_ignoresMoves; }
    // The manager keeps a window above others when asked (or there is no
    // manager, so nothing is stacked over a window but by its own program).
    bool keepsAbove();
    // A compositing manager shows our windows' see-through parts, so they
    // need no shape (which some, Xwayland's, do not even honour).
    bool composites();
    // Whether windows that must stay on top and go where they are put have to
    // bypass the manager here.
    bool mustBypass() { return m_ignoresMoves || !keepsAbove(); }

    // `window` (a managed top-level window on the screen) was just asked to
    // move to `asked`: a moment later the X server is asked where it stands.
    // One probe at a time, and none once the answer is known.
    void checkMove(QWidget *window, const QPoint &asked);
    // Where the X server has `window`'s top left, in logical pixels; none off
    // X11 or before the window exists there.
    static std::optional<QPoint> placeOnServer(const QWidget *window);

    // For tests: what was learnt is forgotten, or taken as known.
    void reset(std::optional<bool> ignoresMoves = std::nullopt, std::optional<bool> keepsAbove = std::nullopt);

    // How long the manager is given to do what was asked.
    static constexpr int kSettleMs = 400;

Q_SIGNALS:
    // Raised once, when a move is first seen ignored.
    void movesIgnored();

private:
    WindowManager() = default;
    void settle();

    bool m_ignoresMoves = false;
    std::optional<bool> m_keepsAbove;
    std::optional<bool> m_composites;
    int m_honoured = 0;
    int m_ignoredSeen = 0;
    struct Probe
    {
        QPointer<QWidget> window;
        QPoint before;
        QPoint lastAsked;
    };
    std::optional<Probe> m_probe;
};

} // namespace chimewell
