#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace chimewell {

// Lets a second start of a program reach the copy that runs. The running copy
// listens on a local socket in the runtime folder (readable by the user only);
// a second start connects to it before it ends, and the running copy raises
// secondStart(). The clock uses it to show itself again when it was hidden and
// no tray is there to bring it back.
class SecondStartListener final : public QObject
{
    Q_OBJECT
public:
    // Listens for `program`; call only while holding the program's
    // SingleInstance lock (a socket left by a crashed run is taken over).
    explicit SecondStartListener(const QString &program, QObject *parent = nullptr);
    ~SecondStartListener() override;

    bool isListening() const;

    // Tells the running copy of `program` that it was started again; false
    // when no copy listens. Waits at most `timeoutMs` for the connection.
    static bool notifyRunning(const QString &program, int timeoutMs = 1000);
    // The socket's path for `program`.
    static QString socketPath(const QString &program);

Q_SIGNALS:
    void secondStart();

private:
    void acceptAll();

    QLocalServer *m_server;
};

} // namespace chimewell
