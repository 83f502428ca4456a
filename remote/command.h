#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace chimewell::remote {

// What the clock can be asked from outside: by its command line (also a
// second start's, passed to the running clock), the desktop entry's actions,
// D-Bus and the say-the-time key.
struct Command
{
    enum Kind {
        Show,     // shows the clock and keeps it shown
        SayTime,  // a character says the time, as a double click does
        Settings, // opens the settings dialog
        Say,      // character 1 says `text`, speech tags and all
    };
    Kind kind = Show;
    QString text;

    bool operator==(const Command &o) const { return kind == o.kind && text == o.text; }
};

// A command line, read.
struct CommandLine
{
    enum Outcome { Run, Help, Version, Error };
    Outcome outcome = Run;
    // In the order given; none for a plain start.
    QList<Command> commands;
    // What is wrong, for Error.
    QString error;
};

// Reads the clock's arguments (without the program's name).
CommandLine parseCommandLine(const QStringList &arguments);
// What --help prints.
QString helpText();

// The command of a desktop action, as org.freedesktop.Application's
// ActivateAction names it ("say-time", "show", "settings"; "say" with the
// text as its one parameter); nothing for an unknown action or a parameter
// it does not take.
std::optional<Command> actionCommand(const QString &action, const QVariantList &parameter);

// The desktop-file id, which is also the name on the session bus.
QString applicationId();

} // namespace chimewell::remote
