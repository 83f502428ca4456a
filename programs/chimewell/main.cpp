#include "characters/clockcharacters.h"
#include "characters/clockwindow.h"
#include "clock/frm_clock.h"
#include "settings/New_User.h"

#include "common/dialogs.h"
#include "common/platform.h"
#include "common/program.h"
#include "common/singleinstance.h"
#include "common/termination.h"
#include "voice/speaker.h"

#include <QApplication>
#include <QLabel>

using namespace chimewell;

namespace {

// What the characters need of the clock window.
class ClockWindowAdapter final : public characters::ClockWindow
{
public:
    explicit ClockWindowAdapter(clockcore::frm_clock &clock) : m_clock(clock) {}

    QRect geometryTwips() const override
    {
        const QRect g = m_clock.frameGeometry();
        return QRect(g.x() * 15, g.y() * 15, g.width() * 15, g.height() * 15);
    }
    bool isClockVisible() const override { return m_clock.isVisible(); }
    void setClockVisible(bool visible) override { m_clock.setVisible(visible); }
    bool isMinimised() const override { return m_clock.isMinimized(); }
    void closeClock() override { m_clock.close(); }
    void endProgram() override { chimewell::endProgram(); }
    void hideSettingsDialog() override {}
    void closeSettingsDialog() override {}
    QWidget *dialogParent() override { return &m_clock; }

private:
    clockcore::frm_clock &m_clock;
};

} // namespace

int main(int argc, char *argv[])
{
    installTerminationHandler();
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
    ClockWindowAdapter window(clock);
    characters::ClockCharacters chars(window);
    clock.onSaytime = [&chars] { chars.saytime(); };
    clock.onAlarmclock = [&chars](const QString &a) { chars.alarmclock(a); };

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
        [&chars] { chars.checkboxes(); },
        components);
    newUser.Form_Load();
    return app.exec();
}
