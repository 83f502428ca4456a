#pragma once

#include "characters/clockwindow.h"
#include "clock/ticklogic.h"
#include "common/labelwindow.h"
#include "remote/command.h"
#include "settings/New_User.h"
#include "settings/settingshost.h"
#include "tray/trayhost.h"

#include <QHash>
#include <QPointer>
#include <memory>

class QAction;
class QMenu;
class QTimer;

namespace chimewell {
class KeyGrab;
}

namespace chimewell::characters {
class ClockCharacters;
}
namespace chimewell::setup {
class frm_settings;
}

namespace chimewell::tray {
class frmSysTray;
}

namespace chimewell::clockcore {

class frm_about;

// The clock window: a small frameless window holding the time label, the
// minute tick and the context menu. It owns, for the whole run, the two
// characters (Agent1 and Agent2, in ClockCharacters); the tray form and the
// settings dialog join it here, each reaching back through an interface of
// its own folder, as the characters do through characters::ClockWindow.
//
// Its handlers live in files by subject: frm_clock.cpp (the form, loading,
// closing), frm_clock_tick.cpp (the minute tick), frm_clock_menus.cpp (the
// mouse and the menus), frm_clock_characters.cpp (speech and the characters),
// frm_clock_settings.cpp (the settings dialog), frm_clock_remote.cpp (what
// is asked from outside: a second start, D-Bus, the say-the-time key).
class frm_clock final : public LabelWindow,
                        public characters::ClockWindow,
                        public setup::ClockStart,
                        public setup::SettingsHost,
                        public tray::TrayHost
{
    Q_OBJECT
public:
    explicit frm_clock(QWidget *parent = nullptr);
    ~frm_clock() override;

    // Prepares the window from the stored settings (position, colours, mode,
    // format, add-ons that start with the clock).
    void Form_Load();

    void saytime() override;
    void alarmclock(const QString &a);

    // One pass of the timer `clock`.
    void clock_Timer();

    characters::ClockCharacters &clockCharacters() const { return *m_characters; }
    QLabel *lab_time() const { return label(); }
    QMenu *mnu_settings() const { return m_menu; }
    QAction *menuEntry(const QString &name) const { return m_entries.value(name); }
    bool waitingForMinute() const { return m_waitingForMinute; }
    int minuteNow() const { return m_minuteNow; }
    // The next tick's delay in milliseconds (for tests and the log).
    int tickInterval() const;

    // setup::ClockStart
    void showClock() override;
    void checkboxes() override;

    // characters::ClockWindow
    QRect geometryTwips() const override;
    bool isClockVisible() const override { return isVisible(); }
    void setClockVisible(bool visible) override { setVisible(visible); }
    bool isMinimised() const override { return isMinimized(); }
    void closeClock() override { close(); }
    void endProgram() override;
    void hideSettingsDialog() override;
    void closeSettingsDialog() override;
    QWidget *dialogParent() override { return this; }

    // Opens the settings dialog (loading it first if it is not open) and
    // selects a tab: 0 alarm 1, 2 characters, 3 colours, 5 type and speak, 6 misc.
    void showSettings(int tab) override;
    // The open settings dialog, if any.
    setup::frm_settings *settingsDialog() const;

    // setup::SettingsHost
    void say(const QString &talk, const QString &who) override;
    void newcharacter() override;
    void newcharacter2() override;
    QColor clockForeColour() const override;
    QColor clockBackColour() const override;
    void setClockForeColour(const QColor &colour) override;
    void setClockBackColour(const QColor &colour) override;
    void applyTimeFormat(const QString &format) override;
    void restart() override;
    QString setSayTimeKey(const QString &key) override;

    // tray::TrayHost
    void setClockShown(bool shown) override;
    void showAbout() override;
    void exitFromTray() override;

    // The tray form, null once it is unloaded.
    tray::frmSysTray *trayForm() const { return m_frmSysTray; }
    frm_about *aboutBox() const { return m_about; }
    // Does what is asked from outside, from the event loop, once the clock is
    // loaded; speech, in its order, once the characters are on and character
    // 1 has greeted.
    void runCommand(const remote::Command &command);
    // The program was started again with `arguments`: a plain start shows the
    // clock and keeps it shown; otherwise it does what they ask.
    void secondStart(const QStringList &arguments = {});

    // The menu handlers (mouse handlers are LabelWindow's).
    void mnu_movehome_Click();
    void mnu_drillquiz_Click();
    void mnu_showdate_Click();
    void mnu_millenium_Click();
    void mnu_jollix_Click();
    void mnu_hideshow_Click();
    void mnu_about_Click();
    // What hiding the clock without a tray tells: how to bring it back.
    static QString howToShowText();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenu();
    // Connects the menu entries that open the settings dialog.
    void connectSettingsEntries();
    void lab_time_DblClick();
    void mnu_exit_Click();
    // Starts the add-on behind menu entry `entry`, as its entry asks.
    void startAddOn(const char *entry);
    void unloadTray();
    // Once loaded: holds the say-the-time key and runs what waited.
    void startTakingCommands();
    // The characters are being loaded: speech that waited follows the greeting.
    void charactersComing();
    void runHeldCommands();
    void showFromOutside();
    void applyFormat(const QString &format);
    void handleMinute(const QDateTime &minute, bool present);
    void scheduleNextTick();
    qint64 suspendedSinceLastTick();

    QTimer *m_clock = nullptr;
    QMenu *m_menu = nullptr;
    QHash<QString, QAction *> m_entries;
    std::unique_ptr<characters::ClockCharacters> m_characters;
    QPointer<setup::frm_settings> m_settings;
    tray::frmSysTray *m_frmSysTray = nullptr;
    frm_about *m_about = nullptr;
    bool m_loaded = false;
    bool m_toldHowToShow = false;
    QList<remote::Command> m_commands;
    bool m_charactersOn = false;
    KeyGrab *m_sayTimeKey = nullptr;

    bool m_waitingForMinute = true;
    int m_minuteNow = 0;
    bool m_inTick = false;
    MinuteSchedule m_schedule;
    qint64 m_lastSuspendedMs = -1;
};

} // namespace chimewell::clockcore
