#pragma once

#include "common/screenarea.h"

#include <QRect>

class QWidget;

namespace chimewell::characters {

// What the character handling needs of the clock window that owns it.
class ClockWindow
{
public:
    virtual ~ClockWindow() = default;

    // The clock window's Left, Top, Width and Height in twips.
    virtual QRect geometryTwips() const = 0;
    // Twips per pixel, horizontally and vertically (15 on every screen here).
    virtual double twipsPerPixelX() const { return 15.0; }
    virtual double twipsPerPixelY() const { return 15.0; }
    // The desktop's monitors; the characters stand on the one holding the clock.
    virtual QList<screenarea::Monitor> monitors() const { return screenarea::monitors(); }
    virtual bool isClockVisible() const = 0;
    virtual void setClockVisible(bool visible) = 0;
    // True when the window is minimised (iconified).
    virtual bool isMinimised() const = 0;
    // Closes the clock window as its own Exit does, which ends the program.
    virtual void closeClock() = 0;
    // Removes the tray icon and ends the program at once.
    virtual void endProgram() = 0;
    // The settings dialog, when it exists.
    virtual void hideSettingsDialog() = 0;
    virtual void closeSettingsDialog() = 0;
    // Parent for dialogs the character handling opens.
    virtual QWidget *dialogParent() = 0;
};

} // namespace chimewell::characters
