#include "tray/traypresence.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace chimewell::tray {

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

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

} // namespace

TrayPresence::TrayPresence(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(kIntervalMs);
    // A slow look-out: no need to wake the machine often for it.
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TrayPresence::look);
}

void TrayPresence::start()
{
    if (m_found)
        return;
    m_timer.start();
    look();
}

bool TrayPresence::xembedTrayPresent()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber());
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, name.size(), name.constData()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool present = owner && owner->owner != XCB_NONE;
    std::free(owner);
    return present;
}

void TrayPresence::look()
{
    if (m_found)
        return;
    if (xembedTrayPresent()) {
        foundNow();
        return;
    }
    if (m_asking)
        return;
    // No session bus in sight: do not have one started for us.
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")
        && !QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus")))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    m_asking = true;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(get, kIntervalMs), this);
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
    m_timer.stop();
    Q_EMIT found();
}

} // namespace chimewell::tray
