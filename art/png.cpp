#include "png.h"

#include <QtEndian>

#include <zlib.h>

#include <vector>

namespace chimewell::art {

namespace {
void chunk(QByteArray &out, const char *type, const QByteArray &data)
{
    char len[4];
    qToBigEndian(quint32(data.size()), len);
    out.append(len, 4);
    QByteArray body(type, 4);
    body.append(data);
    out.append(body);
    char crc[4];
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))), crc);
    out.append(crc, 4);
}
} // namespace

QByteArray encodePng(const QImage &image)
{
    const QImage img = image.convertToFormat(QImage::Format_RGBA8888);
    if (img.isNull())
        return {};
    const int w = img.width(), h = img.height();
    const size_t stride = size_t(w) * 4;
    // Every row with the "Sub" filter: each byte minus the one a pixel to its left.
    std::vector<unsigned char> raw((stride + 1) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const unsigned char *src = img.constScanLine(y);
        unsigned char *dst = raw.data() + (stride + 1) * size_t(y);
        dst[0] = 1;
        for (size_t i = 0; i < stride; ++i)
            dst[1 + i] = static_cast<unsigned char>(src[i] - (i >= 4 ? src[i - 4] : 0));
    }
    z_stream z{};
    // Run-length deflate: as small as the default here (long runs of clear and flat
    // colour) and much quicker.
    if (deflateInit2(&z, 6, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK)
        return {};
    QByteArray packed(qsizetype(deflateBound(&z, uLong(raw.size()))), Qt::Uninitialized);
    z.next_in = raw.data();
    z.avail_in = uInt(raw.size());
    z.next_out = reinterpret_cast<Bytef *>(packed.data());
    z.avail_out = uInt(packed.size());
    const int done = deflate(&z, Z_FINISH);
    packed.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    if (done != Z_STREAM_END)
        return {};

    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr(13, '\0');
    qToBigEndian(quint32(w), ihdr.data());
    qToBigEndian(quint32(h), ihdr.data() + 4);
    ihdr[8] = 8; // bits per channel
    ihdr[9] = 6; // RGBA
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", QByteArray());
    return out;
}

} // namespace chimewell::art
