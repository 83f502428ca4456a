#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

namespace chimewell {

// Turns SIGTERM and SIGHUP (the session ending at logout) and SIGINT (Ctrl-C
// in a terminal) into a clean quit
// through the event loop, so the windows close, main() returns and the
// single-instance lock is freed. A write to the store is never cut off: the
// signal only wakes the event loop. Safe to call before the application
// object exists (a signal that comes early is acted on once it does) and more
// than once. Returns false when the handler could not be installed.
bool installTerminationHandler();

// What a termination signal does instead of a plain endProgram(): `handler`
// runs on the UI thread while `context` lives (a screen saver puts its
// characters back first). The handler is expected to end the program.
void onTermination(QObject *context, std::function<void()> handler);

} // namespace chimewell
