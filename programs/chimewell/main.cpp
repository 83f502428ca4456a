#include "clock/frm_clock.h"
#include "settings/New_User.h"

#include "common/dialogs.h"
#include "common/platform.h"
#include "common/program.h"
#include "common/singleinstance.h"
#include "voice/speaker.h"

#include <QApplication>

using namespace chimewell;

int main(int argc, char *argv[])
{
    // The characters and the clock place their own windows, which Wayland does
    // not allow: run on XWayland there.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Chimewell"));
    app.setApplicationVersion(QStringLiteral(CHIMEWELL_VERSION));
    app.setQuitOnLastWindowClosed(false);

    // A second start ends at once, before it shows anything.
    SingleInstance instance(QStringLiteral("chimewell"));
    if (!instance.isFirst())
        return 0;

    dialogs::installShowLog();

    clockcore::frm_clock clock;
    clock.onExit = [] { endProgram(); };

    setup::Components components;
    components.speechEngine = [] { return voice::engineAvailable(); };
    components.standardCharacters = [] {
        return !platform::findCharacterFile(QStringLiteral("max.acs")).isEmpty()
            && !platform::findCharacterFile(QStringLiteral("plany.acs")).isEmpty();
    };

    setup::New_User newUser(
        [&clock] {
            clock.Form_Load();
            clock.show();
        },
        [] {},
        components);
    newUser.Form_Load();
    return app.exec();
}
