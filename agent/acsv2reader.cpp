#include "agent/acsv2reader.h"

#include <QHash>
#include <QImage>
#include <QLocale>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

namespace chimewell::agent::acsv2 {

Kind identify(const QByteArray &head)
{
    if (head.startsWith("PK\x03\x04"))
        return Kind::Zip;
    if (head.size() >= 4) {
        const quint32 sig = qFromLittleEndian<quint32>(head.constData());
        if (sig == signature)
            return Kind::V2;
        if (sig == webSignature)
            return Kind::Web;
    }
    if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return Kind::Compound;
    return Kind::Other;
}

QString refusal(Kind kind)
{
    switch (kind) {
    case Kind::Web:
        return QStringLiteral("this is a web character's .acf file, which holds no pictures of its own; "
                              "load the character's .acs file instead");
    case Kind::Compound:
        return QStringLiteral("this is a version 1.5 Agent character (a compound document), which is not supported; "
                              "only version 2 characters and our own are");
    case Kind::Other: // read as a zip, whose reader names what is wrong
    case Kind::Zip:
    case Kind::V2:
        break;
    }
    return {};
}

namespace {

// Bits come from each byte lowest first; a value's first bit is its lowest.
class BitReader
{
public:
    BitReader(const uchar *data, qint64 size) : m_data(data), m_bits(size * 8) {}
    // -1 when the data ends first.
    qint32 get(int n)
    {
        if (m_pos + n > m_bits)
            return -1;
        qint32 v = 0;
        for (int i = 0; i < n; ++i, ++m_pos)
            v |= qint32((m_data[m_pos >> 3] >> (m_pos & 7)) & 1) << i;
        return v;
    }

private:
    const uchar *m_data;
    qint64 m_bits;
    qint64 m_pos = 8; // the first byte is always zero and carries nothing
};

bool failed(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

std::optional<QByteArray> decompress(const uchar *data, qint64 size, qint64 expected, QString *why)
{
    if (expected < 0 || expected > qint64(limits::imageSide) * limits::imageSide) {
        failed(why, QStringLiteral("the compressed picture claims %1 bytes").arg(expected));
        return std::nullopt;
    }
    if (size < 1 || data[0] != 0) {
        failed(why, QStringLiteral("the compressed data does not start with a zero byte"));
        return std::nullopt;
    }
    const QString truncated = QStringLiteral("the compressed data ends too soon");
    QByteArray out(expected, '\0');
    auto *o = reinterpret_cast<uchar *>(out.data());
    qint64 at = 0;
    BitReader bits(data, size);
    // Every step consumes at least one bit, so the loop ends within size * 8 steps.
    for (;;) {
        const qint32 flag = bits.get(1);
        if (flag < 0) {
            failed(why, truncated);
            return std::nullopt;
        }
        if (flag == 0) {
            const qint32 byte = bits.get(8);
            if (byte < 0) {
                failed(why, truncated);
                return std::nullopt;
            }
            if (at >= expected) {
                failed(why, QStringLiteral("the compressed data holds more than the picture's %1 bytes").arg(expected));
                return std::nullopt;
            }
            o[at++] = uchar(byte);
            continue;
        }
        qint64 count = 2;
        qint64 offset = 0;
        // The offset's width: 0 -> 6 bits, 10 -> 9, 110 -> 12, 111 -> 20 (all ones: the end).
        static const int widths[] = {6, 9, 12, 20};
        static const qint64 bases[] = {1, 65, 577, 4673};
        int kind = 0;
        while (kind < 3) {
            const qint32 b = bits.get(1);
            if (b < 0) {
                failed(why, truncated);
                return std::nullopt;
            }
            if (b == 0)
                break;
            ++kind;
        }
        const qint32 raw = bits.get(widths[kind]);
        if (raw < 0) {
            failed(why, truncated);
            return std::nullopt;
        }
        if (kind == 3) {
            if (raw == 0xFFFFF)
                break;
            ++count;
        }
        offset = raw + bases[kind];
        int ones = 0;
        for (;;) {
            const qint32 b = bits.get(1);
            if (b < 0) {
                failed(why, truncated);
                return std::nullopt;
            }
            if (b == 0)
                break;
            if (++ones == 12) {
                failed(why, QStringLiteral("a run in the compressed data is too long"));
                return std::nullopt;
            }
        }
        if (ones > 0) {
            const qint32 extra = bits.get(ones);
            if (extra < 0) {
                failed(why, truncated);
                return std::nullopt;
            }
            count += (qint64(1) << ones) - 1 + extra;
        }
        if (offset > at) {
            failed(why, QStringLiteral("the compressed data refers to bytes before its start"));
            return std::nullopt;
        }
        if (count > expected - at) {
            failed(why, QStringLiteral("the compressed data holds more than the picture's %1 bytes").arg(expected));
            return std::nullopt;
        }
        // Byte by byte: a run may repeat what it is writing.
        for (qint64 i = 0; i < count; ++i, ++at)
            o[at] = o[at - offset];
    }
    if (at != expected) {
        failed(why, QStringLiteral("the compressed data holds %1 bytes, not the picture's %2").arg(at).arg(expected));
        return std::nullopt;
    }
    return out;
}

namespace {

// Reads little-endian values inside one block of the file; past its end every
// read gives zero and marks the cursor bad, so parsing code checks once per item.
class Cursor
{
public:
    Cursor(const QByteArray &bytes, qint64 begin, qint64 end)
        : m_data(reinterpret_cast<const uchar *>(bytes.constData())), m_pos(begin), m_end(end)
    {
    }

    bool ok() const { return m_ok; }
    qint64 remaining() const { return m_ok ? m_end - m_pos : 0; }
    qint64 pos() const { return m_pos; }

    bool need(qint64 n)
    {
        if (!m_ok || n < 0 || n > m_end - m_pos)
            m_ok = false;
        return m_ok;
    }
    void skip(qint64 n)
    {
        if (need(n))
            m_pos += n;
    }
    quint8 u8() { return need(1) ? m_data[m_pos++] : 0; }
    quint16 u16()
    {
        if (!need(2))
            return 0;
        m_pos += 2;
        return qFromLittleEndian<quint16>(m_data + m_pos - 2);
    }
    qint16 s16() { return qint16(u16()); }
    quint32 u32()
    {
        if (!need(4))
            return 0;
        m_pos += 4;
        return qFromLittleEndian<quint32>(m_data + m_pos - 4);
    }
    // A count of UTF-16 units, the units, and a terminating zero when there are any.
    QString str()
    {
        const quint32 n = u32();
        if (n == 0)
            return {};
        if (n > quint32(agent::limits::descriptionChars) || !need(qint64(n) * 2 + 2)) {
            m_ok = false;
            return {};
        }
        QString s(qsizetype(n), Qt::Uninitialized);
        for (quint32 i = 0; i < n; ++i)
            s[qsizetype(i)] = QChar(qFromLittleEndian<quint16>(m_data + m_pos + 2 * i));
        m_pos += qint64(n) * 2 + 2;
        return s;
    }
    const uchar *here() const { return m_data + m_pos; }

private:
    const uchar *m_data;
    qint64 m_pos;
    qint64 m_end;
    bool m_ok = true;
};

struct Locator
{
    qint64 offset = 0;
    qint64 size = 0;
};

struct Overlay
{
    int type = 0;
    int image = 0;
    QPoint at;
};

struct Placed
{
    quint32 image;
    qint16 x;
    qint16 y;
};

// The ACS primary language ids of the languages a user is most likely to run in.
int primaryLanguageId(QLocale::Language language)
{
    switch (language) {
    case QLocale::German: return 0x07;
    case QLocale::English: return 0x09;
    case QLocale::Spanish: return 0x0A;
    case QLocale::French: return 0x0C;
    case QLocale::Italian: return 0x10;
    case QLocale::Japanese: return 0x11;
    case QLocale::Korean: return 0x12;
    case QLocale::Dutch: return 0x13;
    case QLocale::Polish: return 0x15;
    case QLocale::Portuguese: return 0x16;
    case QLocale::Russian: return 0x19;
    case QLocale::Swedish: return 0x1D;
    case QLocale::Chinese: return 0x04;
    default: return -1;
    }
}

// The state names genuine characters use, and ours for them.
std::optional<State> stateFor(const QString &name)
{
    static const struct {
        const char *name;
        State state;
    } table[] = {{"showing", State::Showing},         {"hiding", State::Hiding},
                 {"speaking", State::Speaking},       {"movingleft", State::MovingLeft},
                 {"movingright", State::MovingRight}, {"movingup", State::MovingUp},
                 {"movingdown", State::MovingDown}, {"listening", State::Listening},
                 {"hearing", State::Hearing}};
    const QString lower = name.toLower();
    for (const auto &e : table)
        if (lower == QLatin1String(e.name))
            return e.state;
    // IdlingLevel1, IdlingLevel2, IdlingLevel3: all are idle animations to us.
    if (lower.startsWith(QLatin1String("idling")))
        return State::Idling;
    return std::nullopt;
}

// The PNG chunks' checksum (the usual CRC-32).
quint32 crc32(const char *p, qsizetype n, quint32 crc)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (qsizetype i = 0; i < n; ++i)
        crc = table[(crc ^ uchar(p[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void pngChunk(QByteArray &out, const char *type, const QByteArray &data)
{
    char be[4];
    qToBigEndian<quint32>(quint32(data.size()), be);
    out.append(be, 4);
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    qToBigEndian<quint32>(crc32(out.constData() + start, out.size() - start, 0), be);
    out.append(be, 4);
}

// A palette PNG of the frame, packed by hand: unfiltered rows deflated at the
// fastest level, which is all palette pictures need, at a tenth of the time a
// general PNG writer takes to try every filter.
QByteArray palettePng(const QImage &indexed, const QList<QRgb> &palette)
{
    const int w = indexed.width();
    const int h = indexed.height();
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(w), header.data());
    qToBigEndian<quint32>(quint32(h), header.data() + 4);
    header[8] = 8; // bits per index
    header[9] = 3; // palette
    pngChunk(out, "IHDR", header);
    QByteArray colours;
    QByteArray alpha;
    for (const QRgb c : palette) {
        colours.append(char(qRed(c)));
        colours.append(char(qGreen(c)));
        colours.append(char(qBlue(c)));
        alpha.append(char(qAlpha(c)));
    }
    pngChunk(out, "PLTE", colours);
    pngChunk(out, "tRNS", alpha);
    QByteArray rows;
    rows.reserve(qsizetype(w + 1) * h);
    for (int y = 0; y < h; ++y) {
        rows.append('\0');
        rows.append(reinterpret_cast<const char *>(indexed.constScanLine(y)), w);
    }
    // qCompress gives a zlib stream after four bytes of length.
    pngChunk(out, "IDAT", qCompress(rows, 1).mid(4));
    pngChunk(out, "IEND", QByteArray());
    return out;
}

// Genuine mouth shapes (closed, wide 1-4, medium, narrow) -> ours, by voice::Mouth.
constexpr int mouthFromOverlay[7] = {int(voice::Mouth::Closed), int(voice::Mouth::Small), int(voice::Mouth::Open),
                                     int(voice::Mouth::Wide),   int(voice::Mouth::Wide),  int(voice::Mouth::Open),
                                     int(voice::Mouth::Round)};

class Reader
{
public:
    Reader(const QByteArray &bytes, QString *error) : m_bytes(bytes), m_error(error) {}

    bool parse(CharacterData &c)
    {
        if (m_bytes.size() > agent::limits::archiveBytes)
            return bad(QStringLiteral("the file is larger than 64 MiB"));
        Cursor head(m_bytes, 0, m_bytes.size());
        if (head.u32() != signature)
            return bad(QStringLiteral("not a version 2 Agent character"));
        Locator info, anims, images, audio;
        if (!locator(head, &info) || !locator(head, &anims) || !locator(head, &images) || !locator(head, &audio))
            return bad(QStringLiteral("the file's header points outside the file"));
        return readCharacter(info, c) && readLocatorTable(images, limits::images, QStringLiteral("image"), &m_images)
            && readLocatorTable(audio, limits::sounds, QStringLiteral("sound"), &m_audio)
            && readAnimations(anims, c) && build(c);
    }

private:
    bool bad(const QString &why)
    {
        if (m_error && m_error->isEmpty())
            *m_error = QStringLiteral("Agent character: ") + why;
        return false;
    }

    bool locator(Cursor &cur, Locator *out)
    {
        out->offset = cur.u32();
        out->size = cur.u32();
        return cur.ok() && out->offset <= m_bytes.size() && out->size <= m_bytes.size() - out->offset;
    }

    Cursor at(const Locator &l) const { return Cursor(m_bytes, l.offset, l.offset + l.size); }

    bool readCharacter(const Locator &where, CharacterData &c)
    {
        Cursor cur = at(where);
        cur.skip(4); // version
        Locator names;
        if (!locator(cur, &names))
            return bad(QStringLiteral("the names lie outside the file"));
        cur.skip(16); // the character's id
        c.width = cur.u16();
        c.height = cur.u16();
        m_transparent = cur.u8();
        const quint32 flags = cur.u32();
        cur.skip(4); // animation set version
        if (!cur.ok())
            return bad(QStringLiteral("the character information is cut short"));
        if (c.width < agent::limits::minSide || c.width > agent::limits::maxSide || c.height < agent::limits::minSide
            || c.height > agent::limits::maxSide)
            return bad(QStringLiteral("the frame size %1x%2 is outside 16 to 512").arg(c.width).arg(c.height));
        m_width = c.width;
        m_height = c.height;
        if (flags & 0x20)
            readVoice(cur, c.voice);
        if (flags & 0x200) {
            // Balloon settings: lines, width, colours and font. Our balloon draws
            // in the desktop's style, so they are checked and passed over.
            cur.skip(2 + 12);
            cur.str();
            cur.skip(4 + 4 + 2);
        }
        const quint32 colours = cur.u32();
        if (!cur.ok() || colours > 256 || !cur.need(qint64(colours) * 4))
            return bad(QStringLiteral("the palette is damaged"));
        m_palette.fill(qRgb(0, 0, 0), 256);
        for (quint32 i = 0; i < colours; ++i) {
            const uchar *q = cur.here();
            m_palette[int(i)] = qRgb(q[2], q[1], q[0]);
            cur.skip(4);
        }
        m_palette[m_transparent] = qRgba(0, 0, 0, 0);
        if (cur.u8() == 1) { // tray icon: two bitmaps we do not use
            cur.skip(cur.u32());
            cur.skip(cur.u32());
        }
        const int states = cur.u16();
        if (!cur.ok() || states > limits::states)
            return bad(QStringLiteral("the state table is damaged"));
        for (int s = 0; s < states; ++s) {
            const QString name = cur.str();
            const int n = cur.u16();
            if (!cur.ok() || n > limits::namesPerState)
                return bad(QStringLiteral("the state table is damaged"));
            QStringList list;
            for (int i = 0; i < n; ++i)
                list.append(cur.str());
            if (const auto state = stateFor(name))
                m_states[int(*state)].append(list);
        }
        if (!cur.ok())
            return bad(QStringLiteral("the character information is cut short"));
        return readNames(names, c);
    }

    void readVoice(Cursor &cur, voice::Voice &voice)
    {
        cur.skip(32); // speech engine and mode ids: espeak-ng speaks instead
        const quint32 speed = cur.u32();
        const quint16 pitch = cur.u16();
        if (speed > 0)
            voice.rate = int(std::clamp<quint32>(speed, 80, 450));
        // The pitch is in Hz, about 80 (deep) to 300 (high); ours is 0-100.
        if (pitch > 0)
            voice.pitch = std::clamp((int(pitch) - 80) * 100 / 220, 0, 100);
        if (cur.u8() == 1) {
            cur.u16(); // language id
            cur.str(); // dialect
            const quint16 gender = cur.u16();
            cur.u16(); // age
            cur.str(); // style
            if (gender == 1)
                voice.variant = QStringLiteral("f3");
            else if (gender == 2)
                voice.variant = QStringLiteral("m3");
        }
    }

    bool readNames(const Locator &where, CharacterData &c)
    {
        Cursor cur = at(where);
        const int n = cur.u16();
        if (!cur.ok() || n > limits::localizedInfos)
            return bad(QStringLiteral("the names are damaged"));
        const int wanted = primaryLanguageId(QLocale().language());
        int bestScore = -1;
        for (int i = 0; i < n; ++i) {
            const int lang = cur.u16() & 0x3FF;
            const QString name = cur.str();
            const QString description = cur.str();
            cur.str(); // extra data
            if (!cur.ok())
                return bad(QStringLiteral("the names are damaged"));
            // The user's language first, then English, then whatever comes first.
            const int score = lang == wanted ? 2 : lang == 0x09 ? 1 : 0;
            if (score > bestScore) {
                bestScore = score;
                c.name = name.left(agent::limits::nameChars);
                c.description = description;
            }
        }
        return true;
    }

    // The image and sound tables: a count, then a locator and a checksum each.
    bool readLocatorTable(const Locator &where, int limit, const QString &what, QList<Locator> *out)
    {
        Cursor cur = at(where);
        const quint32 n = cur.u32();
        if (!cur.ok() || n > quint32(limit) || !cur.need(qint64(n) * 12))
            return bad(QStringLiteral("the %1 table is damaged").arg(what));
        for (quint32 i = 0; i < n; ++i) {
            Locator l;
            if (!locator(cur, &l))
                return bad(QStringLiteral("%1 %2 lies outside the file").arg(what).arg(i));
            cur.skip(4); // checksum
            out->append(l);
        }
        return true;
    }

    // One placed picture of the file, as palette indices top-down, decoded once.
    const QImage *picture(quint32 index)
    {
        if (index >= quint32(m_images.size()))
            return nullptr;
        const auto it = m_pictures.constFind(index);
        if (it != m_pictures.constEnd())
            return it->isNull() ? nullptr : &*it;
        QImage &img = m_pictures[index];
        Cursor cur = at(m_images.at(int(index)));
        cur.u8();
        const int w = cur.u16();
        const int h = cur.u16();
        const bool compressed = cur.u8() != 0;
        const quint32 size = cur.u32();
        if (!cur.ok() || w < 1 || h < 1 || w > limits::imageSide || h > limits::imageSide || !cur.need(size))
            return nullptr;
        const qint64 stride = (w + 3) & ~3;
        const qint64 expected = stride * h;
        m_pictureBytes += expected;
        if (m_pictureBytes > limits::pictureBytes) {
            bad(QStringLiteral("the pictures take more than 64 MiB decoded"));
            return nullptr;
        }
        QByteArray raw;
        if (compressed) {
            QString why;
            const auto out = decompress(cur.here(), size, expected, &why);
            if (!out)
                return nullptr;
            raw = *out;
        } else {
            if (size < expected)
                return nullptr;
            raw = QByteArray(reinterpret_cast<const char *>(cur.here()), expected);
        }
        img = QImage(w, h, QImage::Format_Indexed8);
        if (img.isNull())
            return nullptr;
        // Rows are stored bottom-up, each padded to four bytes.
        for (int y = 0; y < h; ++y)
            memcpy(img.scanLine(y), raw.constData() + (h - 1 - y) * stride, size_t(w));
        return &img;
    }

    bool readAnimations(const Locator &where, CharacterData &c)
    {
        Cursor cur = at(where);
        const quint32 n = cur.u32();
        if (!cur.ok() || n == 0 || n > quint32(agent::limits::animations))
            return bad(QStringLiteral("the animation list is damaged or empty"));
        QList<Locator> places;
        for (quint32 i = 0; i < n; ++i) {
            const QString name = cur.str();
            Locator l;
            if (!locator(cur, &l) || name.isEmpty())
                return bad(QStringLiteral("the animation list is damaged"));
            // A name given twice (in any case) keeps its first animation.
            if (c.animationIndex.contains(name.toLower()))
                continue;
            c.animationIndex.insert(name.toLower(), int(c.animations.size()));
            Animation a;
            a.name = name;
            c.animations.append(a);
            places.append(l);
        }
        QList<QString> returns(c.animations.size());
        int total = 0;
        for (int ai = 0; ai < c.animations.size(); ++ai) {
            Animation &a = c.animations[ai];
            const QString whereText = QStringLiteral("the animation %1").arg(a.name);
            Cursor ac = at(places.at(ai));
            ac.str();
            const int transition = ac.u8();
            const QString back = ac.str();
            if (transition == 0)
                returns[ai] = back;
            const int frames = ac.u16();
            if (!ac.ok() || frames < 1 || frames > agent::limits::framesPerAnimation)
                return bad(whereText + QStringLiteral(" is damaged or has no frames"));
            total += frames;
            if (total > agent::limits::framesTotal)
                return bad(QStringLiteral("more than %1 frames in all").arg(agent::limits::framesTotal));
            for (int fi = 0; fi < frames; ++fi) {
                Frame f;
                QList<Placed> placed;
                const int pictures = ac.u16();
                if (!ac.ok() || pictures > limits::imagesPerFrame)
                    return bad(whereText + QStringLiteral(" has a damaged frame"));
                for (int p = 0; p < pictures; ++p) {
                    Placed pl;
                    pl.image = ac.u32();
                    pl.x = ac.s16();
                    pl.y = ac.s16();
                    placed.append(pl);
                }
                const quint16 sound = ac.u16();
                f.duration = std::clamp(int(ac.u16()) * 10, agent::limits::minDuration, agent::limits::maxDuration);
                const int exit = ac.s16();
                f.exit = exit >= 0 && exit < frames ? exit : -1;
                const int branches = ac.u8();
                int sum = 0;
                for (int b = 0; b < branches; ++b) {
                    const int to = ac.u16();
                    const int probability = ac.u16();
                    // Branches past 100 % in all could never be reached; a wrong frame is dropped.
                    if (to < frames && probability > 0 && sum + probability <= 100) {
                        sum += probability;
                        f.branches.append(Branch{to, probability});
                    }
                }
                const int overlays = ac.u8();
                for (int o = 0; o < overlays; ++o) {
                    Overlay ov;
                    ov.type = ac.u8();
                    ac.u8(); // replaces the top picture: drawn over it here
                    ov.image = ac.u16();
                    ac.u8();
                    const bool region = ac.u8() != 0;
                    const int x = ac.s16();
                    const int y = ac.s16();
                    ov.at = QPoint(x, y);
                    ac.skip(4);
                    if (region)
                        ac.skip(ac.u32());
                    if (ov.type >= 0 && ov.type < 7)
                        addMouth(ov, f);
                }
                if (!ac.ok())
                    return bad(whereText + QStringLiteral(" is cut short"));
                f.image = frameImage(placed);
                if (f.image < 0)
                    return bad(whereText + QStringLiteral(", frame %1: a picture is missing or damaged").arg(fi));
                if (sound != 0xFFFF)
                    f.sound = soundIndex(sound, c);
                if (f.sound == -2)
                    return false;
                a.frames.append(f);
            }
        }
        for (int ai = 0; ai < c.animations.size(); ++ai)
            if (!returns.at(ai).isEmpty())
                c.animations[ai].returnAnimation = c.findAnimation(returns.at(ai));
        for (int s = 0; s < int(State::Count); ++s)
            for (const QString &name : std::as_const(m_states[s])) {
                const int a = c.findAnimation(name);
                if (a >= 0 && !c.states[s].contains(a))
                    c.states[s].append(a);
            }
        const int rest = c.findAnimation(QStringLiteral("RestPose"));
        if (rest >= 0 && c.states[int(State::Rest)].isEmpty())
            c.states[int(State::Rest)].append(rest);
        return true;
    }

    // The first overlay met of each shape is the character's mouth for it.
    void addMouth(const Overlay &ov, Frame &f)
    {
        f.mouth = true;
        const int shape = mouthFromOverlay[ov.type];
        // Exact shapes win over the ones that stand in for a neighbour.
        const bool exact = ov.type == 0 || ov.type == 1 || ov.type == 3 || ov.type == 5 || ov.type == 6;
        if (m_mouthEntry[shape] >= 0 && !(exact && !m_mouthExact[shape]))
            return;
        const int entry = frameImage({Placed{quint32(ov.image), qint16(ov.at.x()), qint16(ov.at.y())}});
        if (entry < 0)
            return;
        m_mouthEntry[shape] = entry;
        m_mouthExact[shape] = exact;
    }

    // The character's sound for the file's, -1 when it cannot be played, -2 past the limit.
    int soundIndex(quint16 index, CharacterData &c)
    {
        const auto it = m_soundIndex.constFind(index);
        if (it != m_soundIndex.constEnd())
            return *it;
        int result = -1;
        if (index < m_audio.size()) {
            const Locator &l = m_audio.at(index);
            Sound s;
            QString why;
            // A sound we cannot play (not PCM, say) leaves the frame silent.
            // Entries may all point at one big sound; what they copy is counted.
            m_soundBytes += l.size;
            if (m_soundBytes > limits::soundBytes) {
                bad(QStringLiteral("the sounds take more than 64 MiB"));
                return -2;
            }
            if (l.size <= agent::limits::soundBytes && parseWaveSound(m_bytes.mid(l.offset, l.size), &s, &why)) {
                result = int(c.sounds.size());
                c.sounds.append(s);
            }
        }
        m_soundIndex.insert(index, result);
        return result;
    }

    // The frame-sized picture of these placed pictures (the first on top), shared
    // by every frame that places the same ones.
    int frameImage(const QList<Placed> &placed)
    {
        QByteArray key(reinterpret_cast<const char *>(placed.constData()), placed.size() * qsizetype(sizeof(Placed)));
        const auto it = m_frameIndex.constFind(key);
        if (it != m_frameIndex.constEnd())
            return *it;
        QImage canvas(m_width, m_height, QImage::Format_Indexed8);
        canvas.fill(m_transparent);
        for (auto p = placed.crbegin(); p != placed.crend(); ++p) {
            const QImage *pic = picture(p->image);
            if (!pic)
                return -1;
            const QRect area = QRect(QPoint(p->x, p->y), pic->size()) & canvas.rect();
            m_pixelsLaid += qint64(area.width()) * area.height();
            if (m_pixelsLaid > limits::pixelsLaid) {
                bad(QStringLiteral("the frames lay more than 256 Mi pixels together"));
                return -1;
            }
            for (int y = area.top(); y <= area.bottom(); ++y) {
                const uchar *src = pic->constScanLine(y - p->y);
                uchar *dst = canvas.scanLine(y);
                for (int x = area.left(); x <= area.right(); ++x) {
                    const uchar v = src[x - p->x];
                    if (v != m_transparent)
                        dst[x] = v;
                }
            }
        }
        FrameStore::Entry e;
        e.name = QStringLiteral("frame%1").arg(m_entries.size());
        e.size = canvas.size();
        e.png = palettePng(canvas, m_palette);
        m_frameBytes += e.png.size();
        if (m_frameBytes > limits::frameBytes) {
            bad(QStringLiteral("the frames take more than 128 MiB packed"));
            return -1;
        }
        m_entries.append(e);
        m_frameIndex.insert(key, int(m_entries.size() - 1));
        return int(m_entries.size() - 1);
    }

    bool build(CharacterData &c)
    {
        c.store = std::make_shared<FrameStore>(m_entries);
        for (int i = 0; i < m_entries.size(); ++i)
            c.images.append(FrameImage(c.store, i));
        for (int s = 0; s < 5; ++s) {
            int e = m_mouthEntry[s];
            if (e < 0)
                e = m_mouthEntry[int(voice::Mouth::Open)] >= 0 ? m_mouthEntry[int(voice::Mouth::Open)]
                                                                : m_mouthEntry[int(voice::Mouth::Closed)];
            if (e < 0)
                e = anyMouth();
            if (e >= 0) {
                c.mouth[s] = c.images.at(e);
                c.hasMouth = true;
            }
        }
        // Mouth pictures are frame-sized, placed where the file puts them.
        c.mouthPos = QPoint(0, 0);
        return true;
    }

    int anyMouth() const
    {
        for (int e : m_mouthEntry)
            if (e >= 0)
                return e;
        return -1;
    }

    const QByteArray &m_bytes;
    QString *m_error;
    int m_width = 0;
    int m_height = 0;
    uchar m_transparent = 0;
    QList<QRgb> m_palette;
    std::array<QStringList, int(State::Count)> m_states;
    QList<Locator> m_images;
    QList<Locator> m_audio;
    QHash<quint32, QImage> m_pictures;
    qint64 m_pictureBytes = 0;
    qint64 m_pixelsLaid = 0;
    qint64 m_frameBytes = 0;
    qint64 m_soundBytes = 0;
    QHash<quint16, int> m_soundIndex;
    QHash<QByteArray, int> m_frameIndex;
    QList<FrameStore::Entry> m_entries;
    std::array<int, 5> m_mouthEntry{-1, -1, -1, -1, -1};
    std::array<bool, 5> m_mouthExact{};

};

} // namespace

std::optional<CharacterData> parse(const QByteArray &bytes, QString *error)
{
    QString why;
    CharacterData c;
    Reader reader(bytes, &why);
    if (!reader.parse(c)) {
        if (error)
            *error = why;
        return std::nullopt;
    }
    return c;
}

} // namespace chimewell::agent::acsv2
