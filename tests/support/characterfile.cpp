#include "tests/support/characterfile.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <zip.h>

namespace chimewell::testing {

bool writeCharacterFile(const QString &path, const QString &name, const QString &description, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(40, 120, 200, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;

    const QJsonArray frames{QJsonObject{{QStringLiteral("image"), QStringLiteral("frames/rest.png")},
                                        {QStringLiteral("duration"), 20}}};
    QJsonObject animations;
    for (const char *a : {"RestPose", "Show", "Hide", "Congratulate", "Confused", "Decline", "DoMagic1", "Explain",
                          "Greet", "LookDown", "Pleased", "Read"})
        animations.insert(QString::fromLatin1(a), QJsonObject{{QStringLiteral("frames"), frames}});
    const QJsonObject manifest{
        {QStringLiteral("format"), 1},
        {QStringLiteral("name"), name},
        {QStringLiteral("description"), description},
        {QStringLiteral("width"), width},
        {QStringLiteral("height"), height},
        {QStringLiteral("animations"), animations},
        {QStringLiteral("states"),
         QJsonObject{{QStringLiteral("Showing"), QJsonArray{QStringLiteral("Show")}},
                     {QStringLiteral("Hiding"), QJsonArray{QStringLiteral("Hide")}},
                     {QStringLiteral("Rest"), QJsonArray{QStringLiteral("RestPose")}}}},
    };
    const QByteArray json = QJsonDocument(manifest).toJson();

    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    // libzip reads the buffers at zip_close, so they live until then.
    const std::pair<const char *, const QByteArray *> entries[] = {{"manifest.json", &json},
                                                                   {"frames/rest.png", &png}};
    for (const auto &[entry, bytes] : entries) {
        zip_source_t *source = zip_source_buffer(zip, bytes->constData(), zip_uint64_t(bytes->size()), 0);
        if (!source || zip_file_add(zip, entry, source, ZIP_FL_OVERWRITE) < 0) {
            if (source)
                zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

} // namespace chimewell::testing
