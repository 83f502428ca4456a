#include "tray/traypresence.h"

#include "common/platform.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace chimewell::tray {

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
// The bus is asked without waiting for the answer; a watcher that hangs
// is given up on after this long.
constexpr int kBusTimeoutMs = 3000;

// The X screen number of $DISPLAY (":0.1" is screen 1).
int screenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (dot < 0)
        return 0;
    bool ok = false;
    const int n = display.mid(dot + 1).toInt(&ok);
    return ok && n >= 0 ? n : 0;
}

xcb_connection_t *xConnection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const QByteArray &name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.constData()), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t a = reply->atom;
    std::free(reply);
    return a;
}

QByteArray selectionName()
{
    return "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber());
}

xcb_screen_t *screenOf(xcb_connection_t *c)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int n = screenNumber(); it.rem && n > 0; --n)
        xcb_screen_next(&it);
    return it.rem ? it.data : nullptr;
}

} // namespace

TrayPresence::TrayPresence(QObject *parent) : QObject(parent) {}

TrayPresence::~TrayPresence()
{
    stopListening();
}

void TrayPresence::start()
{
    if (m_found || m_listening)
        return;
    m_listening = true;
    // Listen first and look after, so a tray that comes in between is not missed.
    listenOnX();
    if (xembedTrayPresent()) {
        foundNow();
        return;
    }
    listenOnBus();
}

bool TrayPresence::xembedTrayPresent() const
{
    xcb_connection_t *c = xConnection();
    if (!c || m_selectionAtom == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_selectionAtom), nullptr);
    const bool present = owner && owner->owner != XCB_NONE;
    std::free(owner);
    return present;
}

void TrayPresence::listenOnX()
{
    xcb_connection_t *c = xConnection();
    xcb_screen_t *screen = c ? screenOf(c) : nullptr;
    if (!screen)
        return;
    m_managerAtom = atom(c, "MANAGER");
    m_selectionAtom = atom(c, selectionName());
    if (m_managerAtom == XCB_ATOM_NONE || m_selectionAtom == XCB_ATOM_NONE)
        return;
    // A tray announces itself to the root window's structure listeners. Qt
    // selects its own events on the root: add to them, never replace them.
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, screen->root), nullptr);
    if (!attributes)
        return;
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    std::free(attributes);
    if (xcb_request_check(c, xcb_change_window_attributes_checked(c, screen->root, XCB_CW_EVENT_MASK, &mask)))
        return;
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_filtering = true;
}

bool TrayPresence::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_found || eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto *client = static_cast<const xcb_client_message_event_t *>(message);
    if (client->format == 32 && client->type == m_managerAtom && client->data.data32[1] == m_selectionAtom)
        // Handled after the event, not inside Qt's dispatch of it.
        QMetaObject::invokeMethod(this, &TrayPresence::foundNow, Qt::QueuedConnection);
    return false;
}

void TrayPresence::listenOnBus()
{
    // No session bus in sight: do not have one started for us.
    if (!platform::sessionBusInSight())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // The panel comes up after us (its watcher's name appears), or its host
    // registers with a watcher already there.
    m_busWatcher = new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(m_busWatcher, &QDBusServiceWatcher::serviceRegistered, this, &TrayPresence::askBus);
    m_signalConnected = bus.connect(kWatcher, kWatcherPath, kWatcher, QStringLiteral("StatusNotifierHostRegistered"),
                                    this, SLOT(hostRegistered()));
    askBus();
}

void TrayPresence::hostRegistered()
{
    foundNow();
}

void TrayPresence::askBus()
{
    if (m_found || m_asking)
        return;
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    m_asking = true;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get, kBusTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isError() && reply.value().variant().toBool())
            foundNow();
    });
}

void TrayPresence::foundNow()
{
    if (m_found)
        return;
    m_found = true;
    stopListening();
    Q_EMIT found();
}

void TrayPresence::stopListening()
{
    if (m_filtering && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    m_filtering = false;
    if (m_signalConnected && QCoreApplication::instance())
        QDBusConnection::sessionBus().disconnect(kWatcher, kWatcherPath, kWatcher,
                                                 QStringLiteral("StatusNotifierHostRegistered"), this,
                                                 SLOT(hostRegistered()));
    m_signalConnected = false;
    delete m_busWatcher;
    m_busWatcher = nullptr;
}

} // namespace chimewell::tray
