#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace chimewell {

// The command line a freedesktop desktop entry runs to open `address`: the
// first Exec key of its [Desktop Entry] group, with the string escapes and
// then the quoting undone, and the address, as one argument, in place of the
// first file or URL field code (appended when there is none). Other field
// codes are dropped, "%%" is "%". Empty when the entry has no Exec. Reads only
// the text given: safe on any input.
QStringList desktopEntryCommand(const QByteArray &entry, const QString &address);

} // namespace chimewell
