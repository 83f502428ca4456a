#pragma once

namespace chimewell {

// Ends the program at once: every window goes, the event loops (nested ones
// of a pause included) stop, and main() returns.
void endProgram(int code = 0);
// True once endProgram has been called; long handlers check it after a pause.
bool isEnding();
// Starts the restart program from the program folder, then ends this run.
void restartProgram();

} // namespace chimewell
