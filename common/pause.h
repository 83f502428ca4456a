#pragma once

namespace chimewell {

// Waits `seconds` (taken as a whole number from 0 to 255) while the program keeps
// handling its events: a nested event loop that sleeps until the time is up.
// With a TestClock installed it advances that clock and only lets pending events run.
void pause(double seconds);

} // namespace chimewell
