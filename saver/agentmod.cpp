#include "saver/agentmod.h"

#include "common/program.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>
// After xcb.h: the X11 interface of the application needs its types.
#include <QtGui/qguiapplication_platform.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace chimewell::saver {

namespace {

QString hex(quint32 window) { return QStringLiteral("0x") + QString::number(window, 16); }

// A window id as the daemons write it: decimal or 0x-hexadecimal, never 0
// (no window) and within X's 32 bits.
bool parseWindowId(const QString &text, quint32 *window)
{
    bool ok = false;
    const qulonglong value = text.trimmed().toULongLong(&ok, 0);
    if (!ok || value == 0 || value > 0xffffffffULL)
        return false;
    *window = quint32(value);
    return true;
}

xcb_connection_t *x11Connection()
{
    auto *app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

// Ends the program when the window the stage was put into goes: X destroys our
// window with it, and a saver with nothing to draw into must not linger.
class WindowGoneFilter final : public QAbstractNativeEventFilter
{
public:
    explicit WindowGoneFilter(quint32 own) : m_own(own) {}
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY
            && reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == m_own)
            endProgram();
        return false;
    }

private:
    quint32 m_own;
};

QWindow *g_foreign = nullptr;
WindowGoneFilter *g_goneFilter = nullptr;

} // namespace

WindowRequest windowRequest(const QStringList &arguments, const QString &environmentWindow, bool environmentSet)
{
    WindowRequest request;
    QString given;
    QString source;
    const qsizetype at = std::max(arguments.indexOf(QStringLiteral("-window-id")),
                                  arguments.indexOf(QStringLiteral("--window-id")));
    if (at >= 0) {
        if (at + 1 >= arguments.size()) {
            request.problem = QStringLiteral("-window-id needs a window id after it");
            return request;
        }
        given = arguments.at(at + 1);
        source = QStringLiteral("-window-id");
    } else if (environmentSet) {
        given = environmentWindow;
        source = QStringLiteral("XSCREENSAVER_WINDOW");
    } else {
        if (arguments.contains(QStringLiteral("-root")) || arguments.contains(QStringLiteral("--root")))
            request.problem = QStringLiteral("-root needs XSCREENSAVER_WINDOW to name the window to draw into");
        return request;
    }
    if (!parseWindowId(given, &request.window))
        request.problem = QStringLiteral("%1 \"%2\" is not a window id").arg(source, given);
    return request;
}

QString checkWindow(quint32 window)
{
    xcb_connection_t *c = x11Connection();
    if (!c)
        return QStringLiteral("the display is not an X11 display, so window %1 cannot be used").arg(hex(window));
    const xcb_get_window_attributes_cookie_t attributesAsked = xcb_get_window_attributes(c, window);
    const xcb_get_geometry_cookie_t geometryAsked = xcb_get_geometry(c, window);
    xcb_generic_error_t *error = nullptr;
    xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(c, attributesAsked, &error);
    std::free(error);
    error = nullptr;
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c, geometryAsked, &error);
    std::free(error);
    QString problem;
    if (!attributes || !geometry)
        problem = QStringLiteral("there is no window %1 on this display").arg(hex(window));
    else if (attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
        problem = QStringLiteral("window %1 takes input only and cannot be drawn into").arg(hex(window));
    else if (geometry->root == window)
        problem = QStringLiteral("window %1 is the root window").arg(hex(window));
    std::free(attributes);
    std::free(geometry);
    return problem;
}

bool embedInWindow(QWidget *stage, quint32 window, QString *problem)
{
    // Asked again here: the window may have gone since the first look.
    *problem = checkWindow(window);
    if (!problem->isEmpty())
        return false;
    xcb_connection_t *c = x11Connection();
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!geometry) {
        *problem = QStringLiteral("there is no window %1 on this display").arg(hex(window));
        return false;
    }
    const QSize size(geometry->width, geometry->height);
    std::free(geometry);
    QWindow *foreign = QWindow::fromWinId(window);
    if (!foreign) {
        *problem = QStringLiteral("window %1 cannot be used by this toolkit").arg(hex(window));
        return false;
    }
    // The daemon keeps the keyboard and the mouse; events over our window go
    // through to its own.
    stage->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    stage->setAttribute(Qt::WA_NativeWindow);
    stage->winId();
    QWindow *own = stage->windowHandle();
    own->setParent(foreign);
    const qreal ratio = own->devicePixelRatio() > 0 ? own->devicePixelRatio() : 1.0;
    stage->setGeometry(0, 0, int(std::ceil(size.width() / ratio)), int(std::ceil(size.height() / ratio)));
    g_foreign = foreign;
    g_goneFilter = new WindowGoneFilter(quint32(stage->winId()));
    QCoreApplication::instance()->installNativeEventFilter(g_goneFilter);
    return true;
}

void releaseWindow(QWidget *stage)
{
    if (g_goneFilter) {
        QCoreApplication::instance()->removeNativeEventFilter(g_goneFilter);
        delete g_goneFilter;
        g_goneFilter = nullptr;
    }
    if (!g_foreign)
        return;
    // Our window is the foreign one's child, also as an object: take it back
    // before that one is deleted.
    if (QWindow *own = stage->windowHandle(); own && own->parent() == g_foreign)
        own->setParent(nullptr);
    delete g_foreign;
    g_foreign = nullptr;
}

} // namespace chimewell::saver
