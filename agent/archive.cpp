#include "agent/archive.h"

namespace chimewell::agent {

bool fail(QString *error, const QString &why)
{
    if (error && error->isEmpty())
        *error = why;
    return false;
}

bool validEntryName(const QString &name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.contains(QLatin1String("..")) && !name.contains(QChar(0));
}

bool Archive::open(const QByteArray &bytes, QString *error)
{
    if (bytes.size() > limits::archiveBytes)
        return fail(error, QStringLiteral("the archive is larger than 64 MiB"));
    QString why;
    if (!m_zip.open(bytes, &why))
        return fail(error, QStringLiteral("not a readable zip archive (%1)").arg(why));
    return indexEntries(error);
}

bool Archive::openFile(const QString &path, QString *error)
{
    QString why;
    if (!m_zip.openFile(path, &why))
        return fail(error, QStringLiteral("not a readable zip archive (%1)").arg(why));
    return indexEntries(error);
}

bool Archive::indexEntries(QString *error)
{
    const QList<ZipArchive::Entry> &entries = m_zip.entries();
    if (entries.size() > limits::entries)
        return fail(error, QStringLiteral("the archive has %1 entries, more than %2").arg(entries.size()).arg(limits::entries));
    qint64 total = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const ZipArchive::Entry &e = entries.at(i);
        if (!validEntryName(e.name))
            return fail(error, QStringLiteral("the entry name \"%1\" is not allowed").arg(e.name));
        if (e.size > quint64(limits::uncompressedTotal))
            return fail(error, QStringLiteral("the entry %1 declares %2 bytes").arg(e.name).arg(e.size));
        total += qint64(e.size);
        if (total > limits::uncompressedTotal)
            return fail(error, QStringLiteral("the entries add up to more than 128 MiB"));
        m_entries.insert(e.name, i);
    }
    return true;
}

qint64 Archive::entrySize(const QString &name) const
{
    const int i = m_entries.value(name, -1);
    return i < 0 ? 0 : qint64(m_zip.entries().at(i).size);
}

QByteArray Archive::head(const QString &name, qint64 n)
{
    const auto it = m_entries.constFind(name);
    if (it == m_entries.constEnd())
        return {};
    return m_zip.head(*it, n, nullptr).value_or(QByteArray());
}

std::optional<QByteArray> Archive::read(const QString &name, qint64 cap, QString *error)
{
    const auto it = m_entries.constFind(name);
    if (it == m_entries.constEnd()) {
        fail(error, QStringLiteral("the entry %1 is missing").arg(name));
        return std::nullopt;
    }
    const qint64 size = entrySize(name);
    if (size > cap) {
        fail(error, QStringLiteral("the entry %1 is %2 bytes, more than %3").arg(name).arg(size).arg(cap));
        return std::nullopt;
    }
    QString why;
    auto data = m_zip.read(*it, &why);
    if (!data)
        fail(error, QStringLiteral("the entry %1 is damaged: %2").arg(name, why));
    return data;
}

} // namespace chimewell::agent
