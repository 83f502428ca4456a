#pragma once

#include <QObject>
#include <QTimer>

namespace chimewell::tray {

// Looks for a tray to put the icon in: a StatusNotifierItem host on the
// session bus (KDE Plasma, GNOME with the AppIndicator extension, most
// panels) or an XEmbed tray on the X screen. It looks at once and then every
// few seconds, so a clock started at login before the panel still gets its
// icon once the panel is up. The bus is asked without waiting for the answer.
//
// Qt settles between the two kinds of tray once per program, when the first
// tray icon is made: making none before a tray is there keeps that choice
// from being taken while the panel is still missing.
class TrayPresence final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 3000;

    explicit TrayPresence(QObject *parent = nullptr);
    // Starts looking; found() is raised once, and the looking stops.
    void start();
    bool isLooking() const { return m_timer.isActive(); }

    // Does the X screen have an XEmbed tray (an owner of _NET_SYSTEM_TRAY_Sn)?
    static bool xembedTrayPresent();

Q_SIGNALS:
    void found();

private:
    void look();
    void foundNow();

    QTimer m_timer;
    bool m_asking = false;
    bool m_found = false;
};

} // namespace chimewell::tray
