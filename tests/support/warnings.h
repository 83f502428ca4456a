#pragma once

namespace chimewell::testing {

// Makes the running test function fail on any warning but the few that a
// headless machine always gives (no window system features, no sound server,
// no runtime folder). Tests that expect a warning say so with
// QTest::ignoreMessage. Call it from init().
void failOnUnexpectedWarnings();

} // namespace chimewell::testing
