#pragma once

#include <QByteArray>
#include <QString>

#include <deque>
#include <utility>

namespace chimewell::art {

// Collects entries and writes them as one zip archive. PNG and packed (.lzma)
// entries are stored (they are compressed already), everything else deflated.
class AcsWriter final
{
public:
    void add(const QString &name, const QByteArray &data);
    bool contains(const QString &name) const;
    int count() const { return int(m_entries.size()); }
    // Writes the archive; on failure leaves no partial file and says why.
    bool write(const QString &path, QString *error) const;

private:
    std::deque<std::pair<QString, QByteArray>> m_entries; // libzip reads the buffers at close
};

} // namespace chimewell::art
