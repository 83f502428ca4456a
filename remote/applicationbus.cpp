#include "remote/applicationbus.h"

#include "common/platform.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <unistd.h>

namespace chimewell::remote {

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

} // namespace

class ApplicationBus::Service final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit Service(ApplicationBus &bus) : QObject(&bus), m_bus(bus) {}

public Q_SLOTS:
    void Activate(const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        runForOwnUser(Command{Command::Show, QString()});
    }

    // Chimewell opens no files: as a plain start.
    void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        Q_UNUSED(uris);
        Activate(platformData);
    }

    void ActivateAction(const QString &action, const QVariantList &parameter, const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        QVariantList values;
        for (const QVariant &v : parameter)
            values.append(v.canConvert<QDBusVariant>() ? v.value<QDBusVariant>().variant() : v);
        const std::optional<Command> c = actionCommand(action, values);
        if (!c) {
            sendErrorReply(
                QDBusError::InvalidArgs,
                QStringLiteral("Chimewell has no action %1 taking %2 parameters").arg(action).arg(values.size()));
            return;
        }
        runForOwnUser(*c);
    }

private:
    // Answers once the bus has said who called: a session bus may be opened
    // to other users, the clock is not.
    void runForOwnUser(const Command &c)
    {
        setDelayedReply(true);
        const QDBusMessage call = message();
        QDBusConnection bus = connection();
        auto *who = new QDBusPendingCallWatcher(
            bus.interface()->asyncCall(QStringLiteral("GetConnectionUnixUser"), call.service()), this);
        connect(who, &QDBusPendingCallWatcher::finished, this,
                [this, call, bus, c](QDBusPendingCallWatcher *w) mutable {
                    w->deleteLater();
                    const QDBusPendingReply<uint> uid = *w;
                    if (uid.isError() || uid.value() != uint(::getuid())) {
                        bus.send(call.createErrorReply(QDBusError::AccessDenied,
                                                       QStringLiteral("Chimewell answers its own user only")));
                        return;
                    }
                    bus.send(call.createReply());
                    Q_EMIT m_bus.command(c);
                });
    }

    ApplicationBus &m_bus;
};

ApplicationBus::ApplicationBus(QObject *parent) : QObject(parent), m_service(new Service(*this)) {}

ApplicationBus::~ApplicationBus()
{
    if (!m_serving)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(applicationId());
    bus.unregisterObject(objectPath(applicationId()));
}

bool ApplicationBus::start()
{
    if (m_serving)
        return true;
    if (!platform::sessionBusInSight())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QString id = applicationId();
    const QString path = objectPath(id);
    if (!bus.registerObject(path, kInterface, m_service, QDBusConnection::ExportAllSlots))
        return false;
    if (!bus.registerService(id)) {
        bus.unregisterObject(path);
        return false;
    }
    m_serving = true;
    return true;
}

QString ApplicationBus::objectPath(const QString &applicationId)
{
    QString path = QLatin1Char('/') + applicationId;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    path.replace(QLatin1Char('-'), QLatin1Char('_'));
    return path;
}

} // namespace chimewell::remote

#include "applicationbus.moc"
