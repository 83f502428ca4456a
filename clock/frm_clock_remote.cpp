// What the clock is asked from outside: a second start's command line, the
// desktop's actions over D-Bus, and the key that says the time.
#include "clock/frm_clock.h"

#include "settings/frm_settings.h"

#include "common/keygrab.h"
#include "common/program.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QKeySequence>
#include <QTimer>

namespace chimewell::clockcore {

namespace {

// About as long as character 1 takes to come on and greet at start-up:
// speech asked for meanwhile waits rather than talking over the greeting.
constexpr int kGreetingMs = 4000;

bool needsCharacters(const remote::Command &c)
{
    return c.kind == remote::Command::SayTime || c.kind == remote::Command::Say;
}

} // namespace

void frm_clock::runCommand(const remote::Command &command)
{
    m_commands.append(command);
    // Never inside the caller: a socket's or the bus's handler, or a key press.
    QMetaObject::invokeMethod(this, &frm_clock::runHeldCommands, Qt::QueuedConnection);
}

void frm_clock::secondStart(const QStringList &arguments)
{
    // A second start that could not read its arguments said so itself.
    const remote::CommandLine line = remote::parseCommandLine(arguments);
    if (line.outcome != remote::CommandLine::Run)
        return;
    if (line.commands.isEmpty())
        runCommand({remote::Command::Show, QString()});
    for (const remote::Command &c : line.commands)
        runCommand(c);
}

void frm_clock::startTakingCommands()
{
    if (!m_sayTimeKey) {
        // Told once a run, by character 1 once it is on.
        const QString problem = setSayTimeKey(store::value(QLatin1String(keys::Data), QLatin1String(keys::SayTimeKey)));
        if (!problem.isEmpty())
            runCommand({remote::Command::Say, problem});
    }
    QMetaObject::invokeMethod(this, &frm_clock::runHeldCommands, Qt::QueuedConnection);
}

void frm_clock::charactersComing()
{
    QTimer::singleShot(kGreetingMs, this, [this] {
        m_charactersOn = true;
        runHeldCommands();
    });
}

void frm_clock::runHeldCommands()
{
    // A clock still in its start-up (the agreement, the installation) is not
    // there yet: what was asked waits. Speech waits for the characters too,
    // in its order; the rest goes ahead.
    for (qsizetype i = 0; m_loaded && !isEnding() && i < m_commands.size();) {
        if (needsCharacters(m_commands.at(i)) && !m_charactersOn) {
            ++i;
            continue;
        }
        const remote::Command c = m_commands.takeAt(i);
        switch (c.kind) {
        case remote::Command::Show:
            showFromOutside();
            break;
        case remote::Command::SayTime:
            saytime();
            break;
        case remote::Command::Settings:
            showSettings(setup::frm_settings::AlarmTab1);
            break;
        case remote::Command::Say:
            say(c.text, QStringLiteral("genie"));
            break;
        }
    }
}

void frm_clock::showFromOutside()
{
    // Written only when it changes: a script may start the clock again and
    // again, and every write goes to the disk.
    const QString data = QLatin1String(keys::Data);
    const QString minimise = QLatin1String(keys::minimise);
    if (store::value(data, minimise) != QLatin1String("False"))
        store::setValue(data, minimise, QStringLiteral("False"));
    setClockShown(true);
    activateWindow();
}

QString frm_clock::setSayTimeKey(const QString &key)
{
    if (!m_sayTimeKey) {
        m_sayTimeKey = new KeyGrab(this);
        connect(m_sayTimeKey, &KeyGrab::pressed, this, [this] { runCommand({remote::Command::SayTime, QString()}); });
    }
    if (key.isEmpty()) {
        m_sayTimeKey->ungrab();
        return QString();
    }
    const QKeySequence sequence = QKeySequence::fromString(key, QKeySequence::PortableText);
    const QString name = sequence.isEmpty() ? key : sequence.toString(QKeySequence::NativeText);
    // A key without Ctrl, Alt or the logo key would be lost to typing everywhere.
    if (sequence.count() != 1 || !isGlobalKeyCandidate(sequence[0]))
        return QStringLiteral("%1 cannot say the time. Choose a key with Ctrl, Alt or the logo key, or a function key.")
            .arg(name);
    const X11Key before = m_sayTimeKey->key();
    const KeyGrab::Result result = m_sayTimeKey->grab(x11Key(sequence[0]));
    if (result == KeyGrab::Result::Grabbed || result == KeyGrab::Result::NoX11)
        return QString();
    // The key before stays.
    if (!before.isNull())
        m_sayTimeKey->grab(before);
    if (result == KeyGrab::Result::NotOnKeyboard)
        return QStringLiteral("%1 is not on this keyboard, so it cannot say the time.").arg(name);
    return QStringLiteral("%1 is taken by another program, so it cannot say the time. Choose another key in Main "
                          "Options, on the Misc tab.")
        .arg(name);
}

} // namespace chimewell::clockcore
