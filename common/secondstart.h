#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace chimewell {

// Lets a second start of a program reach the copy that runs. The running copy
// listens on a local socket in the runtime folder (readable by the user only);
// a second start connects to it with its command-line arguments before it
// ends, and the running copy raises secondStart() with them. The clock shows
// itself again on a plain second start, and does what the arguments ask
// otherwise.
class SecondStartListener final : public QObject
{
    Q_OBJECT
public:
    // Listens for `program`; call only while holding the program's
    // SingleInstance lock (a socket left by a crashed run is taken over).
    explicit SecondStartListener(const QString &program, QObject *parent = nullptr);
    ~SecondStartListener() override;

    bool isListening() const;

    // Tells the running copy of `program` that it was started again with
    // `arguments`; false when no copy listens or the message could not be
    // handed over. Waits at most `timeoutMs` for each step.
    static bool notifyRunning(const QString &program, const QStringList &arguments = {}, int timeoutMs = 1000);
    // The socket's path for `program`.
    static QString socketPath(const QString &program);

Q_SIGNALS:
    // The arguments of a second start (none for a plain start).
    void secondStart(const QStringList &arguments);

private:
    void acceptAll();

    QLocalServer *m_server;
};

} // namespace chimewell
