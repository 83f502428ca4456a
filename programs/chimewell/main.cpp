// The talking clock.
#include "clock/frm_clock.h"
#include "common/program.h"
#include "common/secondstart.h"
#include "common/version.h"
#include "remote/applicationbus.h"
#include "remote/command.h"
#include "settings/New_User.h"

#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

namespace {

void print(std::FILE *to, const QString &text) { std::fputs(text.toLocal8Bit().constData(), to); }

} // namespace

int main(int argc, char *argv[])
{
    using namespace chimewell;

    // The help and the version need no display.
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const remote::CommandLine early = remote::parseCommandLine(raw);
    if (early.outcome == remote::CommandLine::Help) {
        print(stdout, remote::helpText());
        return 0;
    }
    if (early.outcome == remote::CommandLine::Version) {
        print(stdout, QStringLiteral("chimewell " CHIMEWELL_VERSION "\n"));
        return 0;
    }

    GuiProgram program(argc, argv);
    // Qt has taken its own options (-display, -platform...) by now.
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const remote::CommandLine line = remote::parseCommandLine(arguments);
    if (line.outcome == remote::CommandLine::Error) {
        print(stderr, QStringLiteral("chimewell: %1\nTry chimewell --help.\n").arg(line.error));
        return 2;
    }
    if (!program.claimInstance(QStringLiteral("chimewell"), arguments)) {
        if (program.runningCopyTold())
            return 0;
        print(stderr, QStringLiteral("chimewell: a clock runs but did not answer.\n"));
        return 1;
    }
    QGuiApplication::setDesktopFileName(remote::applicationId());

    clockcore::frm_clock clock;
    setup::New_User start(clock);
    // Started again: a hidden clock shows itself, also without a tray, or the
    // clock does what the new start was asked.
    QObject::connect(program.secondStarts(), &SecondStartListener::secondStart, &clock,
                     &clockcore::frm_clock::secondStart);
    remote::ApplicationBus bus;
    QObject::connect(&bus, &remote::ApplicationBus::command, &clock, &clockcore::frm_clock::runCommand);
    bus.start();
    // Done once the clock is there.
    for (const remote::Command &c : line.commands)
        clock.runCommand(c);
    // From inside the event loop, so an Exit at any moment of start-up ends it.
    QTimer::singleShot(0, &start, &setup::New_User::Form_Load);
    return program.exec();
}
