#pragma once

class QRegion;
class QWidget;

// The characters and their balloons on a desktop whose window manager
// ignores a client's moves or keeps nothing above: there they bypass the
// manager, so they stand where they are put, and the service itself keeps
// them above other windows.
namespace chimewell::agent::desktopstacking {

// `w` (a character or balloon window on the desktop) gets the flags it needs
// here and is kept above while it is shown; once a move is seen ignored, it
// is made to bypass the manager then.
void adopt(QWidget *w);
// Shapes `w` to `region`, so the pointer goes through its see-through parts
// and, without a compositor, they are not drawn. Where a compositor shows the
// alpha channel, only the input is shaped: Xwayland does not clip what it
// shows to a window's shape, and old frames would linger outside it.
void shape(QWidget *w, const QRegion &region);
// Whether our desktop windows bypass the window manager now.
bool bypassing();
// How often the shown windows are raised while they bypass the manager.
inline constexpr int kRaiseIntervalMs = 500;

} // namespace chimewell::agent::desktopstacking
