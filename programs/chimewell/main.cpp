// The talking clock.
#include "clock/frm_clock.h"
#include "common/program.h"
#include "common/secondstart.h"
#include "settings/New_User.h"

#include <QTimer>

int main(int argc, char *argv[])
{
    chimewell::GuiProgram program(argc, argv);
    if (!program.claimInstance(QStringLiteral("chimewell")))
        return 0;
    chimewell::clockcore::frm_clock clock;
    chimewell::setup::New_User start(clock);
    // Starting Chimewell again brings back a hidden clock, also without a tray.
    QObject::connect(program.secondStarts(), &chimewell::SecondStartListener::secondStart, &clock,
                     &chimewell::clockcore::frm_clock::secondStart);
    // From inside the event loop, so an Exit at any moment of start-up ends it.
    QTimer::singleShot(0, &start, &chimewell::setup::New_User::Form_Load);
    return program.exec();
}
