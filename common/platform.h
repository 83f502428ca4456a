#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QObject;

// Everything this desktop decides for us: where things live, autostart, the
// web browser, what the first run checks, and time slept. No other code knows
// these paths or commands. platform_linux.cpp is the real one; tests link
// platform_dummy.cpp instead (see platform_dummy.h).
namespace chimewell::platform {

// The two characters every new user gets, by their bare names.
inline constexpr char kStandardCharacter1[] = "max";
inline constexpr char kStandardCharacter2[] = "plany";

// The folder of the running program, where add-ons and shipped files lie.
QString programFolder();

// --- Folders (the same on every implementation: they follow the XDG variables) ---

// $XDG_CONFIG_HOME, else ~/.config.
QString configHome();
// The user's character folder ($XDG_DATA_HOME/chimewell/chars).
QString characterFolder();
// Folders searched for a bare character file name, in order: the user's
// character folder, chimewell/chars in each $XDG_DATA_DIRS entry, the program
// folder's chars/.
QStringList characterSearchPath();
// A character file by name: an absolute path as it is, a bare name (".acs"
// added when missing) looked up along characterSearchPath(); empty when not found.
QString findCharacterFile(const QString &file);
// The shipped characters' folder (program folder + "/chars").
QString shippedCharacterFolder();
// The per-user autostart folder ($XDG_CONFIG_HOME/autostart).
QString autostartFolder();
// Runtime folder for locks and sockets: $XDG_RUNTIME_DIR when it is a folder
// of the user's own with mode 0700, else (with one warning) the private one.
QString runtimeFolder();
// The user's private stand-in for the runtime folder, in their cache.
QString privateRuntimeFolder();
// Is a session bus there ($DBUS_SESSION_BUS_ADDRESS, or the bus socket in the
// runtime folder)? Asking Qt for one when none is would have libdbus fork
// inside a threaded program to start one.
bool sessionBusInSight();

// Copies the character file `from` into the user's character folder as
// `name`.acs, through a temporary file and a rename, so a failed copy never
// leaves half a file. A file of that name with the same contents is left as it
// is. Returns an empty string on success, else why it failed. Safe to call off
// the UI thread.
QString copyIntoCharacterFolder(const QString &from, const QString &name);

// --- Autostart with the desktop session ---

// Places the shipped desktop entry in the autostart folder; false when it
// could not be placed.
bool addAutostartEntry();
// Removes it; true when no entry is left (also when there was none).
bool removeAutostartEntry();
bool hasAutostartEntry();

// --- The web browser ---

enum class OpenResult { Opened, NoHandler, StartFailed };
// Opens `address` with the desktop's handler for text/html, passed as one
// argument, never through a shell.
OpenResult openWebAddress(const QString &address);

// --- First-run component check ---

// Is the speech engine's data installed, so that the voice can start?
bool speechEngineInstalled();
// Does the character service find both standard characters?
bool standardCharactersFound();
enum class Component { Characters, Speech };
// A sentence that says what to install when the check above finds `component`
// missing; empty when it is there.
QString missingAdvice(Component component);
// The advice for every component missing, characters first.
QStringList missingComponents();

// --- Time slept ---

// Milliseconds the machine has spent suspended since it booted; the
// difference between two readings is the time slept between them. -1 when
// unknown.
qint64 suspendedMs();

// Calls `changed` (on the UI thread) whenever the wall clock jumps: set by
// hand or by time synchronisation, or the machine woke from sleep. The watch
// ends with `context`. Lets a window that waits for a wall-clock moment (a new
// day) look again at once instead of at its stale timer.
void onWallClockChange(QObject *context, std::function<void()> changed);

} // namespace chimewell::platform
