#include "acswriter.h"

#include <QFile>

#include <zip.h>

namespace chimewell::art {

namespace {
// Fixed entry times keep the files identical from build to build.
constexpr time_t entryTime = 1700000000;

QString zipMessage(zip_t *z)
{
    return QString::fromUtf8(zip_strerror(z));
}
} // namespace

void AcsWriter::add(const QString &name, const QByteArray &data)
{
    for (auto &e : m_entries) {
        if (e.first == name) {
            e.second = data;
            return;
        }
    }
    m_entries.emplace_back(name, data);
}

bool AcsWriter::contains(const QString &name) const
{
    for (const auto &e : m_entries)
        if (e.first == name)
            return true;
    return false;
}

bool AcsWriter::write(const QString &path, QString *error) const
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    int code = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!z) {
        zip_error_t e;
        zip_error_init_with_code(&e, code);
        const QString why = QString::fromUtf8(zip_error_strerror(&e));
        zip_error_fini(&e);
        return fail(QStringLiteral("cannot create %1: %2").arg(path, why));
    }
    for (const auto &[name, data] : m_entries) {
        zip_source_t *src = zip_source_buffer(z, data.constData(), zip_uint64_t(data.size()), 0);
        if (!src) {
            const QString why = zipMessage(z);
            zip_discard(z);
            return fail(why);
        }
        const zip_int64_t index = zip_file_add(z, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            const QString why = zipMessage(z);
            zip_source_free(src);
            zip_discard(z);
            return fail(QStringLiteral("cannot add %1: %2").arg(name, why));
        }
        const bool packed = name.endsWith(QLatin1String(".png")) || name.endsWith(QLatin1String(".lzma"));
        if (zip_set_file_compression(z, zip_uint64_t(index), packed ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) < 0 ||
            zip_file_set_mtime(z, zip_uint64_t(index), entryTime, 0) < 0) {
            const QString why = zipMessage(z);
            zip_discard(z);
            return fail(why);
        }
    }
    // libzip writes a temporary file and renames it over the target on close.
    if (zip_close(z) < 0) {
        const QString why = zipMessage(z);
        zip_discard(z);
        return fail(QStringLiteral("cannot write %1: %2").arg(path, why));
    }
    return true;
}

} // namespace chimewell::art
