#include "common/secondstart.h"

#include "common/platform.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <memory>

namespace chimewell {

namespace {

// A second start's arguments are short; anything longer is not one.
constexpr qsizetype kMaxMessage = 64 * 1024;
// A caller that neither finishes nor goes away is dropped after this long.
constexpr int kPatienceMs = 5000;

} // namespace

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

bool SecondStartListener::notifyRunning(const QString &program, const QStringList &arguments, int timeoutMs)
{
    // Each argument followed by a zero byte; a plain start sends nothing, the
    // connection itself being the message.
    QByteArray message;
    for (const QString &a : arguments)
        message += a.toUtf8() + '\0';
    if (message.size() > kMaxMessage)
        return false;
    QLocalSocket socket;
    socket.connectToServer(socketPath(program), QIODevice::WriteOnly);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    if (socket.write(message) != message.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs))
            return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

void SecondStartListener::acceptAll()
{
    while (QLocalSocket *s = m_server->nextPendingConnection()) {
        auto received = std::make_shared<QByteArray>();
        auto *patience = new QTimer(s);
        patience->setSingleShot(true);
        connect(patience, &QTimer::timeout, s, [s] {
            s->disconnect();
            s->abort();
            s->deleteLater();
        });
        patience->start(kPatienceMs);
        auto take = [s, received] {
            received->append(s->readAll());
            return received->size() <= kMaxMessage;
        };
        connect(s, &QLocalSocket::readyRead, this, [s, take] {
            if (!take()) {
                s->disconnect();
                s->abort();
                s->deleteLater();
            }
        });
        connect(s, &QLocalSocket::disconnected, this, [this, s, take, received] {
            s->disconnect();
            s->deleteLater();
            if (!take())
                return;
            QStringList arguments;
            // Older copies sent one byte without a zero: a plain start.
            if (received->contains('\0')) {
                const QList<QByteArray> parts = received->split('\0');
                for (qsizetype i = 0; i + 1 < parts.size(); ++i)
                    arguments << QString::fromUtf8(parts.at(i));
            }
            Q_EMIT secondStart(arguments);
        });
    }
}

} // namespace chimewell
