#include "common/launcher.h"

#include "common/log.h"
#include "common/platform.h"

#include <QFileInfo>
#include <QProcess>

namespace chimewell {

bool startProgram(const QString &program, const QStringList &arguments)
{
    const QString line = (QStringList{program} + arguments).join(QLatin1Char(' '));
    bool ok = false;
    const QFileInfo info(program);
    // A bare name is looked up on PATH by QProcess; a path must be an executable file.
    if (!program.isEmpty() && (!program.contains(QLatin1Char('/')) || (info.isFile() && info.isExecutable())))
        ok = QProcess::startDetached(program, arguments);
    qCInfo(lcLaunch).noquote() << "start" << line << (ok ? "ok" : "failed");
    return ok;
}

QStringList commandLineWords(const QString &commandLine)
{
    // A stored path with blanks but no quotes ("/opt/My Tools/run") is one program.
    if (!commandLine.isEmpty() && QFileInfo(commandLine).isFile())
        return {commandLine};
    return QProcess::splitCommand(commandLine);
}

bool startCommandLine(const QString &commandLine)
{
    QStringList words = commandLineWords(commandLine);
    if (words.isEmpty()) {
        qCInfo(lcLaunch).noquote() << "start" << commandLine << "failed";
        return false;
    }
    const QString program = words.takeFirst();
    return startProgram(program, words);
}

bool startShipped(const QString &name, const QStringList &arguments)
{
    return startProgram(platform::programFolder() + QLatin1Char('/') + name, arguments);
}

} // namespace chimewell
