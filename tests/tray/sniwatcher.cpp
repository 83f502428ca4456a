// A StatusNotifierWatcher for the end-to-end tests, with a host of its own:
// it takes the watcher's name on the session bus, prints "registered
// <service>" for each item that registers, reads the item's menu and prints
// "menu <path>", then activates the item (a left click in a real panel) and
// prints "activated".
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class Watcher final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    QStringList items() const { return m_items; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message)
    {
        // An item may give its object path instead of a name: the sender is the name then.
        const QString name = service.startsWith(QLatin1Char('/')) ? message.service() : service;
        const QString path = service.startsWith(QLatin1Char('/')) ? service : QStringLiteral("/StatusNotifierItem");
        m_items << name;
        say(QStringLiteral("registered ") + name);
        Q_EMIT StatusNotifierItemRegistered(name);
        QTimer::singleShot(200, this, [name, path] { poke(name, path); });
    }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    static void poke(const QString &name, const QString &path)
    {
        QDBusInterface props(name, path, QStringLiteral("org.freedesktop.DBus.Properties"));
        const QDBusMessage menu = props.call(QStringLiteral("Get"), QStringLiteral("org.kde.StatusNotifierItem"),
                                             QStringLiteral("Menu"));
        if (menu.type() == QDBusMessage::ReplyMessage && !menu.arguments().isEmpty())
            say(QStringLiteral("menu ") + menu.arguments().first().value<QDBusVariant>().variant().value<QDBusObjectPath>().path());
        if (qEnvironmentVariableIsSet("SNI_NO_ACTIVATE"))
            return;
        QDBusInterface item(name, path, QStringLiteral("org.kde.StatusNotifierItem"));
        const QDBusMessage reply = item.call(QStringLiteral("Activate"), 10, 10);
        say(reply.type() == QDBusMessage::ReplyMessage ? QStringLiteral("activated") : QStringLiteral("activate failed"));
    }

    QStringList m_items;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                                | QDBusConnection::ExportAllProperties)
        || !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        say(QStringLiteral("cannot take the watcher's name"));
        return 1;
    }
    say(QStringLiteral("watching"));
    return app.exec();
}

#include "sniwatcher.moc"
