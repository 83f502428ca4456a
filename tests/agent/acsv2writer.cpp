#include "acsv2writer.h"

#include <QtEndian>

#include <vector>

namespace chimewell::agent::test::acsv2 {

BitWriter::BitWriter() : m_out(1, '\0') {}

void BitWriter::put(quint32 value, int bits)
{
    for (int i = 0; i < bits; ++i) {
        if (m_bit == 0)
            m_out.append('\0');
        if ((value >> i) & 1)
            m_out[m_out.size() - 1] = char(uchar(m_out.back()) | (1 << m_bit));
        m_bit = (m_bit + 1) & 7;
    }
}

void BitWriter::literal(uchar byte)
{
    put(0, 1);
    put(byte, 8);
}

void BitWriter::match(qint64 offset, qint64 count)
{
    put(1, 1);
    if (offset <= 64) {
        put(0, 1);
        put(quint32(offset - 1), 6);
    } else if (offset <= 576) {
        put(1, 1);
        put(0, 1);
        put(quint32(offset - 65), 9);
    } else if (offset <= 4672) {
        put(3, 2);
        put(0, 1);
        put(quint32(offset - 577), 12);
    } else {
        put(7, 3);
        put(quint32(offset - 4673), 20);
        --count;
    }
    const qint64 rest = count - 2;
    int ones = 0;
    while (rest >= (qint64(1) << (ones + 1)) - 1)
        ++ones;
    put((1u << ones) - 1, ones);
    put(0, 1);
    if (ones > 0)
        put(quint32(rest - ((qint64(1) << ones) - 1)), ones);
}

QByteArray BitWriter::finish()
{
    put(1, 1);
    put(7, 3);
    put(0xFFFFF, 20);
    while (m_bit != 0)
        put(1, 1);
    m_out.append(6, char(0xFF));
    return m_out;
}

QByteArray compress(const QByteArray &raw)
{
    const auto *p = reinterpret_cast<const uchar *>(raw.constData());
    const qint64 n = raw.size();
    BitWriter w;
    std::vector<qint64> last(1 << 16, -1);
    auto key = [&](qint64 i) { return (p[i] * 251u + p[i + 1] * 17u + p[i + 2]) & 0xFFFF; };
    qint64 i = 0;
    while (i < n) {
        qint64 bestLen = 0, bestOff = 0;
        const qint64 candidates[] = {i - 1, i + 2 < n ? last[key(i)] : -1};
        for (const qint64 c : candidates) {
            if (c < 0 || i - c > 4673 + 0xFFFFE)
                continue;
            qint64 len = 0;
            while (i + len < n && len < 4096 && p[c + len] == p[i + len])
                ++len;
            if (len > bestLen) {
                bestLen = len;
                bestOff = i - c;
            }
        }
        const qint64 minLen = bestOff > 4672 ? 3 : 2;
        const qint64 step = bestLen >= minLen ? bestLen : 1;
        if (bestLen >= minLen)
            w.match(bestOff, bestLen);
        else
            w.literal(p[i]);
        for (qint64 k = i; k < i + step && k + 2 < n; ++k)
            last[key(k)] = k;
        i += step;
    }
    return w.finish();
}

namespace {

void u8(QByteArray &b, int v) { b.append(char(v)); }
void u16(QByteArray &b, int v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
void u32(QByteArray &b, quint32 v)
{
    u16(b, int(v & 0xFFFF));
    u16(b, int(v >> 16));
}
void str(QByteArray &b, const QString &s)
{
    u32(b, quint32(s.size()));
    for (const QChar ch : s)
        u16(b, ch.unicode());
    if (!s.isEmpty())
        u16(b, 0);
}

struct Loc
{
    quint32 offset;
    quint32 size;
};

Loc place(QByteArray &file, const QByteArray &block)
{
    const Loc l{quint32(file.size()), quint32(block.size())};
    file.append(block);
    return l;
}

void loc(QByteArray &b, Loc l)
{
    u32(b, l.offset);
    u32(b, l.size);
}

} // namespace

QByteArray write(const CharacterDef &def)
{
    QByteArray file(36, '\0');

    QByteArray names;
    u16(names, int(def.names.size()));
    for (const NameDef &n : def.names) {
        u16(names, n.language);
        str(names, n.name);
        str(names, n.description);
        str(names, QString());
    }
    const Loc namesAt = place(file, names);

    QByteArray info;
    u16(info, 0);
    u16(info, 2);
    loc(info, namesAt);
    info.append(16, '\x11');
    u16(info, def.width);
    u16(info, def.height);
    u8(info, def.transparent);
    u32(info, (def.voice ? 0x20 : 0) | (def.balloon ? 0x200 : 0));
    u16(info, 2);
    u16(info, 0);
    if (def.voice) {
        info.append(32, '\x22');
        u32(info, def.speed);
        u16(info, def.pitch);
        u8(info, 1);
        u16(info, 0x0409);
        str(info, QStringLiteral("Standard"));
        u16(info, def.gender);
        u16(info, 30);
        str(info, QString());
    }
    if (def.balloon) {
        u8(info, 2);
        u8(info, 32);
        info.append(12, '\x33');
        str(info, QStringLiteral("Arial"));
        u32(info, quint32(-13));
        u32(info, 400);
        u8(info, 0);
        u8(info, 0);
    }
    u32(info, quint32(def.palette.size()));
    for (const QRgb c : def.palette) {
        u8(info, qBlue(c));
        u8(info, qGreen(c));
        u8(info, qRed(c));
        u8(info, 0);
    }
    u8(info, def.trayIcon ? 1 : 0);
    if (def.trayIcon) {
        u32(info, 3);
        info.append(3, 'm');
        u32(info, 5);
        info.append(5, 'c');
    }
    u16(info, int(def.states.size()));
    for (const auto &s : def.states) {
        str(info, s.first);
        u16(info, int(s.second.size()));
        for (const QString &a : s.second)
            str(info, a);
    }
    const Loc infoAt = place(file, info);

    QList<Loc> animAt;
    for (const AnimationDef &a : def.animations) {
        QByteArray b;
        str(b, a.name);
        u8(b, a.transition);
        str(b, a.returnName);
        u16(b, int(a.frames.size()));
        for (const FrameDef &f : a.frames) {
            u16(b, int(f.images.size()));
            for (const Placed &p : f.images) {
                u32(b, quint32(p.image));
                u16(b, p.x);
                u16(b, p.y);
            }
            u16(b, f.sound < 0 ? 0xFFFF : f.sound);
            u16(b, f.duration);
            u16(b, f.exit);
            u8(b, int(f.branches.size()));
            for (const auto &br : f.branches) {
                u16(b, br.first);
                u16(b, br.second);
            }
            u8(b, int(f.mouths.size()));
            for (const MouthOverlay &m : f.mouths) {
                u8(b, m.type);
                u8(b, 1);
                u16(b, m.image);
                u8(b, 0);
                u8(b, 1); // with a region, which the reader passes over
                u16(b, m.x);
                u16(b, m.y);
                u16(b, def.images.at(m.image).width);
                u16(b, def.images.at(m.image).height);
                u32(b, 4);
                b.append(4, '\x44');
            }
        }
        animAt.append(place(file, b));
    }
    QByteArray animList;
    u32(animList, quint32(def.animations.size()));
    for (int i = 0; i < def.animations.size(); ++i) {
        str(animList, def.animations.at(i).name);
        loc(animList, animAt.at(i));
    }
    const Loc animListAt = place(file, animList);

    QList<Loc> imageAt;
    for (const ImageDef &img : def.images) {
        const int stride = (img.width + 3) & ~3;
        // Bottom row first; the padding holds whatever, as real files do.
        QByteArray raw(qsizetype(stride) * img.height, char(0xA5));
        for (int y = 0; y < img.height && img.data.isEmpty(); ++y)
            memcpy(raw.data() + qsizetype(img.height - 1 - y) * stride, img.pixels.constData() + qsizetype(y) * img.width,
                   size_t(img.width));
        const QByteArray data = !img.data.isEmpty() ? img.data : img.compressed ? compress(raw) : raw;
        QByteArray b;
        u8(b, 0);
        u16(b, img.width);
        u16(b, img.height);
        u8(b, img.compressed ? 1 : 0);
        u32(b, quint32(data.size()));
        b.append(data);
        u32(b, 0);
        u32(b, 0);
        imageAt.append(place(file, b));
    }
    QByteArray imageList;
    u32(imageList, quint32(imageAt.size()));
    for (const Loc l : imageAt) {
        loc(imageList, l);
        u32(imageList, 0x12345678);
    }
    const Loc imageListAt = place(file, imageList);

    QList<Loc> soundAt;
    for (const QByteArray &s : def.sounds)
        soundAt.append(place(file, s));
    QByteArray soundList;
    u32(soundList, quint32(soundAt.size()));
    for (const Loc l : soundAt) {
        loc(soundList, l);
        u32(soundList, 0);
    }
    const Loc soundListAt = place(file, soundList);

    QByteArray header;
    u32(header, 0xABCDABC3);
    loc(header, infoAt);
    loc(header, animListAt);
    loc(header, imageListAt);
    loc(header, soundListAt);
    file.replace(0, header.size(), header);
    return file;
}

} // namespace chimewell::agent::test::acsv2
