#pragma once

#include "remote/command.h"

#include <QObject>

namespace chimewell::remote {

// The clock on the session bus, the freedesktop way: it owns the name of its
// desktop-file id and serves org.freedesktop.Application on the path derived
// from it, so `gapplication action` and desktop shells reach it. Activate
// shows the clock; ActivateAction runs the desktop actions' commands. Calls
// from another user are refused. Without a session bus nothing happens and
// nothing is said.
class ApplicationBus final : public QObject
{
    Q_OBJECT
public:
    explicit ApplicationBus(QObject *parent = nullptr);
    ~ApplicationBus() override;

    // Takes the name and serves the interface; false without a bus or when
    // the name is someone else's.
    bool start();
    bool isServing() const { return m_serving; }

    // The object path for a desktop-file id: dots become slashes, dashes
    // underscores, and a slash goes in front.
    static QString objectPath(const QString &applicationId);

Q_SIGNALS:
    // Raised after the call has been answered, from the event loop.
    void command(const chimewell::remote::Command &command);

private:
    class Service;
    Service *m_service = nullptr;
    bool m_serving = false;
};

} // namespace chimewell::remote
