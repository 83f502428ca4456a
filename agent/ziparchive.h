#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace chimewell::agent {

// A reader of the zip archives character files are: stored and deflated
// entries, checked against their declared sizes and checksums. No zip64, no
// encryption, no archives spanning disks: a character file never needs them,
// and an archive that uses them is refused with a reason.
//
// Reads from memory, or from a file that stays open (so a later read comes from
// the file that was opened, even when another is saved in its place). One
// thread at a time.
class ZipArchive final
{
public:
    struct Entry
    {
        QString name;
        quint64 size = 0;       // inflated, as the directory declares
        quint64 packedSize = 0; // as stored
        quint64 offset = 0;     // of the entry's local header
        quint32 crc = 0;
        quint16 method = 0;
        quint16 flags = 0;
    };

    bool open(const QByteArray &bytes, QString *why);
    bool openFile(const QString &path, QString *why);

    const QList<Entry> &entries() const { return m_entries; }

    // The whole entry, checked: it must inflate to exactly its declared size
    // and match its checksum.
    std::optional<QByteArray> read(int index, QString *why);
    // The first `n` bytes of an entry (a picture's header), unchecked.
    std::optional<QByteArray> head(int index, qint64 n, QString *why);

private:
    bool readDirectory(QString *why);
    // `length` bytes at `offset`, or nothing when they are not all there.
    std::optional<QByteArray> bytesAt(quint64 offset, quint64 length);
    // The first `length` bytes of the entry's packed data (all of it for a whole entry).
    std::optional<QByteArray> packedData(const Entry &e, quint64 length, QString *why);
    std::optional<QByteArray> inflated(const Entry &e, qint64 limit, bool whole, quint64 packedLength, QString *why);

    QByteArray m_bytes;
    std::unique_ptr<QFile> m_file;
    quint64 m_size = 0;
    QList<Entry> m_entries;
};

} // namespace chimewell::agent
