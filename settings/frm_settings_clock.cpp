// What changes the clock itself: the announce interval and the quiet hours
// (read by the tick and the speech), the time format and the colours (applied
// to the clock at once).
#include "settings/frm_settings.h"

#include "settings/settingshost.h"
#include "settings/settingswidgets.h"

#include "common/convert.h"
#include "common/dialogs.h"
#include "common/pause.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

namespace chimewell::setup {

using namespace detail;

void frm_settings::Combo2_Change()
{
    if (m_loading)
        return;
    // Wait for the rest of the number: a keystroke during the wait runs its
    // own pass first, and this one then reads the latest text.
    QPointer<frm_settings> self(this);
    if (!pause(1) || !self)
        return;
    const QString text = m_Combo2->currentText();
    if (text.isEmpty())
        return;
    const auto value = convert::toNumber(text);
    if (!value || *value < 0 || *value > 60) {
        m_host.say(QStringLiteral("Hey, you entered an invalid number, please choose one between zero and 60"),
                   QStringLiteral("genie"));
        return;
    }
    writeData(keys::Announce, text);
    m_host.say(QStringLiteral("I will announce the time, every ") + text + QStringLiteral(" minutes!"),
               QStringLiteral("genie"));
}

void frm_settings::Combo2_GotFocus()
{
    m_host.say(QStringLiteral("You can enter any number between 1 and 60 in this box"), QStringLiteral("peedy"));
}

void frm_settings::com_setquiet_Click()
{
    for (QLineEdit *box : {m_txt_quiet1, m_txt_quiet2}) {
        if (box->text().size() == 1)
            box->setText(QLatin1Char('0') + box->text());
    }
    const QString from = m_txt_quiet1->text();
    const QString to = m_txt_quiet2->text();
    const auto fromHour = convert::toNumber(from);
    const auto toHour = convert::toNumber(to);
    if (!fromHour || !toHour || *fromHour < 0 || *fromHour > 23 || *toHour < 0 || *toHour > 23) {
        m_host.say(QStringLiteral("Hey, you did not enter a vaild hour from and to, please try again"),
                   QStringLiteral("peedy"));
        return;
    }
    writeData(keys::QuietTime, from + to);
    QApplication::beep();
    m_host.say(QStringLiteral("\\chr=\"Whisper\"\\We will whisper between ") + from + QStringLiteral(" and ") + to +
                   QStringLiteral(" hours"),
               QStringLiteral("peedy"));
}

void frm_settings::Command2_Click()
{
    const QString choice = m_com_format->currentText();
    QString format;
    if (choice == QLatin1String("24 Hour"))
        format = QStringLiteral("0");
    else if (choice == QLatin1String("12 Hour am/pm"))
        format = QStringLiteral("1");
    else {
        dialogs::message(this, programTitle(), QStringLiteral("You didn`t enter a correct format, please try again"));
        return;
    }
    store::setValue(QLatin1String(keys::data), QLatin1String(keys::format), format);
    m_host.applyTimeFormat(format);
    QApplication::beep();
}

void frm_settings::changeColour(bool fore)
{
    QLineEdit *swatch = fore ? m_txt_forecolour : m_txt_backcolour;
    const QColor colour = dialogs::chooseColour(this, swatch->palette().color(QPalette::Base));
    // A cancelled dialog reports no colour, and nothing changes: painting the
    // clock black because the user changed their mind would be a loss.
    if (!colour.isValid())
        return;
    QPalette pal = swatch->palette();
    pal.setColor(QPalette::Base, colour);
    swatch->setPalette(pal);
    if (fore) {
        m_host.setClockForeColour(colour);
        writeData(keys::ForeColour, convert::fromColour(colour));
    } else {
        m_host.setClockBackColour(colour);
        writeData(keys::BackColour, convert::fromColour(colour));
    }
    QApplication::beep();
}

} // namespace chimewell::setup
