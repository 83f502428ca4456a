#pragma once

#include "common/platform.h"

// Controls of the platform module that tests link in place of the real one:
// autostart and the browser are remembered, not done, and the component check
// and time slept say what the test sets.
namespace chimewell::platform::dummy {

struct State
{
    QString programFolder; // empty: the test program's own folder
    bool autostartEntry = false;
    bool autostartFails = false; // adding and removing the entry fail
    OpenResult openResult = OpenResult::Opened;
    QStringList opened; // every address asked to open
    bool speechEngine = true;
    qint64 suspendedMs = 0;
};

// The state every platform call reads and writes; reset() restores the defaults.
State &state();
void reset();
// Calls the onWallClockChange watchers that are still alive, as the real
// platform does when the clock is set.
void changeWallClock();

} // namespace chimewell::platform::dummy
