// The clock window's side of the settings dialog: the menu entries that open
// it, and what the dialog asks of the clock (speech, the characters, the
// colours, the format, the restart).
#include "clock/frm_clock.h"

#include "characters/clockcharacters.h"
#include "clock/ticklogic.h"
#include "settings/frm_settings.h"

#include "common/clock.h"
#include "common/program.h"

#include <QAction>
#include <QLabel>

namespace chimewell::clockcore {

void frm_clock::connectSettingsEntries()
{
    struct Entry
    {
        const char *name;
        int tab;
    };
    static const Entry entries[] = {
        {"mnu_settings1", setup::frm_settings::AlarmTab1}, {"mnu_chcharacters", setup::frm_settings::CharactersTab},
        {"mnu_colours", setup::frm_settings::ColoursTab},  {"mnu_tands", setup::frm_settings::SpeakTab},
        {"mnu_format", setup::frm_settings::MiscTab},
    };
    for (const Entry &e : entries) {
        QAction *action = m_entries.value(QLatin1String(e.name));
        if (!action)
            continue;
        const int tab = e.tab;
        const bool mainOptions = tab == setup::frm_settings::AlarmTab1;
        connect(action, &QAction::triggered, this, [this, tab, mainOptions] {
            showSettings(tab);
            // "Main Options" is where alarms are set: the cursor waits in the hour box.
            if (mainOptions && m_settings)
                m_settings->focusAlarmHour();
        });
    }
}

void frm_clock::showSettings(int tab)
{
    if (!m_settings) {
        auto *dialog = new setup::frm_settings(*this, this);
        m_settings = dialog;
        // A dialog on its way out is not brought back: the next opening loads afresh.
        connect(dialog, &QDialog::finished, this, [this, dialog] {
            if (m_settings == dialog)
                m_settings = nullptr;
        });
        dialog->Form_Load();
        if (!m_settings)
            return;
    }
    m_settings->showTab(tab);
}

setup::frm_settings *frm_clock::settingsDialog() const
{
    return m_settings;
}

void frm_clock::hideSettingsDialog()
{
    if (m_settings)
        m_settings->hide();
}

void frm_clock::closeSettingsDialog()
{
    if (setup::frm_settings *dialog = m_settings) {
        m_settings = nullptr;
        dialog->close();
    }
}

void frm_clock::say(const QString &talk, const QString &who)
{
    m_characters->say(talk, who);
}

void frm_clock::newcharacter()
{
    m_characters->newcharacter();
}

void frm_clock::newcharacter2()
{
    m_characters->newcharacter2();
}

QColor frm_clock::clockForeColour() const
{
    return label()->palette().color(QPalette::WindowText);
}

QColor frm_clock::clockBackColour() const
{
    return label()->palette().color(QPalette::Window);
}

void frm_clock::setClockForeColour(const QColor &colour)
{
    setColours(colour, clockBackColour());
}

void frm_clock::setClockBackColour(const QColor &colour)
{
    setColours(clockForeColour(), colour);
}

void frm_clock::applyTimeFormat(const QString &format)
{
    applyFormat(format);
    label()->setText(labelText(Clock::current().time(), format));
}

void frm_clock::restart()
{
    chimewell::restartProgram();
}

} // namespace chimewell::clockcore
