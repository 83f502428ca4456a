#pragma once

namespace chimewell::tray {

// What the tray's handlers need of the clock window that owns the tray form.
class TrayHost
{
public:
    virtual ~TrayHost() = default;

    // A character says the time.
    virtual void saytime() = 0;
    // Shows or hides the clock window (the characters stay where they are).
    virtual void setClockShown(bool shown) = 0;
    // Shows the settings dialog, not modal, on tab `tab`.
    virtual void showSettings(int tab) = 0;
    // Shows the about box, not modal.
    virtual void showAbout() = 0;
    // Removes the tray icon, drops the tray form and ends the program at once.
    virtual void exitFromTray() = 0;
};

} // namespace chimewell::tray
