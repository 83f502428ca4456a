#include "common/secondstart.h"

#include "common/platform.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace chimewell {

SecondStartListener::SecondStartListener(const QString &program, QObject *parent)
    : QObject(parent), m_server(new QLocalServer(this))
{
    const QString path = socketPath(program);
    // The lock is ours, so a socket file still there is a crashed run's.
    QLocalServer::removeServer(path);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SecondStartListener::acceptAll);
    // Without the socket a second start simply ends, as it always did.
    (void)m_server->listen(path);
}

SecondStartListener::~SecondStartListener() = default;

bool SecondStartListener::isListening() const { return m_server->isListening(); }

QString SecondStartListener::socketPath(const QString &program)
{
    return platform::runtimeFolder() + QLatin1Char('/') + program + QStringLiteral(".socket");
}

bool SecondStartListener::notifyRunning(const QString &program, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(program), QIODevice::WriteOnly);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // The connection itself is the message; one byte makes it plain.
    socket.write("1", 1);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

void SecondStartListener::acceptAll()
{
    while (QLocalSocket *s = m_server->nextPendingConnection()) {
        s->close();
        s->deleteLater();
        Q_EMIT secondStart();
    }
}

} // namespace chimewell
