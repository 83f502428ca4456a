// Restarts chimewell with new settings: started by chimewell just before it
// ends, it waits until that run has let go of its single-instance lock and
// then starts chimewell again from this program's folder.
#include "common/launcher.h"
#include "common/platform.h"
#include "common/singleinstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStringList>
#include <QThread>

#include <cstdio>

using namespace chimewell;

namespace {

enum Exit { Ok = 0, StillRunning = 1, Usage = 2, Missing = 3, StartFailed = 4 };

constexpr int kWaitMs = 5000;
constexpr int kPollMs = 100;

const char kHelp[] =
    "Usage: chimewell-restart [--program NAME]\n"
    "\n"
    "Waits up to 5 seconds for the running Chimewell to end, then starts it again.\n"
    "\n"
    "  --program NAME  start NAME (a file in this program's folder, or a path)\n"
    "                  instead of chimewell; its lock is still chimewell's\n"
    "  -h, --help      show this text\n";

int complain(int code, const QString &why)
{
    std::fprintf(stderr, "chimewell-restart: %s\n", qPrintable(why));
    return code;
}

// True once no other process holds chimewell's lock. The probe lets go of the
// lock at once, so the new run can take it.
bool oldRunEnded()
{
    const SingleInstance probe(QStringLiteral("chimewell"));
    return probe.isFirst();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    QString name = QStringLiteral("chimewell");
    while (!args.isEmpty()) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("-h") || opt == QLatin1String("--help")) {
            std::fputs(kHelp, stdout);
            return Ok;
        }
        if (opt == QLatin1String("--program") && !args.isEmpty())
            name = args.takeFirst();
        else if (opt.startsWith(QLatin1String("--program=")))
            name = opt.mid(10);
        else
            return complain(Usage, QStringLiteral("unknown argument %1 (try --help)").arg(opt));
        if (name.isEmpty())
            return complain(Usage, QStringLiteral("the program name is empty"));
    }
    const QString program = name.contains(QLatin1Char('/'))
        ? name
        : platform::programFolder() + QLatin1Char('/') + name;

    const QDeadlineTimer deadline(kWaitMs);
    bool ended = oldRunEnded();
    while (!ended && !deadline.hasExpired()) {
        QThread::msleep(kPollMs);
        ended = oldRunEnded();
    }
    if (!ended)
        return complain(StillRunning,
                        QStringLiteral("Chimewell is still running after %1 seconds; not starting it again")
                            .arg(kWaitMs / 1000));

    // Always through the launcher, so the start is logged like any other.
    if (startProgram(program))
        return Ok;
    const QFileInfo info(program);
    if (!info.exists())
        return complain(Missing, QStringLiteral("%1 does not exist").arg(program));
    if (!info.isFile() || !info.isExecutable())
        return complain(Missing, QStringLiteral("%1 is not an executable file").arg(program));
    return complain(StartFailed, QStringLiteral("could not start %1").arg(program));
}
