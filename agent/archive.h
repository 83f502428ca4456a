#pragma once

#include "agent/characterlimits.h"
#include "agent/ziparchive.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace chimewell::agent {

// Sets the reason once; later, more general reasons do not overwrite the first,
// precise one. Always false, so a check can end with `return fail(...)`.
bool fail(QString *error, const QString &why);
// A name an entry of ours may have: relative, no "..", no backslash or NUL.
bool validEntryName(const QString &name);

// A character file's zip archive, with the loader's limits on its entries.
// Shared with the FrameStore when pictures are read on demand (one thread at a
// time: the store locks around it).
class Archive final
{
public:
    bool open(const QByteArray &bytes, QString *error);
    // Reads from the file itself, which stays open: a picture read later comes
    // from the same file even when another is saved in its place meanwhile, and a
    // file cut short under us makes that read fail, nothing worse.
    bool openFile(const QString &path, QString *error);

    bool contains(const QString &name) const { return m_entries.contains(name); }
    qint64 entrySize(const QString &name) const;
    // The first `n` bytes of an entry (a PNG's header), without reading the rest.
    QByteArray head(const QString &name, qint64 n);
    // Reads one entry, at most `cap` bytes; its inflated size must be what the directory says.
    std::optional<QByteArray> read(const QString &name, qint64 cap, QString *error);

private:
    bool indexEntries(QString *error);

    ZipArchive m_zip;
    QHash<QString, int> m_entries; // the last of entries named alike
};

} // namespace chimewell::agent
