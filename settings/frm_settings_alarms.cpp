// The two alarm tabs: the time, clearing it, the daily repeat, the program to
// launch and the spoken message. Alarm 1's confirmation is said by character
// 2 and alarm 2's by character 1.
#include "settings/frm_settings.h"

#include "settings/settingshost.h"
#include "settings/settingswidgets.h"

#include "common/convert.h"
#include "common/dialogs.h"
#include "common/settingskeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

namespace chimewell::setup {

using namespace detail;

namespace {

const char *timeKey(int n)
{
    return n == 1 ? keys::AlarmTime1 : keys::AlarmTime2;
}
const char *repeatKey(int n)
{
    return n == 1 ? keys::Repeat1 : keys::Repeat2;
}
const char *launchKey(int n)
{
    return n == 1 ? keys::Launch1 : keys::Launch2;
}
const char *messageKey(int n)
{
    return n == 1 ? keys::AlarmMessage : keys::AlarmMessage2;
}

bool inRange(const QString &text, double low, double high)
{
    const auto value = convert::toNumber(text);
    return value && *value >= low && *value <= high;
}

} // namespace

void frm_settings::com_set_Click(int n)
{
    const AlarmControls &a = m_alarm[n - 1];
    const QString hour = a.hour->text();
    const QString minute = a.min->text();
    // The ranges go by the value and the length by the text: 7 and 07 are the
    // same hour, but only 07 fits the four-character form the tick reads.
    if (!inRange(hour, 0, 23) || !inRange(minute, 0, 59)) {
        dialogs::message(this, programTitle(), QStringLiteral("You must enter a valid time in 24 hour format"));
        return;
    }
    if (hour.size() != 2 || minute.size() != 2) {
        dialogs::message(this, programTitle(),
                         QStringLiteral("You must enter TWO digits in each time box, e.g. 02 21"));
        return;
    }
    writeData(timeKey(n), hour + minute);
    m_host.say(QStringLiteral("Your alarm has been set"), n == 1 ? QStringLiteral("peedy") : QStringLiteral("genie"));
}

void frm_settings::com_clear_Click(int n)
{
    writeData(timeKey(n), QStringLiteral("9999"));
    QApplication::beep();
    m_alarm[n - 1].hour->setText(QStringLiteral("99"));
    m_alarm[n - 1].min->setText(QStringLiteral("99"));
}

void frm_settings::chk_repeat_Click(int n)
{
    if (m_loading)
        return;
    toggleStored(m_alarm[n - 1].repeat, repeatKey(n), QString());
}

void frm_settings::com_change_Click(int n)
{
    // Cancel reports no file, and storing that is how the user removes the
    // program: the help text tells them so.
    const QString file =
        dialogs::openFile(this, QStringLiteral("Program to launch with alarm %1").arg(n), QStringLiteral("/usr/bin"),
                          QStringLiteral("Programs (*);;Shell scripts (*.sh);;Python scripts (*.py)"));
    writeData(launchKey(n), file);
    m_alarm[n - 1].launch->setText(file);
    QApplication::beep();
}

void frm_settings::txt_message_Change(int n)
{
    if (m_loading)
        return;
    writeData(messageKey(n), m_alarm[n - 1].message->text());
}

} // namespace chimewell::setup
