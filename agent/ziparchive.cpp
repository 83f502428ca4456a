#include "agent/ziparchive.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>

namespace chimewell::agent {

namespace {

constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kZip64LocatorSignature = 0x07064b50;
constexpr quint32 kDirectorySignature = 0x02014b50;
constexpr quint32 kLocalSignature = 0x04034b50;
constexpr quint64 kEndSize = 22;
constexpr quint64 kDirectoryEntrySize = 46;
constexpr quint64 kLocalHeaderSize = 30;
constexpr quint64 kLongestComment = 0xffff;
// A deflated picture's header comes out of its first few hundred packed bytes
// (a block header and a handful of codes): a head reads this much first.
constexpr quint64 kHeadInput = 4096;

quint16 u16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const char *p) { return qFromLittleEndian<quint32>(p); }

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

bool ZipArchive::open(const QByteArray &bytes, QString *why)
{
    m_bytes = bytes;
    m_file.reset();
    m_size = quint64(bytes.size());
    return readDirectory(why);
}

bool ZipArchive::openFile(const QString &path, QString *why)
{
    m_bytes.clear();
    m_file = std::make_unique<QFile>(path);
    // Unbuffered: every read goes to the file as it is now.
    if (!m_file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        const QString reason = m_file->errorString();
        m_file.reset();
        return fail(why, QStringLiteral("cannot open it: %1").arg(reason));
    }
    // What is there now is the archive; a file that grows later changes nothing.
    m_size = quint64(std::max<qint64>(0, m_file->size()));
    return readDirectory(why);
}

std::optional<QByteArray> ZipArchive::bytesAt(quint64 offset, quint64 length)
{
    if (offset > m_size || length > m_size - offset)
        return std::nullopt;
    if (!m_file)
        return m_bytes.mid(qsizetype(offset), qsizetype(length));
    if (!m_file->seek(qint64(offset)))
        return std::nullopt;
    QByteArray data = m_file->read(qint64(length));
    // A file cut short since it was opened.
    if (quint64(data.size()) != length)
        return std::nullopt;
    return data;
}

bool ZipArchive::readDirectory(QString *why)
{
    m_entries.clear();
    // An empty file is an empty archive; the caller finds what it lacks.
    if (m_size == 0)
        return true;
    if (m_size < kEndSize)
        return fail(why, QStringLiteral("too short for a zip archive"));

    // The directory's end record is last, before a comment of up to 64 KiB.
    const quint64 tailStart = m_size - std::min(m_size, kEndSize + kLongestComment);
    const auto tail = bytesAt(tailStart, m_size - tailStart);
    if (!tail)
        return fail(why, QStringLiteral("it cannot be read"));
    qsizetype at = -1;
    for (qsizetype i = tail->size() - qsizetype(kEndSize); i >= 0; --i) {
        const char *p = tail->constData() + i;
        if (u32(p) == kEndSignature && quint64(i) + kEndSize + u16(p + 20) <= quint64(tail->size())) {
            at = i;
            break;
        }
    }
    if (at < 0)
        return fail(why, QStringLiteral("no end of the central directory"));
    const char *end = tail->constData() + at;
    const quint64 endOffset = tailStart + quint64(at);
    if (at >= 20 && u32(end - 20) == kZip64LocatorSignature)
        return fail(why, QStringLiteral("it is a zip64 archive"));
    if (u16(end + 4) != 0 || u16(end + 6) != 0 || u16(end + 8) != u16(end + 10))
        return fail(why, QStringLiteral("it spans several disks"));
    const quint64 count = u16(end + 10);
    const quint64 directorySize = u32(end + 12);
    const quint64 directoryOffset = u32(end + 16);
    if (directoryOffset > endOffset || directorySize > endOffset - directoryOffset)
        return fail(why, QStringLiteral("the central directory lies outside the archive"));
    if (count * kDirectoryEntrySize > directorySize)
        return fail(why, QStringLiteral("the central directory is too short for its %1 entries").arg(count));

    const auto directory = bytesAt(directoryOffset, directorySize);
    if (!directory)
        return fail(why, QStringLiteral("the central directory cannot be read"));
    const char *p = directory->constData();
    quint64 left = directorySize;
    m_entries.reserve(qsizetype(count));
    for (quint64 i = 0; i < count; ++i) {
        if (left < kDirectoryEntrySize || u32(p) != kDirectorySignature)
            return fail(why, QStringLiteral("entry %1 of the central directory is damaged").arg(i));
        const quint64 nameLength = u16(p + 28);
        const quint64 recordSize = kDirectoryEntrySize + nameLength + u16(p + 30) + u16(p + 32);
        if (recordSize > left)
            return fail(why, QStringLiteral("entry %1 of the central directory is cut short").arg(i));
        Entry e;
        e.flags = u16(p + 8);
        e.method = u16(p + 10);
        e.crc = u32(p + 16);
        e.packedSize = u32(p + 20);
        e.size = u32(p + 24);
        e.offset = u32(p + 42);
        e.name = QString::fromUtf8(p + kDirectoryEntrySize, qsizetype(nameLength));
        if (e.offset >= directoryOffset)
            return fail(why, QStringLiteral("entry %1 starts outside the archive's data").arg(i));
        m_entries.append(e);
        p += recordSize;
        left -= recordSize;
    }
    return true;
}

std::optional<QByteArray> ZipArchive::packedData(const Entry &e, quint64 length, QString *why)
{
    if (e.flags & 0x1) {
        fail(why, QStringLiteral("it is encrypted"));
        return std::nullopt;
    }
    if (e.method != 0 && e.method != 8) {
        fail(why, QStringLiteral("its compression method %1 is not supported").arg(e.method));
        return std::nullopt;
    }
    const auto local = bytesAt(e.offset, kLocalHeaderSize);
    if (!local || u32(local->constData()) != kLocalSignature) {
        fail(why, QStringLiteral("its local header is missing"));
        return std::nullopt;
    }
    const quint64 nameLength = u16(local->constData() + 26);
    const quint64 start = e.offset + kLocalHeaderSize + nameLength + u16(local->constData() + 28);
    const auto name = bytesAt(e.offset + kLocalHeaderSize, nameLength);
    if (!name || QString::fromUtf8(*name) != e.name || u16(local->constData() + 8) != e.method) {
        fail(why, QStringLiteral("its local header does not match the directory"));
        return std::nullopt;
    }
    auto data = bytesAt(start, std::min(length, e.packedSize));
    if (!data)
        fail(why, QStringLiteral("it is cut short"));
    return data;
}

std::optional<QByteArray> ZipArchive::inflated(const Entry &e, qint64 limit, bool whole, quint64 packedLength,
                                               QString *why)
{
    auto packed = packedData(e, packedLength, why);
    if (!packed)
        return std::nullopt;
    const qint64 wanted = whole ? qint64(e.size) : std::min<qint64>(limit, qint64(e.size));
    QByteArray out;
    if (e.method == 0) {
        if (!whole)
            return packed->left(qsizetype(wanted));
        if (quint64(packed->size()) != e.size) {
            fail(why, QStringLiteral("it holds %1 bytes, not the declared %2").arg(packed->size()).arg(e.size));
            return std::nullopt;
        }
        out = std::move(*packed);
    } else {
        out = QByteArray(qsizetype(wanted), Qt::Uninitialized);
        z_stream s{};
        if (inflateInit2(&s, -MAX_WBITS) != Z_OK) {
            fail(why, QStringLiteral("it cannot be inflated"));
            return std::nullopt;
        }
        s.next_in = reinterpret_cast<Bytef *>(packed->data());
        s.avail_in = uInt(packed->size());
        s.next_out = reinterpret_cast<Bytef *>(out.data());
        s.avail_out = uInt(out.size());
        int ret = Z_OK;
        while (ret == Z_OK && s.avail_out > 0 && s.avail_in > 0)
            ret = inflate(&s, Z_NO_FLUSH);
        const qint64 produced = wanted - qint64(s.avail_out);
        QString problem;
        if (ret == Z_DATA_ERROR || ret == Z_NEED_DICT || ret == Z_MEM_ERROR) {
            problem = QStringLiteral("it does not inflate (%1)").arg(QString::fromLatin1(s.msg ? s.msg : "bad data"));
        } else if (!whole) {
            if (produced < wanted)
                problem = QStringLiteral("it is cut short");
        } else if (ret == Z_STREAM_END) {
            if (produced != qint64(e.size))
                problem = QStringLiteral("it holds %1 bytes, not the declared %2").arg(produced).arg(e.size);
        } else if (s.avail_out == 0) {
            // Full to the declared size: one byte more means it inflates past it (a zip bomb).
            char extra;
            s.next_out = reinterpret_cast<Bytef *>(&extra);
            s.avail_out = 1;
            ret = inflate(&s, Z_NO_FLUSH);
            if (s.avail_out == 0)
                problem = QStringLiteral("it inflates to more than the declared %1 bytes").arg(e.size);
            else if (ret != Z_STREAM_END)
                problem = QStringLiteral("it is cut short");
        } else {
            problem = QStringLiteral("it is cut short");
        }
        inflateEnd(&s);
        if (!problem.isEmpty()) {
            fail(why, problem);
            return std::nullopt;
        }
        if (!whole)
            return out;
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib counts in 32-bit lengths.
    for (qsizetype done = 0; done < out.size();) {
        const uInt n = uInt(std::min<qsizetype>(out.size() - done, 1 << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(out.constData() + done), n);
        done += n;
    }
    if (quint32(crc) != e.crc) {
        fail(why, QStringLiteral("its checksum is wrong"));
        return std::nullopt;
    }
    return out;
}

std::optional<QByteArray> ZipArchive::read(int index, QString *why)
{
    if (index < 0 || index >= m_entries.size())
        return std::nullopt;
    const Entry &e = m_entries.at(index);
    return inflated(e, 0, true, e.packedSize, why);
}

std::optional<QByteArray> ZipArchive::head(int index, qint64 n, QString *why)
{
    if (index < 0 || index >= m_entries.size())
        return std::nullopt;
    const Entry &e = m_entries.at(index);
    // Only the start of the packed data, so that reading a header does not read
    // the picture; all of it only when the start was not enough.
    const quint64 start = e.method == 0 ? quint64(std::max<qint64>(0, n)) : kHeadInput;
    if (start < e.packedSize) {
        if (auto data = inflated(e, n, false, start, nullptr))
            return data;
    }
    return inflated(e, n, false, e.packedSize, why);
}

} // namespace chimewell::agent
