// newcharacter and newcharacter2: the user picks another character file.
#include "characters/clockcharacters.h"
#include "characters/clockwindow.h"

#include "agent/characterfile.h"
#include "common/dialogs.h"
#include "common/platform.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QSaveFile>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>

namespace chimewell::characters {

namespace {

QString sameFileKey(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

// Checks that `from` loads as a character, then copies it into the user's
// character folder as `name`. Runs on a worker thread; the reason for a
// failure goes into the result.
QString checkAndCopy(const QString &from, const QString &name)
{
    // A file that would not load is not worth a place in the folder, nor the
    // stored name.
    QString unreadable;
    if (!agent::loadCharacterFile(from, &unreadable))
        return QStringLiteral("it is not a character file that can be loaded: ") + unreadable;
    return platform::copyIntoCharacterFolder(from, name);
}

QString programTitle()
{
    const QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("Chimewell") : title;
}

} // namespace

bool ClockCharacters::installCharacterFile(const QString &picked, const QString &name)
{
    const QString file = name + QStringLiteral(".acs");
    // Loading finds characters by name alone; a file that already answers to
    // that name needs nothing.
    const QString found = platform::findCharacterFile(file);
    if (!found.isEmpty() && sameFileKey(found) == sameFileKey(picked))
        return true;

    // Anything else goes into the user's own folder, which is searched first,
    // so the name loads now and at every later start. The copy runs off the
    // window thread; the window keeps handling events meanwhile.
    QPointer<ClockCharacters> self(this);
    QFutureWatcher<QString> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<QString>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(checkAndCopy, picked, name));
    if (!watcher.isFinished())
        loop.exec();
    const QString error = watcher.result();
    if (!self)
        return false;
    if (error.isEmpty())
        return true;

    dialogs::message(m_window.dialogParent(), programTitle(),
                     QStringLiteral("The character %1 could not be copied into your character folder %2 (%3). "
                                    "The character has not been changed.")
                         .arg(QDir::toNativeSeparators(picked),
                              QDir::toNativeSeparators(platform::characterFolder()), error));
    return false;
}

void ClockCharacters::changeCharacter(CharacterSlot slot)
{
    // One change at a time; the file dialog and the copy both let events run.
    if (m_changing)
        return;
    m_changing = true;
    QPointer<ClockCharacters> self(this);
    auto done = qScopeGuard([this, self] {
        if (self)
            m_changing = false;
    });

    const bool one = slot == CharacterSlot::One;
    m_window.hideSettingsDialog();
    const char *key = nameKey(slot);
    const QString old = store::value(keys::Data, key);

    const QString picked = dialogs::openFile(m_window.dialogParent(), QString(), platform::characterFolder(),
                                             QStringLiteral("Agent Characters (*.acs)"));
    if (!self)
        return;
    const QString title = QFileInfo(picked).fileName();
    if (title.isEmpty()) {
        if (!one) {
            dialogs::message(m_window.dialogParent(), programTitle(), QStringLiteral("You didn`t choose a character"));
            if (self)
                m_window.endProgram();
        }
        return; // the settings dialog closes itself after the call
    }

    // A title too short to lose its ".acs" leaves the name as it was, and the
    // old character is simply reloaded.
    const bool cut = title.size() >= 4;
    const QString name = cut ? title.left(title.size() - 4) : old;
    if (name.isEmpty())
        return;
    if (cut && (!installCharacterFile(picked, name) || !self))
        return; // the old character stays, and so does its stored name

    agent::AgentControl *mine = one ? m_agent1 : m_agent2;
    agent::AgentControl *other = one ? m_agent2 : m_agent1;

    // Whatever the controls hold goes, not only the stored names: a slot that
    // was loaded under a default would otherwise stay on the desktop.
    const QStringList mineIds = mine->characters().ids();
    for (const QString &id : mineIds)
        mine->characters().unload(id);
    mine->characters().load(name, name + QStringLiteral(".acs"));
    store::setValue(keys::Data, key, name);

    // The other slot is reloaded too, under its stored name or this change's
    // default, which is then stored so the next characterset (and the next
    // start) take the same one.
    const char *otherKey = nameKey(otherSlot(slot));
    QString otherName = store::value(keys::Data, otherKey);
    if (otherName.isEmpty()) {
        otherName = one ? QStringLiteral("peedy") : QStringLiteral("merlin");
        store::setValue(keys::Data, otherKey, otherName);
    }
    (one ? m_charName2 : m_charName1) = otherName;
    const QStringList otherIds = other->characters().ids();
    for (const QString &id : otherIds)
        other->characters().unload(id);
    other->characters().load(otherName, otherName + QStringLiteral(".acs"));
    m_char1 = nullptr;
    m_char2 = nullptr;

    m_window.closeSettingsDialog();
    done.dismiss();
    m_changing = false;
    characterset();
}

void ClockCharacters::newcharacter() { changeCharacter(CharacterSlot::One); }

void ClockCharacters::newcharacter2() { changeCharacter(CharacterSlot::Two); }

} // namespace chimewell::characters
