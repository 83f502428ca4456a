#include "common/windowmanager.h"

#include "common/log.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace chimewell {

namespace {

// Moves seen done before the probing stops, and seen ignored before they are
// taken as ignored: a manager slowed down once is not taken for one that
// never moves windows.
constexpr int kEnoughHonoured = 3;
constexpr int kEnoughIgnored = 2;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t *c)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const xcb_screen_t *screen = setup ? xcb_setup_roots_iterator(setup).data : nullptr;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

Reply<xcb_get_property_reply_t> rootProperty(xcb_connection_t *c, xcb_window_t root, xcb_atom_t property,
                                             xcb_atom_t type)
{
    if (property == XCB_ATOM_NONE)
        return nullptr;
    return Reply<xcb_get_property_reply_t>(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, property, type, 0, 1024), nullptr));
}

bool near(const QPoint &a, const QPoint &b)
{
    return (a - b).manhattanLength() <= 2;
}

} // namespace

WindowManager &WindowManager::instance()
{
    static WindowManager *manager = new WindowManager;
    return *manager;
}

bool WindowManager::keepsAbove()
{
    if (m_keepsAbove)
        return *m_keepsAbove;
    xcb_connection_t *c = connection();
    const xcb_window_t root = c ? rootOf(c) : xcb_window_t(XCB_WINDOW_NONE);
    if (root == XCB_WINDOW_NONE)
        return *(m_keepsAbove = true);
    // No manager that says so: nothing but the program itself stacks its windows.
    const auto check = rootProperty(c, root, atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
    if (!check || check->format != 32 || xcb_get_property_value_length(check.get()) < 4)
        return *(m_keepsAbove = true);
    const xcb_atom_t above = atom(c, "_NET_WM_STATE_ABOVE");
    const auto supported = rootProperty(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    bool found = false;
    if (supported && supported->format == 32) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(supported.get()));
        const int count = xcb_get_property_value_length(supported.get()) / 4;
        for (int i = 0; i < count && !found; ++i)
            found = atoms[i] == above;
    }
    if (!found)
        qCInfo(lcDesktop, "the window manager keeps nothing above");
    return *(m_keepsAbove = found);
}

bool WindowManager::composites()
{
    if (m_composites)
        return *m_composites;
    xcb_connection_t *c = connection();
    const xcb_atom_t selection = c ? atom(c, "_NET_WM_CM_S0") : xcb_atom_t(XCB_ATOM_NONE);
    if (selection == XCB_ATOM_NONE)
        return *(m_composites = false);
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return *(m_composites = owner && owner->owner != XCB_WINDOW_NONE);
}

std::optional<QPoint> WindowManager::placeOnServer(const QWidget *window)
{
    xcb_connection_t *c = connection();
    if (!c || !window || !window->testAttribute(Qt::WA_WState_Created) || !window->internalWinId())
        return std::nullopt;
    const xcb_window_t root = rootOf(c);
    const Reply<xcb_translate_coordinates_reply_t> reply(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, xcb_window_t(window->internalWinId()), root, 0, 0), nullptr));
    if (!reply)
        return std::nullopt;
    const qreal ratio = window->devicePixelRatioF() > 0 ? window->devicePixelRatioF() : 1.0;
    return QPoint(qRound(reply->dst_x / ratio), qRound(reply->dst_y / ratio));
}

void WindowManager::checkMove(QWidget *window, const QPoint &asked)
{
    if (m_ignoresMoves || m_honoured >= kEnoughHonoured || !window || !window->isWindow() || !window->isVisible() ||
        window->windowFlags().testFlag(Qt::X11BypassWindowManagerHint))
        return;
    if (m_probe) {
        if (m_probe->window == window)
            m_probe->lastAsked = asked;
        return;
    }
    // The query reaches the server after the move itself: where nothing
    // stands between them, the window is there already.
    const std::optional<QPoint> before = placeOnServer(window);
    if (!before)
        return;
    if (near(*before, asked)) {
        ++m_honoured;
        return;
    }
    m_probe = Probe{window, *before, asked};
    QTimer::singleShot(kSettleMs, this, &WindowManager::settle);
}

void WindowManager::settle()
{
    const std::optional<Probe> probe = std::exchange(m_probe, std::nullopt);
    if (!probe || !probe->window || !probe->window->isVisible())
        return;
    const std::optional<QPoint> after = placeOnServer(probe->window);
    if (!after)
        return;
    if (near(*after, probe->before) && !near(probe->lastAsked, probe->before)) {
        if (++m_ignoredSeen < kEnoughIgnored)
            return;
        m_ignoresMoves = true;
        qCInfo(lcDesktop, "the window manager ignores moves");
        Q_EMIT movesIgnored();
    } else if (near(*after, probe->lastAsked)) {
        m_ignoredSeen = 0;
        ++m_honoured;
    }
}

void WindowManager::reset(std::optional<bool> ignoresMoves, std::optional<bool> keepsAbove)
{
    m_probe.reset();
    m_honoured = 0;
    m_ignoredSeen = 0;
    m_keepsAbove = keepsAbove;
    const bool before = m_ignoresMoves;
    m_ignoresMoves = ignoresMoves.value_or(false);
    if (m_ignoresMoves && !before)
        Q_EMIT movesIgnored();
}

} // namespace chimewell
