#pragma once

namespace chimewell {

// Waits `seconds` (taken as a whole number from 0 to 255) while the program keeps
// handling its events: a nested event loop that sleeps until the time is up.
// Returns false when the program is ending (at once, or as soon as it began to
// end during the wait): the caller's handler then stops where it is.
[[nodiscard]] bool pause(double seconds);

} // namespace chimewell
