// The characters' options, type and speak, and the Misc tab's start with the
// desktop, say-the-time key, start-up message and user name.
#include "settings/frm_settings.h"

#include "settings/settingshost.h"
#include "settings/settingswidgets.h"

#include "common/dialogs.h"
#include "common/keygrab.h"
#include "common/platform.h"
#include "common/settingskeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

namespace chimewell::setup {

using namespace detail;

void frm_settings::chk_hide_Click(int n)
{
    if (m_loading)
        return;
    toggleStored(m_character[n - 1].hide, n == 1 ? keys::charhide : keys::charhide2, QString());
}

void frm_settings::chk_effects_Click(int n)
{
    if (m_loading)
        return;
    // A missing value counts as effects off, as the characters read it.
    toggleStored(m_character[n - 1].effects, n == 1 ? keys::effects1 : keys::effects2, QStringLiteral("True"));
    const bool now = dialogs::ask(this, QStringLiteral("Warning!"),
                                  QStringLiteral("You will need to re start Chimewell for this to take effect, do you "
                                                 "want to re start it now? (If you choose no, it will take effect next "
                                                 "time you run Chimewell)"));
    if (now)
        m_host.restart();
}

void frm_settings::com_changechar_Click(int n)
{
    // The change hides this dialog, may close it, and greets with pauses in
    // between: this form may be gone by the time it returns.
    QPointer<frm_settings> self(this);
    if (n == 1)
        m_host.newcharacter();
    else
        m_host.newcharacter2();
    // done() rather than close(): the dialog is hidden by now, and only
    // done() still tells the opener that it has finished.
    if (self)
        done(QDialog::Rejected);
}

void frm_settings::com_speak_Click()
{
    const QString who =
        readData(keys::LastCharacter) == m_Combo1->currentText() ? QStringLiteral("genie") : QStringLiteral("peedy");
    m_host.say(m_txt_speech->toPlainText(), who);
}

void frm_settings::chk_LWW_Click()
{
    if (m_loading)
        return;
    const bool on = readData(keys::LoadWithWindows) != QLatin1String("True");
    // The entry is placed or removed first, so the stored value and the
    // confirmation never claim what did not happen.
    const bool done = on ? platform::addAutostartEntry() : platform::removeAutostartEntry();
    if (!done) {
        const bool present = platform::hasAutostartEntry();
        m_chk_LWW->setChecked(present);
        writeData(keys::LoadWithWindows, present ? QStringLiteral("True") : QStringLiteral("False"));
        const QString folder = QDir::toNativeSeparators(platform::autostartFolder());
        dialogs::message(this, programTitle(),
                         on ? QStringLiteral("Chimewell could not be set to start with your desktop: its start-up "
                                             "entry could not be placed in %1.")
                                  .arg(folder)
                            : QStringLiteral("Chimewell could not stop starting with your desktop: its start-up "
                                             "entry in %1 could not be removed.")
                                  .arg(folder),
                         QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    m_chk_LWW->setChecked(on);
    writeData(keys::LoadWithWindows, on ? QStringLiteral("True") : QStringLiteral("False"));
    if (on)
        m_host.say(QStringLiteral("Chimewell will now start with windows"), QStringLiteral("peedy"));
    else
        m_host.say(QStringLiteral("Chimewell will no longer start when windows does!"), QStringLiteral("genie"));
}

void frm_settings::loadSayTimeKey()
{
    const QString key = readData(keys::SayTimeKey);
    m_key_saytime->setKeySequence(QKeySequence::fromString(key, QKeySequence::PortableText));
    // Asking the clock again tells how things stand now, and takes a key
    // another program has let go of since the start.
    showSayTimeKeyStatus(m_host.setSayTimeKey(key));
}

void frm_settings::key_saytime_Change()
{
    if (m_loading)
        return;
    QKeySequence sequence = m_key_saytime->keySequence();
    // The box takes up to four combinations in a row; the first is the key.
    if (sequence.count() > 1) {
        sequence = QKeySequence(sequence[0]);
        m_key_saytime->setKeySequence(sequence);
    }
    const QString key = sequence.toString(QKeySequence::PortableText);
    const QString stored = readData(keys::SayTimeKey);
    if (key == stored)
        return;
    const QString problem = m_host.setSayTimeKey(key);
    if (problem.isEmpty()) {
        writeData(keys::SayTimeKey, key);
    } else {
        // Nothing changes: the key before stays, in the box and on the clock.
        m_key_saytime->setKeySequence(QKeySequence::fromString(stored, QKeySequence::PortableText));
        m_host.say(problem, QStringLiteral("genie"));
    }
    showSayTimeKeyStatus(problem);
}

void frm_settings::com_nokey_Click()
{
    m_key_saytime->clear();
    key_saytime_Change();
}

void frm_settings::showSayTimeKeyStatus(const QString &problem)
{
    const QKeySequence key = m_key_saytime->keySequence();
    QString status = problem;
    if (status.isEmpty() && !globalKeysReachEverywhere())
        status = QStringLiteral("On this desktop a key that says the time is set in the desktop's own keyboard "
                                "settings: give it the command chimewell --say-time.");
    else if (status.isEmpty() && key.isEmpty())
        status = QStringLiteral("No key is set. Press one here, or give the command chimewell --say-time a key "
                                "in the desktop's keyboard settings.");
    else if (status.isEmpty())
        status = QStringLiteral("%1 says the time, wherever you are.").arg(key.toString(QKeySequence::NativeText));
    m_lab_saytimekey->setText(status);
    m_key_saytime->setAccessibleDescription(status);
}

void frm_settings::txt_startupmessage_Change()
{
    if (m_loading)
        return;
    writeData(keys::StartupMessage, m_txt_startupmessage->text());
}

void frm_settings::txt_username_Change()
{
    if (m_loading)
        return;
    writeData(keys::UserName, m_txt_username->text());
}

} // namespace chimewell::setup
