#include "png.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
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

namespace {
// Deflates `raw` at that level; empty on failure.
QByteArray deflateWith(const std::vector<unsigned char> &raw, int level)
{
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray packed(qsizetype(deflateBound(&z, uLong(raw.size()))), Qt::Uninitialized);
    z.next_in = const_cast<Bytef *>(raw.data());
    z.avail_in = uInt(raw.size());
    z.next_out = reinterpret_cast<Bytef *>(packed.data());
    z.avail_out = uInt(packed.size());
    const int done = deflate(&z, Z_FINISH);
    packed.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return done == Z_STREAM_END ? packed : QByteArray();
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}
} // namespace

QByteArray encodePng(const QImage &image, PngEffort effort)
{
    const QImage img = image.convertToFormat(QImage::Format_RGBA8888);
    if (img.isNull())
        return {};
    const int w = img.width(), h = img.height();
    const size_t stride = size_t(w) * 4;
    // Each row gets the filter whose output has the smallest sum of magnitudes
    // (the usual PNG heuristic); the files are built once and shipped, so the
    // slowest deflate is worth its time.
    std::vector<unsigned char> raw((stride + 1) * size_t(h));
    std::vector<unsigned char> zero(stride, 0), trial(stride);
    for (int y = 0; y < h; ++y) {
        const unsigned char *cur = img.constScanLine(y);
        const unsigned char *up = y > 0 ? img.constScanLine(y - 1) : zero.data();
        unsigned char *dst = raw.data() + (stride + 1) * size_t(y);
        long best = -1;
        for (int filter = 0; filter < 5; ++filter) {
            long sum = 0;
            for (size_t i = 0; i < stride; ++i) {
                const int a = i >= 4 ? cur[i - 4] : 0, b = up[i], c = i >= 4 ? up[i - 4] : 0;
                int pred = 0;
                switch (filter) {
                case 1: pred = a; break;
                case 2: pred = b; break;
                case 3: pred = (a + b) / 2; break;
                case 4: pred = paeth(a, b, c); break;
                default: break;
                }
                trial[i] = static_cast<unsigned char>(cur[i] - pred);
                sum += std::abs(int(static_cast<signed char>(trial[i])));
            }
            if (best < 0 || sum < best) {
                best = sum;
                dst[0] = static_cast<unsigned char>(filter);
                std::copy(trial.begin(), trial.end(), dst + 1);
            }
        }
    }
    const QByteArray packed = deflateWith(raw, effort == PngEffort::Best ? 9 : 1);
    if (packed.isEmpty())
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
