#include "acsbuilder.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QtEndian>
#include <QtMath>

#include <lzma.h>
#include <zip.h>

namespace chimewell::agent::test {

QByteArray makeZip(const QList<ZipEntry> &entries)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *src = zip_source_buffer_create(nullptr, 0, 0, &err);
    if (!src)
        return {};
    zip_source_keep(src);
    zip_t *zip = zip_open_from_source(src, ZIP_TRUNCATE, &err);
    if (!zip) {
        zip_source_free(src);
        return {};
    }
    for (const ZipEntry &e : entries) {
        // libzip copies nothing until zip_close; keep the bytes alive until then.
        zip_source_t *s = nullptr;
        if (e.data.isEmpty()) {
            s = zip_source_buffer(zip, nullptr, 0, 0);
        } else {
            auto *copy = static_cast<char *>(malloc(size_t(e.data.size())));
            memcpy(copy, e.data.constData(), size_t(e.data.size()));
            s = zip_source_buffer(zip, copy, zip_uint64_t(e.data.size()), 1);
        }
        const zip_int64_t idx = zip_file_add(zip, e.name.toUtf8().constData(), s, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (idx < 0) {
            zip_source_free(s);
            continue;
        }
        zip_set_file_compression(zip, zip_uint64_t(idx), e.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
    }
    if (zip_close(zip) != 0) {
        zip_discard(zip);
        zip_source_free(src);
        return {};
    }
    QByteArray out;
    zip_stat_t st;
    if (zip_source_stat(src, &st) == 0 && zip_source_open(src) == 0) {
        out.resize(qsizetype(st.size));
        const zip_int64_t n = zip_source_read(src, out.data(), st.size);
        out.resize(n < 0 ? 0 : qsizetype(n));
        zip_source_close(src);
    }
    zip_source_free(src);
    return out;
}

bool patchDeclaredSize(QByteArray &zip, const QString &entry, quint32 size)
{
    const QByteArray name = entry.toUtf8();
    auto *p = reinterpret_cast<uchar *>(zip.data());
    bool local = false;
    bool central = false;
    for (qsizetype i = 0; i + 46 <= zip.size(); ++i) {
        if (p[i] == 'P' && p[i + 1] == 'K' && p[i + 2] == 3 && p[i + 3] == 4) {
            const int nameLen = qFromLittleEndian<quint16>(p + i + 26);
            if (i + 30 + nameLen <= zip.size() && QByteArray(reinterpret_cast<char *>(p + i + 30), nameLen) == name) {
                qToLittleEndian<quint32>(size, p + i + 22);
                local = true;
            }
        } else if (p[i] == 'P' && p[i + 1] == 'K' && p[i + 2] == 1 && p[i + 3] == 2) {
            const int nameLen = qFromLittleEndian<quint16>(p + i + 28);
            if (i + 46 + nameLen <= zip.size() && QByteArray(reinterpret_cast<char *>(p + i + 46), nameLen) == name) {
                qToLittleEndian<quint32>(size, p + i + 24);
                central = true;
            }
        }
    }
    return local && central;
}

QImage paintFrame(int width, int height, const QColor &colour, qreal scale)
{
    QImage img(qRound(width * scale), qRound(height * scale), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    // A disc in the middle: the corners stay fully transparent.
    p.drawEllipse(QRectF(img.width() * 0.2, img.height() * 0.2, img.width() * 0.6, img.height() * 0.6));
    return img;
}

QByteArray png(const QImage &image)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, "PNG");
    return out;
}

QByteArray wav(int ms, int sampleRate, int bits, int channels)
{
    const int frames = int(qint64(sampleRate) * ms / 1000);
    QByteArray pcm;
    for (int i = 0; i < frames; ++i) {
        const double v = 0.1 * qSin(2 * M_PI * 440 * i / sampleRate);
        for (int c = 0; c < channels; ++c) {
            if (bits == 8) {
                pcm.append(char(uchar(128 + v * 127)));
            } else {
                const qint16 s = qint16(v * 32767);
                pcm.append(char(s & 0xff));
                pcm.append(char((s >> 8) & 0xff));
            }
        }
    }
    QByteArray out("RIFF");
    const auto u32 = [&out](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xff));
    };
    const auto u16 = [&out](quint16 v) {
        out.append(char(v & 0xff));
        out.append(char(v >> 8));
    };
    u32(quint32(36 + pcm.size()));
    out.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(quint16(channels));
    u32(quint32(sampleRate));
    u32(quint32(sampleRate * channels * bits / 8));
    u16(quint16(channels * bits / 8));
    u16(quint16(bits));
    out.append("data");
    u32(quint32(pcm.size()));
    out.append(pcm);
    return out;
}

