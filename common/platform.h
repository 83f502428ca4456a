#pragma once

#include <QString>
#include <QStringList>

// Where things live on this desktop. No other code knows these paths.
namespace chimewell::platform {

// The folder of the running program, where add-ons and shipped files lie.
QString programFolder();
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
// Runtime folder for locks ($XDG_RUNTIME_DIR, else a private temporary folder).
QString runtimeFolder();

} // namespace chimewell::platform
