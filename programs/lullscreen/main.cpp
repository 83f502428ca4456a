// The screen saver: standalone for idle daemons and by hand, or as an
// xscreensaver hack drawing into the window it is given.
#include "common/program.h"
#include "common/termination.h"
#include "saver/agentmod.h"
#include "saver/frm_saver.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    using namespace chimewell;
    GuiProgram program(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    saver::WindowRequest asked = saver::windowRequest(arguments, qEnvironmentVariable("XSCREENSAVER_WINDOW"),
                                                      qEnvironmentVariableIsSet("XSCREENSAVER_WINDOW"));
    if (asked.window)
        asked.problem = saver::checkWindow(asked.window);
    if (!asked.problem.isEmpty()) {
        std::fprintf(stderr, "lullscreen: %s; running in a window of its own\n", qPrintable(asked.problem));
        asked.window = 0;
    }
    // One copy per window it draws into, so every monitor gets its performance.
    const QString lock = asked.window ? QStringLiteral("lullscreen-0x") + QString::number(asked.window, 16)
                                      : QStringLiteral("lullscreen");
    if (!program.claimInstance(lock))
        return 0;
    saver::frm_saver form(arguments.join(QLatin1Char(' ')), asked.window);
    // SIGTERM (xscreensaver ending the hack) puts the characters back first.
    onTermination(&form, [&form] { form.endSaver(); });
    QTimer::singleShot(0, &form, &saver::frm_saver::Form_Load);
    return program.exec();
}