TestCharacter::TestCharacter(int size, int frameMs) : size(size)
{
    manifest = QJsonObject{
        {QStringLiteral("format"), 1},
        {QStringLiteral("name"), QStringLiteral("Testy")},
        {QStringLiteral("description"), QStringLiteral("A character painted by the tests.")},
        {QStringLiteral("width"), size},
        {QStringLiteral("height"), size},
        {QStringLiteral("voice"), QJsonObject{{QStringLiteral("language"), QStringLiteral("en-us")}, {QStringLiteral("pitch"), 60}}},
        {QStringLiteral("animations"), QJsonObject{}},
    };
    addAnimation(QStringLiteral("RestPose"), 1, frameMs, QColor(200, 30, 30));
    addAnimation(QStringLiteral("Show"), 3, frameMs, QColor(30, 200, 30));
    addAnimation(QStringLiteral("Hide"), 3, frameMs, QColor(30, 30, 200));
    addAnimation(QStringLiteral("Greet"), 3, frameMs, QColor(200, 200, 30));
    addAnimation(QStringLiteral("Wave"), 4, frameMs, QColor(200, 30, 200));
    addAnimation(QStringLiteral("Speak"), 2, frameMs, QColor(30, 200, 200));
    addAnimation(QStringLiteral("MoveLeft"), 2, frameMs, QColor(120, 60, 0));
    addAnimation(QStringLiteral("MoveRight"), 2, frameMs, QColor(0, 60, 120));
    addAnimation(QStringLiteral("Idle1"), 2, frameMs, QColor(90, 90, 90));
    addAnimation(QStringLiteral("Blink"), 1, frameMs, QColor(60, 60, 60));
    QJsonObject anims = manifest.value(QStringLiteral("animations")).toObject();
    QJsonObject greet = anims.value(QStringLiteral("Greet")).toObject();
    greet.insert(QStringLiteral("return"), QStringLiteral("RestPose"));
    anims.insert(QStringLiteral("Greet"), greet);
    manifest.insert(QStringLiteral("animations"), anims);
    const auto list = [](const char *a) { return QJsonArray{QString::fromLatin1(a)}; };
    manifest.insert(QStringLiteral("states"),
                    QJsonObject{{QStringLiteral("Showing"), list("Show")},
                                {QStringLiteral("Hiding"), list("Hide")},
                                {QStringLiteral("Speaking"), list("Speak")},
                                {QStringLiteral("MovingLeft"), list("MoveLeft")},
                                {QStringLiteral("MovingRight"), list("MoveRight")},
                                {QStringLiteral("Idling"), QJsonArray{QStringLiteral("Idle1"), QStringLiteral("Blink")}},
                                {QStringLiteral("Rest"), list("RestPose")}});
}

void TestCharacter::addAnimation(const QString &name, int frames, int frameMs, const QColor &colour)
{
    QJsonArray list;
    for (int i = 0; i < frames; ++i) {
        const QString image = QStringLiteral("frames/%1_%2.png").arg(name.toLower()).arg(i);
        files.insert(image, png(paintFrame(size, size, colour.lighter(100 + 10 * i))));
        list.append(QJsonObject{{QStringLiteral("image"), image}, {QStringLiteral("duration"), frameMs}});
    }
    QJsonObject anims = manifest.value(QStringLiteral("animations")).toObject();
    anims.insert(name, QJsonObject{{QStringLiteral("frames"), list}});
    manifest.insert(QStringLiteral("animations"), anims);
}

QByteArray TestCharacter::build() const
{
    QList<ZipEntry> entries{{QStringLiteral("manifest.json"), QJsonDocument(manifest).toJson(QJsonDocument::Compact), false}};
    for (auto it = files.begin(); it != files.end(); ++it)
        entries.append({it.key(), it.value(), stored.value(it.key(), false)});
    return makeZip(entries);
}

QString TestCharacter::write(const QString &folder, const QString &fileName) const
{
    const QString path = folder + QLatin1Char('/') + fileName;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(build());
    return path;
}

QByteArray lzmaPack(const QByteArray &raw, const QByteArray &dictionary)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 1);
    options.dict_size = std::max<uint32_t>(LZMA_DICT_SIZE_MIN, uint32_t(raw.size() + dictionary.size()));
    options.preset_dict = dictionary.isEmpty() ? nullptr : reinterpret_cast<const uint8_t *>(dictionary.constData());
    options.preset_dict_size = uint32_t(dictionary.size());
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    QByteArray out(qsizetype(lzma_stream_buffer_bound(size_t(raw.size()))), Qt::Uninitialized);
    size_t used = 0;
    if (lzma_raw_buffer_encode(filters, nullptr, reinterpret_cast<const uint8_t *>(raw.constData()), size_t(raw.size()),
                               reinterpret_cast<uint8_t *>(out.data()), &used, size_t(out.size())) != LZMA_OK)
        return {};
    out.truncate(qsizetype(used));
    return out;
}

QByteArray rgbaBytes(const QImage &image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray out;
    for (int y = 0; y < rgba.height(); ++y)
        out.append(reinterpret_cast<const char *>(rgba.constScanLine(y)), qsizetype(rgba.width()) * 4);
    return out;
}

} // namespace chimewell::agent::test
