#pragma once

#include <QString>
#include <QStringList>

namespace chimewell {

// Starts a program detached, with its arguments as a list and never through a
// shell. A missing or non-executable file is a failed start. Logged on
// chimewell.launch.
bool startProgram(const QString &program, const QStringList &arguments = {});
// Starts the program named by a stored command line (an alarm's Launch value):
// split the way a shell would split words, without running a shell.
bool startCommandLine(const QString &commandLine);
// Starts one of the programs shipped in the program folder.
bool startShipped(const QString &name, const QStringList &arguments = {});

} // namespace chimewell
