// The clock window's mouse and its context menu.
#include "clock/frm_clock.h"

#include "common/pause.h"

#include <QAction>
#include <QMenu>

namespace chimewell::clockcore {

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
    connect(m_entries.value(QStringLiteral("mnu_exit")), &QAction::triggered, this, &frm_clock::mnu_exit_Click);
    connectSettingsEntries();
}

void frm_clock::lab_time_DblClick()
{
    saytime();
    (void)pause(1);
}

void frm_clock::mnu_exit_Click() { close(); }

} // namespace chimewell::clockcore
