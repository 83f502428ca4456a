#pragma once

#include <QColor>
#include <QString>

namespace chimewell::setup {

// What the settings dialog needs of the clock window that opens it. The clock
// implements it; the dialog never sees the clock's own classes, so settings/
// stays below clock/.
class SettingsHost
{
public:
    virtual ~SettingsHost() = default;

    // Makes a character speak: "genie" is character 1, any other text character 2.
    virtual void say(const QString &talk, const QString &who) = 0;
    // Lets the user pick a new character 1 / character 2. They hide the dialog
    // while the file dialog is open and close it when done.
    virtual void newcharacter() = 0;
    virtual void newcharacter2() = 0;
    // The clock label's text and background colours as the clock shows them now.
    virtual QColor clockForeColour() const = 0;
    virtual QColor clockBackColour() const = 0;
    // Repaints the clock label in a new text / background colour at once.
    virtual void setClockForeColour(const QColor &colour) = 0;
    virtual void setClockBackColour(const QColor &colour) = 0;
    // Redraws the clock at once in a time format ("0" 24 hour, "1" 12 hour am/pm).
    virtual void applyTimeFormat(const QString &format) = 0;
    // Starts the restart program and ends this run; nothing after it runs.
    virtual void restart() = 0;
    // Makes `key` (Qt's portable text, e.g. "Ctrl+Alt+T"; empty for none) the
    // key that says the time from anywhere. Empty when done; otherwise what
    // stands in the way, in words, and the key before stays.
    virtual QString setSayTimeKey(const QString &key)
    {
        Q_UNUSED(key);
        return QString();
    }
};

} // namespace chimewell::setup
