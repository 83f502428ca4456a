#include "agent/desktopstacking.h"

#include "common/log.h"
#include "common/windowmanager.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QList>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cmath>

namespace chimewell::agent::desktopstacking {

namespace {

class Stacking final : public QObject
{
public:
    explicit Stacking(QObject *parent) : QObject(parent)
    {
        m_raiser.setInterval(kRaiseIntervalMs);
        m_raiser.setTimerType(Qt::CoarseTimer);
        connect(&m_raiser, &QTimer::timeout, this, &Stacking::raiseShown);
        connect(&WindowManager::instance(), &WindowManager::movesIgnored, this, &Stacking::bypassNow);
    }

    void adopt(QWidget *w)
    {
        m_windows.removeAll(nullptr);
        if (!m_windows.contains(w))
            m_windows.append(w);
        if (!m_bypass && WindowManager::instance().mustBypass())
            startBypassing();
        if (m_bypass)
            w->setWindowFlag(Qt::X11BypassWindowManagerHint, true);
    }
    bool bypassing() const { return m_bypass; }

private:
    void startBypassing()
    {
        qCInfo(lcDesktop, "characters bypass the window manager");
        m_bypass = true;
        m_raiser.start();
    }
    // The manager was seen ignoring a move: every window made so far leaves
    // its care, in view again where it was asked to stand.
    void bypassNow()
    {
        if (m_bypass)
            return;
        startBypassing();
        for (const QPointer<QWidget> &w : std::as_const(m_windows)) {
            if (!w || !w->isWindow())
                continue;
            const bool shown = w->isVisible();
            const QPoint at = w->pos();
            w->hide();
            w->setWindowFlag(Qt::X11BypassWindowManagerHint, true);
            // A window the manager had keeps the manager's idea of its frame
            // and is put off by it; a new one goes where it is asked.
            if (QWindow *handle = w->windowHandle())
                handle->destroy();
            w->move(at);
            if (shown)
                w->show();
        }
    }
    // Without the manager's help, whatever comes up over a character is put
    // back under it soon. In the order made, so a balloon is over its character.
    void raiseShown()
    {
        for (const QPointer<QWidget> &w : std::as_const(m_windows)) {
            if (w && w->isWindow() && w->isVisible())
                w->raise();
        }
    }

    QList<QPointer<QWidget>> m_windows;
    QTimer m_raiser;
    bool m_bypass = false;
};

Stacking &stacking()
{
    static QPointer<Stacking> s;
    if (!s)
        s = new Stacking(QCoreApplication::instance());
    return *s;
}

} // namespace

void shape(QWidget *w, const QRegion &region)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !w->isWindow() || !WindowManager::instance().composites()) {
        w->setMask(region);
        return;
    }
    // A mask left from a stay inside a host would clip it again.
    if (!w->mask().isEmpty())
        w->clearMask();
    const qreal ratio = w->devicePixelRatioF();
    QList<xcb_rectangle_t> rects;
    rects.reserve(region.rectCount());
    for (const QRect &r : region) {
        const QRect native(
            QPoint(int(std::floor(r.left() * ratio)), int(std::floor(r.top() * ratio))),
            QPoint(int(std::ceil((r.right() + 1) * ratio)) - 1, int(std::ceil((r.bottom() + 1) * ratio)) - 1));
        rects.append({qint16(native.x()), qint16(native.y()), quint16(native.width()), quint16(native.height())});
    }
    xcb_shape_rectangles(x11->connection(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                         xcb_window_t(w->winId()), 0, 0, uint32_t(rects.size()), rects.constData());
}

void adopt(QWidget *w)
{
    if (w)
        stacking().adopt(w);
}

bool bypassing()
{
    return stacking().bypassing();
}

} // namespace chimewell::agent::desktopstacking
