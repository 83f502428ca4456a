// The clock window's mouse, its keyboard and its context menu, the add-on
// launchers, and the clock's side of the tray icon.
#include "clock/frm_clock.h"

#include "agent/agent.h"
#include "characters/clockcharacters.h"
#include "clock/frm_about.h"
#include "clock/weblink.h"
#include "common/dialogs.h"
#include "common/launcher.h"
#include "common/pause.h"
#include "common/program.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"
#include "common/version.h"
#include "tray/frmSysTray.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include <functional>

namespace chimewell::clockcore {

namespace {

// The add-ons the menu starts from the program folder, and what it says.
struct AddOn
{
    const char *entry;
    const char *file;
    const char *autostartKey; // null: the clock ends once the add-on runs
    const char *question;
    const char *spoken;
    const char *missing;
};

const AddOn kAddOns[] = {
    {"mnu_showdate", "date", keys::DateStart, "Do you want the date to start everytime you start Chimewell?",
     "You need the Date add on. Do you want to go to the Chimewell web site?",
     "You don`t have the `Date` add on. You can download this for free, from the Chimewell web site. Do you want to "
     "go to the web site now?"},
    {"mnu_millenium", "millenium", keys::MilleniumStart,
     "Do you want Millenium add on to start everytime you start Chimewell?",
     "You need the Millenium add on. Do you want to go to the Chimewell web site?",
     "You don`t have the `Millenium` add on. You can download this for free, from the Chimewell web site. Do you "
     "want to go to the web site now?"},
    {"mnu_drillquiz", "drillquiz", nullptr, nullptr,
     "You need the Times Tables add on. Do you want to go to the Chimewell web site?",
     "You don`t have the `Tames Tables` add on. You can download this for free, from the Chimewell web site. Do you "
     "want to go to the web site now?"},
    {"mnu_jollix", "jollix", nullptr, nullptr, "You need the Jollix add on. Do you want to go to the Chimewell web site?",
     "You don`t have the `JOLLIX` add on. You can download this for free, from the Chimewell web site. Do you want "
     "to go to the web site now?"},
};

const QString kAttention = QStringLiteral("Attention!");

// The clock from the keyboard: once it has the focus (a click, Tab, the
// window manager's switcher), the menu key or Shift+F10 opens its menu and
// Enter or Space says the time, as the right button and a double click do.
// The label's frame shows where the focus is.
class ClockKeys final : public QObject
{
public:
    ClockKeys(QWidget *clock, QLabel *label, std::function<void()> openMenu, std::function<void()> sayTime)
        : QObject(clock), m_label(label), m_openMenu(std::move(openMenu)), m_sayTime(std::move(sayTime))
    {
        clock->setFocusPolicy(Qt::StrongFocus);
        clock->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            m_label->setFrameStyle(event->type() == QEvent::FocusIn ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
            m_label->setLineWidth(2);
            break;
        case QEvent::KeyPress: {
            const auto *key = static_cast<QKeyEvent *>(event);
            const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
            if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
                m_openMenu();
                return true;
            }
            if (mods == Qt::NoModifier && !key->isAutoRepeat() &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space)) {
                m_sayTime();
                return true;
            }
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QLabel *m_label;
    std::function<void()> m_openMenu;
    std::function<void()> m_sayTime;
};

} // namespace

void frm_clock::buildMenu()
{
    struct Entry
    {
        int level;
        const char *name;
        const char *caption;
    };
    static const Entry tree[] = {
        {1, "mnu_character", "Characters"},
        {2, "mnu_movehome", "Summon the characters to the clock"},
        {2, "mnu_chcharacters", "Change characters and settings"},
        // The characters' own menus answer the mouse only: their commands
        // window is where the keyboard reaches them.
        {2, "mnu_commands", "Open Commands Window"},
        {1, "hyp1", "-"},
        {1, "mnu_addons", "Add On's and FUN"},
        {2, "mnu_drillquiz", "Start the Times Tables add on"},
        {2, "mnu_showdate", "Show the date add on"},
        {2, "mnu_millenium", "Show the Millenium add on"},
        {2, "mnu_jollix", "Start the Jollix add on"},
        {2, "mnu_tands", "Type and Speak !"},
        {1, "hellohyp", "-"},
        {1, "mnu_clock", "Clock options"},
        {2, "mnu_format", "Alter time format (12 or 24 hour)"},
        {2, "mnu_colours", "Change colours"},
        {2, "mnu_hideshow", "Hide the clock"},
        {1, "hyp999", "-"},
        {1, "mnu_settings1", "Main Options"},
        {1, "hyp3", "-"},
        {1, "mnu_about", "About Chimewell"},
        {1, "hyp011", "-"},
        {1, "mnu_exit", "Exit"},
    };
    m_menu = new QMenu(QStringLiteral("Settings"), this);
    m_menu->setObjectName(QStringLiteral("mnu_settings"));
    QMenu *sub = nullptr;
    for (const Entry &e : tree) {
        const QString name = QLatin1String(e.name);
        const QString caption = QLatin1String(e.caption);
        QMenu *parentMenu = e.level == 1 ? m_menu : sub;
        QAction *action = nullptr;
        if (caption == QLatin1String("-")) {
            action = parentMenu->addSeparator();
        } else if (e.level == 1 && (name == QLatin1String("mnu_character") || name == QLatin1String("mnu_addons")
                                    || name == QLatin1String("mnu_clock"))) {
            sub = parentMenu->addMenu(caption);
            sub->setObjectName(name);
            action = sub->menuAction();
        } else {
            action = parentMenu->addAction(caption);
        }
        action->setObjectName(name);
        m_entries.insert(name, action);
    }
    setPopupMenu(m_menu);

    // The entries that open the settings dialog are wired by the dialog's own file.
    const std::pair<const char *, void (frm_clock::*)()> handlers[] = {
        {"mnu_movehome", &frm_clock::mnu_movehome_Click},   {"mnu_drillquiz", &frm_clock::mnu_drillquiz_Click},
        {"mnu_showdate", &frm_clock::mnu_showdate_Click},   {"mnu_millenium", &frm_clock::mnu_millenium_Click},
        {"mnu_jollix", &frm_clock::mnu_jollix_Click},       {"mnu_hideshow", &frm_clock::mnu_hideshow_Click},
        {"mnu_about", &frm_clock::mnu_about_Click},         {"mnu_exit", &frm_clock::mnu_exit_Click},
    };
    for (const auto &[name, handler] : handlers)
        connect(m_entries.value(QLatin1String(name)), &QAction::triggered, this, handler);
    connect(m_entries.value(QStringLiteral("mnu_commands")), &QAction::triggered, this,
            &agent::AgentControl::showCommandsWindow);
    connectSettingsEntries();

    new ClockKeys(
        this, label(),
        [this] {
            // Under the clock; the arrow keys walk it from there.
            m_menu->popup(mapToGlobal(QPoint(0, height())));
        },
        [this] { lab_time_DblClick(); });
}

void frm_clock::lab_time_DblClick()
{
    saytime();
    (void)pause(1);
}

void frm_clock::mnu_exit_Click() { close(); }

void frm_clock::mnu_movehome_Click() { m_characters->GenieMove(); }

void frm_clock::mnu_hideshow_Click()
{
    // Hidden until the tray's "show", or a second start, brings it back.
    hide();
    store::setValue(QLatin1String(keys::Data), QLatin1String(keys::minimise), QStringLiteral("True"));
    // Without a tray nothing on the screen would bring it back: the way is
    // told, once a run, so it is not lost and not nagged about.
    if (m_toldHowToShow || (m_frmSysTray && m_frmSysTray->isIconShown()))
        return;
    m_toldHowToShow = true;
    dialogs::inform(nullptr, QStringLiteral("Chimewell"), howToShowText());
}

QString frm_clock::howToShowText()
{
    // The command as the user can type it: the bare name where it is on the
    // PATH (an installed clock), the full path of this one otherwise.
    const QString self = QCoreApplication::applicationFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("chimewell"));
    QString command = !onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == QFileInfo(self).canonicalFilePath()
                          ? QStringLiteral("chimewell")
                          : self;
    if (command.contains(QLatin1Char(' ')))
        command = QLatin1Char('"') + command + QLatin1Char('"');
    return QStringLiteral("The clock is hidden. To bring it back, choose \"Show the clock\" from Chimewell in the "
                          "applications menu, start Chimewell again, or run:\n\n%1 --show")
        .arg(command);
}

void frm_clock::mnu_about_Click() { showAbout(); }

void frm_clock::mnu_drillquiz_Click() { startAddOn("mnu_drillquiz"); }
void frm_clock::mnu_showdate_Click() { startAddOn("mnu_showdate"); }
void frm_clock::mnu_millenium_Click() { startAddOn("mnu_millenium"); }
void frm_clock::mnu_jollix_Click() { startAddOn("mnu_jollix"); }

void frm_clock::startAddOn(const char *entry)
{
    const AddOn *addOn = nullptr;
    for (const AddOn &a : kAddOns) {
        if (qstrcmp(a.entry, entry) == 0)
            addOn = &a;
    }
    if (!addOn)
        return;

    if (startShipped(QLatin1String(addOn->file))) {
        if (!addOn->autostartKey) {
            // The quiz and the comic show bring the clock back when they end.
            endProgram();
            return;
        }
        // Asked every time, also when the add-on starts with the clock already.
        if (dialogs::ask(this, kAttention, QLatin1String(addOn->question)))
            store::setValue(QLatin1String(keys::Data), QLatin1String(addOn->autostartKey), QStringLiteral("1"));
        return;
    }

    m_characters->say(QLatin1String(addOn->spoken), QStringLiteral("Peedy"));
    if (!dialogs::ask(this, kAttention, QLatin1String(addOn->missing)))
        return;
    // The clock makes way for the download, but only when the browser did
    // start: without one the user would lose the clock for nothing.
    if (!weblink(QStringLiteral(CHIMEWELL_WEB_SITE), this))
        return;
    if (!pause(1))
        return;
    endProgram();
}

// --- The clock's side of the tray ---

void frm_clock::setClockShown(bool shown)
{
    if (!shown) {
        hide();
        return;
    }
    show();
    raise();
}


void frm_clock::showAbout()
{
    if (!m_about)
        m_about = new frm_about(this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void frm_clock::exitFromTray() { endProgram(); }

void frm_clock::unloadTray()
{
    if (!m_frmSysTray)
        return;
    // The icon goes now; the form itself once its menu has finished with the
    // click that may have brought us here.
    m_frmSysTray->removeIcon();
    m_frmSysTray->deleteLater();
    m_frmSysTray = nullptr;
}

} // namespace chimewell::clockcore
