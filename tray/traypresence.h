#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>

class QDBusServiceWatcher;

namespace chimewell::tray {

// Looks for a tray to put the icon in: a StatusNotifierItem host on the
// session bus (KDE Plasma, GNOME with the AppIndicator extension, most
// panels) or an XEmbed tray on the X screen. It looks once and then listens:
// for the watcher's name on the bus and its host-registered signal, and for
// the MANAGER message an XEmbed tray sends to the root window when it takes
// its selection. A clock started at login before the panel still gets its
// icon once the panel is up, and an idle clock never wakes to look again.
//
// Qt settles between the two kinds of tray once per program, when the first
// tray icon is made: making none before a tray is there keeps that choice
// from being taken while the panel is still missing.
class TrayPresence final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit TrayPresence(QObject *parent = nullptr);
    ~TrayPresence() override;

    // Starts looking; found() is raised once, and the looking stops.
    void start();
    bool isLooking() const { return m_listening && !m_found; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void found();

private Q_SLOTS:
    // The bus's StatusNotifierHostRegistered signal (connected by name, as
    // the bus API wants a slot).
    void hostRegistered();

private:
    // Does the X screen have an XEmbed tray (an owner of _NET_SYSTEM_TRAY_Sn)?
    bool xembedTrayPresent() const;
    void listenOnX();
    void listenOnBus();
    void askBus();
    void foundNow();
    void stopListening();

    QDBusServiceWatcher *m_busWatcher = nullptr;
    std::uint32_t m_managerAtom = 0;
    std::uint32_t m_selectionAtom = 0;
    bool m_filtering = false;
    bool m_signalConnected = false;
    bool m_listening = false;
    bool m_asking = false;
    bool m_found = false;
};

} // namespace chimewell::tray
