#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QObject;
class QWidget;

// What the screen saver takes from its surroundings besides the Part's own
// command line: the window a screen-saver daemon gives it to draw into, and
// the signal that ends it. Its waits are common/pause.h.
namespace chimewell::saver {

// The window the saver is asked to draw into, from xscreensaver's conventions:
// `-window-id ID` first, then XSCREENSAVER_WINDOW, then `-root`.
struct WindowRequest
{
    quint32 window = 0; // 0: none; the saver makes a window of its own
    QString problem;    // why an asked-for window cannot be used, for stderr
};

// Reads the arguments (without the program's name) and the value of
// XSCREENSAVER_WINDOW (`environmentSet` false when it is not set). Ids are
// decimal or 0x-hexadecimal.
WindowRequest windowRequest(const QStringList &arguments, const QString &environmentWindow, bool environmentSet);

// Asks the X server whether `window` is a window the saver can draw into;
// empty when it is, else why not.
QString checkWindow(quint32 window);

// Makes `stage` a child of the foreign `window`, covering it. The stage ends
// the program (endProgram) when that window goes away. False, with `problem`
// set, when the window cannot be used.
bool embedInWindow(QWidget *stage, quint32 window, QString *problem);
// Undoes embedInWindow before the stage goes.
void releaseWindow(QWidget *stage);

} // namespace chimewell::saver
