#pragma once

#include <functional>

namespace chimewell {

// Threads and pools of our own (picture decoding, speech synthesis, the
// recogniser) say here how to stop them, so that every one is stopped and
// joined while the application object still exists, however a program ends.
// GuiProgram stops them when its event loop is done and before the application
// object goes; for programs without one (tests, tools) the application's
// destructor does. A stop registered once that has happened runs at once.
// Thread-safe.
void onStopBackgroundWork(std::function<void()> stop);

// Runs every registered stop once, the newest first, then waits for the work
// on Qt's global thread pool. Call it from the UI thread.
void stopBackgroundWork();

// Whether stopBackgroundWork() has run: new work should not start.
bool backgroundWorkStopped();

} // namespace chimewell
