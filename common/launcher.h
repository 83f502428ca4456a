#pragma once

#include <QString>
#include <QStringList>

namespace chimewell {

// Starts a program detached, with its arguments as a list and never through a
// shell. A missing or non-executable file is a failed start. Logged on
// chimewell.launch.
bool startProgram(const QString &program, const QStringList &arguments = {});
// Starts the program named by a stored command line (an alarm's Launch value):
// split into words at blanks, double quotes grouping (no shell runs, and
// single quotes, variables and globs mean nothing). A command line that is
// itself the path of a file is that one program.
bool startCommandLine(const QString &commandLine);
// The program and its arguments as startCommandLine reads a command line;
// empty when it names none.
QStringList commandLineWords(const QString &commandLine);
// Starts one of the programs shipped in the program folder.
bool startShipped(const QString &name, const QStringList &arguments = {});

} // namespace chimewell
