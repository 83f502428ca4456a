#include "agent/characterfile.h"
#include "agent/acsv2reader.h"
#include "agent/ziparchive.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QThreadPool>
#include <QtEndian>

#include <lzma.h>
#include <sys/mman.h>

#include <cmath>

namespace chimewell::agent {

namespace {

// Sets the reason once; later, more general reasons do not overwrite the first, precise one.
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

} // namespace

// The archive, with the loader's limits on its entries. Shared with the
// FrameStore when pictures are read on demand (one thread at a time: the
// store locks around it).
class Archive final
{
public:
    bool open(const QByteArray &bytes, QString *error)
    {
        if (bytes.size() > limits::archiveBytes)
            return fail(error, QStringLiteral("the archive is larger than 64 MiB"));
        QString why;
        if (!m_zip.open(bytes, &why))
            return fail(error, QStringLiteral("not a readable zip archive (%1)").arg(why));
        return indexEntries(error);
    }

    // Reads from the file itself, which stays open: a picture read later comes
    // from the same file even when another is saved in its place meanwhile, and a
    // file cut short under us makes that read fail, nothing worse.
    bool openFile(const QString &path, QString *error)
    {
        QString why;
        if (!m_zip.openFile(path, &why))
            return fail(error, QStringLiteral("not a readable zip archive (%1)").arg(why));
        return indexEntries(error);
    }

private:
    bool indexEntries(QString *error)
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

public:
    bool contains(const QString &name) const { return m_entries.contains(name); }

    qint64 entrySize(const QString &name) const
    {
        const int i = m_entries.value(name, -1);
        return i < 0 ? 0 : qint64(m_zip.entries().at(i).size);
    }

    // The first `n` bytes of an entry (a PNG's header), without reading the rest.
    QByteArray head(const QString &name, qint64 n)
    {
        const auto it = m_entries.constFind(name);
        if (it == m_entries.constEnd())
            return {};
        return m_zip.head(*it, n, nullptr).value_or(QByteArray());
    }

    // Reads one entry, at most `cap` bytes; its inflated size must be what the directory says.
    std::optional<QByteArray> read(const QString &name, qint64 cap, QString *error)
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

private:
    ZipArchive m_zip;
    QHash<QString, int> m_entries; // the last of entries named alike
};

namespace {

// The size a PNG declares in its header, without decoding anything.
std::optional<QSize> pngSize(const QByteArray &data)
{
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    if (data.size() < 33 || !data.startsWith(QByteArray::fromRawData(signature, 8))
        || data.mid(12, 4) != "IHDR")
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const quint32 w = qFromBigEndian<quint32>(p + 16);
    const quint32 h = qFromBigEndian<quint32>(p + 20);
    if (w == 0 || h == 0 || w > 65535 || h > 65535)
        return std::nullopt;
    return QSize(int(w), int(h));
}

void limitImageAllocations()
{
    // Our largest picture is a 1024x1024 2x frame (4 MiB); 64 MiB leaves room for
    // the rest of the program while stopping absurd images before they allocate.
    static const bool done = [] {
        const int current = QImageReader::allocationLimit();
        if (current == 0 || current > 64)
            QImageReader::setAllocationLimit(64);
        return true;
    }();
    Q_UNUSED(done);
}

// Premultiplied, ready to paint; or, with raw, the bytes as stored (a patch that adds).
QImage decodePng(const QByteArray &data, const QSize &expected, bool raw = false)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, "png");
    reader.setDecideFormatFromContent(false);
    if (reader.size() != expected)
        return {};
    QImage image;
    if (!reader.read(&image) || image.size() != expected)
        return {};
    return image.convertToFormat(raw ? QImage::Format_RGBA8888 : QImage::Format_ARGB32_Premultiplied);
}

quint16 le16(const uchar *p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const uchar *p) { return qFromLittleEndian<quint32>(p); }

bool parseWav(const QByteArray &data, Sound *out, QString *why)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qint64 size = data.size();
    if (size < 12 || memcmp(p, "RIFF", 4) != 0 || memcmp(p + 8, "WAVE", 4) != 0) {
        *why = QStringLiteral("not a RIFF WAVE file");
        return false;
    }
    bool haveFmt = false;
    bool haveData = false;
    int blockAlign = 0;
    qint64 pos = 12;
    while (pos + 8 <= size) {
        const uchar *chunk = p + pos;
        const qint64 len = le32(chunk + 4);
        const qint64 body = pos + 8;
        if (len > size - body) {
            *why = QStringLiteral("a chunk runs past the end of the file");
            return false;
        }
        if (memcmp(chunk, "fmt ", 4) == 0) {
            if (len < 16) {
                *why = QStringLiteral("the format chunk is too short");
                return false;
            }
            const uchar *f = p + body;
            const int tag = le16(f);
            out->channels = le16(f + 2);
            out->sampleRate = int(le32(f + 4));
            blockAlign = le16(f + 12);
            out->bitsPerSample = le16(f + 14);
            if (tag != 1) {
                *why = QStringLiteral("not PCM (format %1)").arg(tag);
                return false;
            }
            if (out->channels < 1 || out->channels > 2 || (out->bitsPerSample != 8 && out->bitsPerSample != 16)
                || out->sampleRate < 1000 || out->sampleRate > 192000
                || blockAlign != out->channels * out->bitsPerSample / 8) {
                *why = QStringLiteral("an unsupported PCM format");
                return false;
            }
            haveFmt = true;
        } else if (memcmp(chunk, "data", 4) == 0 && !haveData) {
            out->pcm = data.mid(body, len);
            haveData = true;
        }
        pos = body + len + (len & 1);
    }
    if (!haveFmt || !haveData) {
        *why = QStringLiteral("the format or data chunk is missing");
        return false;
    }
    out->pcm.truncate(out->pcm.size() - out->pcm.size() % blockAlign);
    return true;
}

bool toInt(const QJsonValue &v, int lo, int hi, int *out)
{
    if (!v.isDouble())
        return false;
    const double x = v.toDouble();
    if (!(x >= lo && x <= hi) || x != std::floor(x))
        return false;
    *out = int(x);
    return true;
}

const char *const stateNames[] = {"Showing", "Hiding", "Speaking", "MovingLeft", "MovingRight",
                                  "MovingUp", "MovingDown", "Idling", "Rest", "Listening", "Hearing"};
static_assert(std::size(stateNames) == size_t(State::Count), "a name for every state");
const char *const mouthNames[] = {"closed", "small", "open", "wide", "round"}; // voice::Mouth order

class Parser final
{
public:
    Parser(std::shared_ptr<Archive> archive, QString *error, const ParseOptions &options)
        : m_archivePtr(std::move(archive)), m_archive(*m_archivePtr), m_error(error), m_options(options)
    {
    }

    bool parse(CharacterData &c)
    {
        const auto manifest = m_archive.read(QStringLiteral("manifest.json"), limits::manifestBytes, m_error);
        if (!manifest)
            return fail(m_error, QStringLiteral("manifest.json is missing"));
        QJsonParseError jerr;
        const QJsonDocument doc = QJsonDocument::fromJson(*manifest, &jerr);
        if (jerr.error != QJsonParseError::NoError)
            return bad(QStringLiteral("not valid JSON (%1 at offset %2)").arg(jerr.errorString()).arg(jerr.offset));
        if (!doc.isObject())
            return bad(QStringLiteral("not a JSON object"));
        const QJsonObject m = doc.object();

        int format = 0;
        if (!toInt(m.value(QLatin1String("format")), 1, 3, &format))
            return bad(QStringLiteral("\"format\" must be 1, 2 or 3"));
        if (!text(m, "name", limits::nameChars, &c.name) || !text(m, "description", limits::descriptionChars, &c.description))
            return false;
        if (!toInt(m.value(QLatin1String("width")), limits::minSide, limits::maxSide, &c.width)
            || !toInt(m.value(QLatin1String("height")), limits::minSide, limits::maxSide, &c.height))
            return bad(QStringLiteral("\"width\" and \"height\" must be whole numbers from 16 to 512"));

        if (!parseVoice(m.value(QLatin1String("voice")), c.voice))
            return false;
        if (!parsePatches(m.value(QLatin1String("patches")), c))
            return false;
        if (!parsePacks(m.value(QLatin1String("packs")), c))
            return false;
        if (!parseAnimations(m.value(QLatin1String("animations")), c))
            return false;
        if (!parseStates(m.value(QLatin1String("states")), c))
            return false;
        if (!parseMouth(m.value(QLatin1String("mouth")), c))
            return false;
        return loadImages(c) && loadSounds(c);
    }

private:
    bool bad(const QString &why) { return fail(m_error, QStringLiteral("manifest: ") + why); }

    bool text(const QJsonObject &o, const char *key, int max, QString *out)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        if (!v.isString())
            return bad(QStringLiteral("\"%1\" must be a text").arg(QLatin1String(key)));
        *out = v.toString();
        if (out->size() > max)
            return bad(QStringLiteral("\"%1\" is longer than %2 characters").arg(QLatin1String(key)).arg(max));
        return true;
    }

    bool parseVoice(const QJsonValue &v, voice::Voice &voice)
    {
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isObject())
            return bad(QStringLiteral("\"voice\" must be an object"));
        const QJsonObject o = v.toObject();
        if (!text(o, "language", 64, &voice.language) || !text(o, "variant", 64, &voice.variant))
            return false;
        if (voice.language.isEmpty())
            voice.language = QStringLiteral("en-us");
        if (o.contains(QLatin1String("pitch")) && !toInt(o.value(QLatin1String("pitch")), 0, 100, &voice.pitch))
            return bad(QStringLiteral("the voice's pitch must be 0 to 100"));
        if (o.contains(QLatin1String("rate")) && !toInt(o.value(QLatin1String("rate")), 80, 450, &voice.rate))
            return bad(QStringLiteral("the voice's rate must be 80 to 450"));
        return true;
    }

    int imageIndex(const QString &entry, const QSize &maxSize, bool exact)
    {
        const auto it = m_imageIndex.constFind(entry);
        if (it != m_imageIndex.constEnd())
            return *it;
        m_imageNames.append(entry);
        m_imageMax.append(maxSize);
        m_imageExact.append(exact);
        m_imageIndex.insert(entry, int(m_imageNames.size() - 1));
        return int(m_imageNames.size() - 1);
    }

    int soundIndex(const QString &entry)
    {
        const auto it = m_soundIndex.constFind(entry);
        if (it != m_soundIndex.constEnd())
            return *it;
        m_soundNames.append(entry);
        m_soundIndex.insert(entry, int(m_soundNames.size() - 1));
        return int(m_soundNames.size() - 1);
    }

    bool entryName(const QJsonValue &v, const QString &what, QString *out)
    {
        if (!v.isString() || !validEntryName(v.toString()))
            return bad(QStringLiteral("%1 must name an entry").arg(what));
        *out = v.toString();
        return true;
    }

    // "patches": entry -> {base, x, y}. Checked for shape here; whether the
    // pictures exist, fit and form no circle is checked once all are named.
    bool parsePatches(const QJsonValue &v, const CharacterData &c)
    {
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isObject() || v.toObject().size() > limits::entries)
            return bad(QStringLiteral("\"patches\" must be an object"));
        const QJsonObject all = v.toObject();
        for (auto it = all.begin(); it != all.end(); ++it) {
            const QString where = QStringLiteral("the patch \"%1\"").arg(it.key());
            if (!validEntryName(it.key()) || !it.value().isObject())
                return bad(where + QStringLiteral(" must name an entry and be an object"));
            const QJsonObject o = it.value().toObject();
            Patch p;
            if (!entryName(o.value(QLatin1String("base")), where + QStringLiteral(": \"base\""), &p.base))
                return false;
            int x = 0, y = 0;
            if (!toInt(o.value(QLatin1String("x")), 0, c.width - 1, &x) || !toInt(o.value(QLatin1String("y")), 0, c.height - 1, &y))
                return bad(where + QStringLiteral(": x and y must lie in the frame"));
            p.at = QPoint(x, y);
            const QJsonValue mode = o.value(QLatin1String("mode"));
            const QString modeName = mode.toString();
            if (!mode.isUndefined() && modeName != QLatin1String("replace") && modeName != QLatin1String("add"))
                return bad(where + QStringLiteral(": \"mode\" must be \"replace\" or \"add\""));
            p.add = modeName == QLatin1String("add");
            m_patches.insert(it.key(), p);
        }
        return true;
    }

    // "packs": entry -> {pictures: [{image, width, height}], dictionary}. The
    // unpacked size is known from the list, so it is capped before anything unpacks.
    bool parsePacks(const QJsonValue &v, const CharacterData &c)
    {
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isObject() || v.toObject().size() > limits::entries)
            return bad(QStringLiteral("\"packs\" must be an object"));
        const QJsonObject all = v.toObject();
        for (auto it = all.begin(); it != all.end(); ++it) {
            const QString where = QStringLiteral("the pack \"%1\"").arg(it.key());
            if (!validEntryName(it.key()) || !it.value().isObject())
                return bad(where + QStringLiteral(" must name an entry and be an object"));
            const QJsonObject o = it.value().toObject();
            PackInfo pack;
            pack.name = it.key();
            const QJsonValue dictionary = o.value(QLatin1String("dictionary"));
            if (!dictionary.isUndefined()
                && !entryName(dictionary, where + QStringLiteral(": \"dictionary\""), &pack.dictionary))
                return false;
            const QJsonValue pictures = o.value(QLatin1String("pictures"));
            if (!pictures.isArray() || pictures.toArray().isEmpty() || pictures.toArray().size() > limits::framesTotal)
                return bad(where + QStringLiteral(" must list its pictures"));
            for (const QJsonValue &pv : pictures.toArray()) {
                const QJsonObject po = pv.toObject();
                QString image;
                int w = 0, h = 0;
                if (!pv.isObject() || !entryName(po.value(QLatin1String("image")), where + QStringLiteral(": a picture"), &image))
                    return bad(where + QStringLiteral(": a picture must name its image"));
                if (!toInt(po.value(QLatin1String("width")), 1, c.width, &w)
                    || !toInt(po.value(QLatin1String("height")), 1, c.height, &h))
                    return bad(where + QStringLiteral(": the picture %1 must fit in the frame").arg(image));
                if (m_packed.contains(image))
                    return bad(where + QStringLiteral(": the picture %1 is packed twice").arg(image));
                m_packed.insert(image, Packed{int(m_packs.size()), pack.rawSize, QSize(w, h)});
                pack.rawSize += qint64(w) * h * 4;
                if (pack.rawSize * 4 > limits::packBytes)
                    return bad(where + QStringLiteral(" unpacks to more than %1 bytes").arg(limits::packBytes));
            }
            m_packs.append(pack);
        }
        return true;
    }

    bool parseAnimations(const QJsonValue &v, CharacterData &c)
    {
        if (!v.isObject())
            return bad(QStringLiteral("\"animations\" must be an object"));
        const QJsonObject all = v.toObject();
        if (all.isEmpty())
            return bad(QStringLiteral("the character has no animations"));
        if (all.size() > limits::animations)
            return bad(QStringLiteral("more than %1 animations").arg(limits::animations));
        // Names first, so "return" can refer to any animation.
        for (auto it = all.begin(); it != all.end(); ++it) {
            const QString key = it.key().toLower();
            if (it.key().isEmpty() || c.animationIndex.contains(key))
                return bad(QStringLiteral("the animation name \"%1\" is empty or used twice").arg(it.key()));
            c.animationIndex.insert(key, int(c.animations.size()));
            Animation a;
            a.name = it.key();
            c.animations.append(a);
        }
        const QSize frameSize(c.width, c.height);
        int total = 0;
        int ai = 0;
        for (auto it = all.begin(); it != all.end(); ++it, ++ai) {
            Animation &a = c.animations[ai];
            const QString where = QStringLiteral("animation \"%1\"").arg(a.name);
            if (!it.value().isObject())
                return bad(where + QStringLiteral(" must be an object"));
            const QJsonObject o = it.value().toObject();
            const QJsonValue framesValue = o.value(QLatin1String("frames"));
            if (!framesValue.isArray())
                return bad(where + QStringLiteral(" has no frame list"));
            const QJsonArray frames = framesValue.toArray();
            if (frames.isEmpty() || frames.size() > limits::framesPerAnimation)
                return bad(where + QStringLiteral(" must have 1 to %1 frames").arg(limits::framesPerAnimation));
            total += int(frames.size());
            if (total > limits::framesTotal)
                return bad(QStringLiteral("more than %1 frames in all").arg(limits::framesTotal));
            const int n = int(frames.size());
            for (int fi = 0; fi < n; ++fi) {
                const QString fwhere = where + QStringLiteral(", frame %1").arg(fi);
                if (!frames.at(fi).isObject())
                    return bad(fwhere + QStringLiteral(" must be an object"));
                const QJsonObject fo = frames.at(fi).toObject();
                Frame f;
                QString image;
                if (!entryName(fo.value(QLatin1String("image")), fwhere + QStringLiteral(": \"image\""), &image))
                    return false;
                f.image = imageIndex(image, frameSize, true);
                if (fo.contains(QLatin1String("duration"))
                    && !toInt(fo.value(QLatin1String("duration")), limits::minDuration, limits::maxDuration, &f.duration))
                    return bad(fwhere + QStringLiteral(": \"duration\" must be 10 to 10000"));
                if (fo.contains(QLatin1String("sound"))) {
                    QString sound;
                    if (!entryName(fo.value(QLatin1String("sound")), fwhere + QStringLiteral(": \"sound\""), &sound))
                        return false;
                    f.sound = soundIndex(sound);
                }
                if (fo.contains(QLatin1String("exit")) && !toInt(fo.value(QLatin1String("exit")), 0, n - 1, &f.exit))
                    return bad(fwhere + QStringLiteral(": \"exit\" is not a frame of the animation"));
                const QJsonValue mouth = fo.value(QLatin1String("mouth"));
                if (!mouth.isUndefined() && !mouth.isBool())
                    return bad(fwhere + QStringLiteral(": \"mouth\" must be true or false"));
                f.mouth = mouth.toBool(false);
                const QJsonValue branches = fo.value(QLatin1String("branches"));
                if (!branches.isUndefined()) {
                    if (!branches.isArray() || branches.toArray().size() > 64)
                        return bad(fwhere + QStringLiteral(": \"branches\" must be a list"));
                    int sum = 0;
                    for (const QJsonValue &bv : branches.toArray()) {
                        const QJsonObject bo = bv.toObject();
                        Branch b;
                        if (!bv.isObject() || !toInt(bo.value(QLatin1String("frame")), 0, n - 1, &b.frame)
                            || !toInt(bo.value(QLatin1String("probability")), 0, 100, &b.probability))
                            return bad(fwhere + QStringLiteral(": a branch needs a frame of the animation and a probability"));
                        sum += b.probability;
                        f.branches.append(b);
                    }
                    if (sum > 100)
                        return bad(fwhere + QStringLiteral(": branch probabilities add up to more than 100"));
                }
                a.frames.append(f);
            }
            const QJsonValue ret = o.value(QLatin1String("return"));
            if (!ret.isUndefined() && !ret.isNull()) {
                if (!ret.isString())
                    return bad(where + QStringLiteral(": \"return\" must be a text"));
                if (!ret.toString().isEmpty()) {
                    a.returnAnimation = c.animationIndex.value(ret.toString().toLower(), -1);
                    if (a.returnAnimation < 0)
                        return bad(where + QStringLiteral(": the return animation \"%1\" does not exist").arg(ret.toString()));
                }
            }
        }
        return true;
    }

    bool parseStates(const QJsonValue &v, CharacterData &c)
    {
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isObject())
            return bad(QStringLiteral("\"states\" must be an object"));
        const QJsonObject o = v.toObject();
        for (int s = 0; s < int(State::Count); ++s) {
            const QJsonValue list = o.value(QLatin1String(stateNames[s]));
            if (list.isUndefined() || list.isNull())
                continue;
            QJsonArray names;
            if (list.isString())
                names.append(list);
            else if (list.isArray())
                names = list.toArray();
            else
                return bad(QStringLiteral("the state %1 must list animation names").arg(QLatin1String(stateNames[s])));
            for (const QJsonValue &n : std::as_const(names)) {
                // A state naming an animation the file lacks is ignored, not fatal:
                // the service then falls back as for a missing state.
                const int a = n.isString() ? c.findAnimation(n.toString()) : -1;
                if (a >= 0 && !c.states[s].contains(a))
                    c.states[s].append(a);
            }
        }
        return true;
    }

    bool parseMouth(const QJsonValue &v, CharacterData &c)
    {
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isObject())
            return bad(QStringLiteral("\"mouth\" must be an object"));
        const QJsonObject o = v.toObject();
        int x = 0, y = 0;
        if (!toInt(o.value(QLatin1String("x")), 0, c.width - 1, &x) || !toInt(o.value(QLatin1String("y")), 0, c.height - 1, &y))
            return bad(QStringLiteral("the mouth's x and y must lie in the frame"));
        c.mouthPos = QPoint(x, y);
        const QJsonValue images = o.value(QLatin1String("images"));
        if (!images.isObject())
            return bad(QStringLiteral("the mouth needs its images"));
        const QJsonObject io = images.toObject();
        for (int s = 0; s < 5; ++s) {
            const QJsonValue e = io.value(QLatin1String(mouthNames[s]));
            if (e.isUndefined())
                continue;
            QString entry;
            if (!entryName(e, QStringLiteral("the mouth image \"%1\"").arg(QLatin1String(mouthNames[s])), &entry))
                return false;
            m_mouthImage[s] = imageIndex(entry, QSize(c.width, c.height), false);
            c.hasMouth = true;
        }
        if (c.hasMouth && m_mouthImage[int(voice::Mouth::Open)] < 0 && m_mouthImage[int(voice::Mouth::Closed)] < 0)
            return bad(QStringLiteral("the mouth needs an \"open\" or a \"closed\" image"));
        return true;
    }

    bool loadImages(CharacterData &c)
    {
        const QSize frameSize(c.width, c.height);
        // Bases of patches join the list as they are met, so the loop runs to its end as it grows.
        for (int i = 0; i < m_imageNames.size(); ++i) {
            const auto patch = m_patches.constFind(m_imageNames.at(i));
            if (patch == m_patches.constEnd())
                continue;
            if (!m_imageExact.at(i))
                return fail(m_error, QStringLiteral("the mouth image %1 cannot be a patch").arg(m_imageNames.at(i)));
            m_imageBase.resize(m_imageNames.size(), -1);
            const int base = imageIndex(patch->base, frameSize, true);
            m_imageBase.resize(m_imageNames.size(), -1);
            m_imageBase[i] = base;
        }
        m_imageBase.resize(m_imageNames.size(), -1);
        // A chain of patches ends in a whole picture within a few steps; a circle never does.
        for (int i = 0; i < m_imageNames.size(); ++i) {
            int depth = 0;
            for (int at = m_imageBase.at(i); at >= 0; at = m_imageBase.at(at)) {
                if (++depth > limits::patchDepth)
                    return fail(m_error, QStringLiteral("the patches under %1 go round in a circle or more than %2 deep")
                                             .arg(m_imageNames.at(i)).arg(limits::patchDepth));
            }
        }

        QList<FrameStore::Pack> packs;
        if (!loadPacks(c, &packs))
            return false;

        QList<FrameStore::Entry> entries(m_imageNames.size());
        const bool lazy = m_options.lazy;
        for (int i = 0; i < m_imageNames.size(); ++i) {
            const QString &name = m_imageNames.at(i);
            const auto packed = m_packed.constFind(name);
            if (packed != m_packed.constEnd()) {
                FrameStore::Entry &e = entries[i];
                e.name = name;
                e.base = m_imageBase.at(i);
                e.size = packed->size;
                e.pack = packed->pack;
                e.offset = packed->offset;
                if (!m_imageExact.at(i))
                    return fail(m_error, QStringLiteral("the mouth image %1 cannot be packed").arg(name));
                if (!placeFits(e, name, QSize(c.width, c.height)))
                    return false;
                continue;
            }
            // Lazily, only the header now; the whole entry (and its checksum) when it is decoded.
            const auto data = lazy ? headOf(name) : m_archive.read(name, limits::imageBytes, m_error);
            if (!data)
                return false;
            const auto size = pngSize(*data);
            if (!size)
                return fail(m_error, QStringLiteral("the image %1 is not a PNG").arg(name));
            FrameStore::Entry &e = entries[i];
            e.name = name;
            e.base = m_imageBase.at(i);
            const QSize max = m_imageMax.at(i);
            e.size = *size;
            if (e.base >= 0) {
                if (!placeFits(e, name, max))
                    return false;
            } else if (m_imageExact.at(i) ? *size != max : (size->width() > max.width() || size->height() > max.height())) {
                return fail(m_error, QStringLiteral("the image %1 is %2x%3, not %4x%5")
                                         .arg(name).arg(size->width()).arg(size->height()).arg(max.width()).arg(max.height()));
            }
            if (lazy)
                e.lazy = true;
            else
                e.png = *data;

            const QString hiName = QStringLiteral("2x/") + name;
            if (m_options.hiDpi && lazy) {
                // Checked when decoded: one that does not fit is ignored then, and 1x is shown.
                e.lazy2x = m_archive.contains(hiName) && m_archive.entrySize(hiName) <= limits::imageBytes;
            } else if (m_options.hiDpi && m_archive.contains(hiName)) {
                // A damaged entry means a damaged archive; a wrong picture is only ignored.
                const auto hi = m_archive.read(hiName, limits::imageBytes, m_error);
                if (!hi)
                    return false;
                if (pngSize(*hi) == *size * 2)
                    e.png2x = *hi;
            }
        }
        c.store = std::make_shared<FrameStore>(std::move(entries), lazy ? m_archivePtr : nullptr, std::move(packs));
        c.images.reserve(m_imageNames.size());
        for (int i = 0; i < m_imageNames.size(); ++i)
            c.images.append(FrameImage(c.store, i));

        // The picture shown first is decoded now: a file whose very first picture
        // is broken is refused, and showing the character costs no decode.
        int first = -1;
        const QList<int> &rest = c.states[int(State::Rest)];
        if (!rest.isEmpty())
            first = c.animations.at(rest.first()).frames.first().image;
        else if (!c.animations.isEmpty())
            first = c.animations.first().frames.first().image;
        if (first >= 0 && c.store->image(first, 1).isNull())
            return fail(m_error, QStringLiteral("the image %1 does not decode as PNG").arg(m_imageNames.at(first)));

        // Frames point at images by index already; the mouth shapes are copied with their fallbacks.
        if (c.hasMouth) {
            const int open = m_mouthImage[int(voice::Mouth::Open)];
            const int closed = m_mouthImage[int(voice::Mouth::Closed)];
            for (int s = 0; s < 5; ++s) {
                int idx = m_mouthImage[s];
                if (idx < 0)
                    idx = open >= 0 ? open : closed;
                c.mouth[s] = c.images.at(idx);
            }
        }
        return true;
    }

    // A picture the file holds whole or as a patch laid at its place; a whole one is frame-sized.
    bool placeFits(FrameStore::Entry &e, const QString &name, const QSize &max)
    {
        if (e.base < 0) {
            if (e.size != max)
                return fail(m_error, QStringLiteral("the image %1 is %2x%3, not %4x%5")
                                         .arg(name).arg(e.size.width()).arg(e.size.height()).arg(max.width()).arg(max.height()));
            return true;
        }
        e.at = m_patches.value(name).at;
        e.add = m_patches.value(name).add;
        if (e.at.x() + e.size.width() > max.width() || e.at.y() + e.size.height() > max.height())
            return fail(m_error, QStringLiteral("the patch %1 (%2x%3 at %4,%5) does not fit in the frame")
                                     .arg(name).arg(e.size.width()).arg(e.size.height()).arg(e.at.x()).arg(e.at.y()));
        return true;
    }

    // Every pack's entry, and its dictionary: a whole picture stored on its own, at both scales.
    bool loadPacks(const CharacterData &c, QList<FrameStore::Pack> *out)
    {
        QString dictionaryName;
        std::pair<QByteArray, QByteArray> dictionary;
        for (const PackInfo &info : std::as_const(m_packs)) {
            FrameStore::Pack pack;
            pack.name = info.name;
            pack.rawSize = info.rawSize;
            if (!m_archive.contains(info.name))
                return fail(m_error, QStringLiteral("the pack %1 is missing").arg(info.name));
            // Like a PNG's, a pack's 2x twin is optional: without it scale 1 is shown.
            const QString name2x = QStringLiteral("2x/") + info.name;
            bool has2x = m_options.hiDpi && m_archive.contains(name2x);
            if (!m_options.lazy) {
                const auto data = m_archive.read(info.name, limits::archiveBytes, m_error);
                if (!data)
                    return false;
                pack.data = *data;
                if (has2x) {
                    const auto data2x = m_archive.read(name2x, limits::archiveBytes, m_error);
                    if (!data2x)
                        return false;
                    pack.data2x = *data2x;
                }
            }
            if (!info.dictionary.isEmpty()) {
                if (m_packed.contains(info.dictionary) || m_patches.contains(info.dictionary))
                    return fail(m_error, QStringLiteral("the dictionary of %1 must be a whole picture of its own").arg(info.name));
                // Packs mostly share one dictionary: it is read once.
                if (info.dictionary != dictionaryName) {
                    const auto one = m_archive.read(info.dictionary, limits::imageBytes, m_error);
                    if (!one)
                        return false;
                    if (pngSize(*one) != QSize(c.width, c.height))
                        return fail(m_error, QStringLiteral("the dictionary of %1 is not a whole frame").arg(info.name));
                    // Without a 2x dictionary of the right size, no 2x pack can be unpacked.
                    const QString dictionary2x = QStringLiteral("2x/") + info.dictionary;
                    std::optional<QByteArray> two;
                    if (m_archive.contains(dictionary2x))
                        two = m_archive.read(dictionary2x, limits::imageBytes, nullptr);
                    if (!two || pngSize(*two) != QSize(c.width, c.height) * 2)
                        two = QByteArray();
                    dictionaryName = info.dictionary;
                    dictionary = {*one, *two};
                }
                has2x = has2x && !dictionary.second.isEmpty();
                pack.dictionary = dictionary.first;
                pack.dictionary2x = has2x ? dictionary.second : QByteArray();
                pack.dictionarySize = QSize(c.width, c.height);
            }
            pack.has2x = has2x;
            if (!has2x)
                pack.data2x.clear();
            out->append(pack);
        }
        return true;
    }

    // A PNG's header from the archive, with the size checks an entry read whole gets.
    std::optional<QByteArray> headOf(const QString &name)
    {
        if (!m_archive.contains(name)) {
            fail(m_error, QStringLiteral("the entry %1 is missing").arg(name));
            return std::nullopt;
        }
        if (m_archive.entrySize(name) > limits::imageBytes) {
            fail(m_error, QStringLiteral("the entry %1 is more than %2 bytes").arg(name).arg(limits::imageBytes));
            return std::nullopt;
        }
        return m_archive.head(name, 33);
    }

    bool loadSounds(CharacterData &c)
    {
        for (const QString &name : std::as_const(m_soundNames)) {
            const auto data = m_archive.read(name, limits::soundBytes, m_error);
            if (!data)
                return false;
            Sound s;
            QString why;
            if (!parseWav(*data, &s, &why))
                return fail(m_error, QStringLiteral("the sound %1 is not a PCM WAV: %2").arg(name, why));
            c.sounds.append(s);
        }
        return true;
    }

    std::shared_ptr<Archive> m_archivePtr;
    Archive &m_archive;
    QString *m_error;
    ParseOptions m_options;
    QStringList m_imageNames;
    QList<QSize> m_imageMax;
    QList<bool> m_imageExact;
    QHash<QString, int> m_imageIndex;
    QStringList m_soundNames;
    QHash<QString, int> m_soundIndex;
    int m_mouthImage[5] = {-1, -1, -1, -1, -1};
    struct Patch
    {
        QString base;
        QPoint at;
        bool add = false;
    };
    QHash<QString, Patch> m_patches;
    QList<int> m_imageBase;
    struct PackInfo
    {
        QString name;
        QString dictionary;
        qint64 rawSize = 0; // at scale 1
    };
    QList<PackInfo> m_packs;
    struct Packed
    {
        int pack = -1;
        qint64 offset = 0;
        QSize size;
    };
    QHash<QString, Packed> m_packed;
};

} // namespace

// --- FrameImage -------------------------------------------------------------

QImage FrameImage::image() const { return m_store ? m_store->image(m_index, 1) : QImage(); }

QImage FrameImage::image2x() const { return m_store && m_store->has2x(m_index) ? m_store->image(m_index, 2) : QImage(); }

bool FrameImage::has2x() const { return m_store && m_store->has2x(m_index); }

QSize FrameImage::size() const
{
    if (!m_store)
        return {};
    // A patch shows as the whole picture under it; chains were checked at load.
    int at = m_index;
    for (int depth = 0; m_store->entry(at).base >= 0 && depth < limits::patchDepth; ++depth)
        at = m_store->entry(at).base;
    return m_store->entry(at).size;
}

// --- FrameStore -------------------------------------------------------------

namespace {
// One worker decodes ahead for every character: the machine's other core stays
// free for the clock, and the frames are tiny next to their durations.
QThreadPool &decodePool()
{
    // An object, not a leak: at exit it waits for the picture being decoded.
    static QThreadPool pool;
    static const bool once = [] {
        pool.setMaxThreadCount(1);
        pool.setExpiryTimeout(5000);
        return true;
    }();
    Q_UNUSED(once);
    return pool;
}

quint32 cacheKey(int index, int scale) { return quint32(index) * 2 + (scale == 2 ? 1 : 0); }
} // namespace

FrameStore::FrameStore(QList<Entry> entries, std::shared_ptr<Archive> archive, QList<Pack> packs)
    : m_entries(std::move(entries)), m_packs(std::move(packs)), m_archive(std::move(archive))
{
    limitImageAllocations();
}

bool FrameStore::has2x(int index) const
{
    // A patch has a 2x picture only when everything under it has one too.
    for (int depth = 0; index >= 0 && index < count() && depth <= limits::patchDepth; ++depth) {
        const Entry &e = m_entries.at(index);
        if (e.png2x.isEmpty() && !(e.lazy2x && m_archive) && !(e.pack >= 0 && m_packs.at(e.pack).has2x))
            return false;
        index = m_entries.at(index).base;
    }
    return index < 0;
}

QImage FrameStore::image(int index, int scale)
{
    // A missing 2x picture is no fault: the 1x one stands in.
    if (index < 0 || index >= count() || (scale != 1 && scale != 2) || (scale == 2 && !has2x(index)))
        return {};
    const quint32 key = cacheKey(index, scale);
    {
        QMutexLocker lock(&m_mutex);
        auto it = m_cache.find(key);
        if (it != m_cache.end()) {
            it->used = ++m_clock;
            return it->image;
        }
        // Tried once is enough: a window repainting must not decode a bad picture again and again.
        if (m_broken.contains(key))
            return {};
    }
    // Decoded outside the lock, so a worker and the UI thread never wait on each
    // other; at worst one picture is decoded twice.
    const QImage img = decode(index, scale);
    if (img.isNull()) {
        QMutexLocker lock(&m_mutex);
        m_broken.insert(key);
        return {};
    }
    insert(key, img);
    return img;
}

QByteArray FrameStore::compressed(int index, int scale)
{
    const Entry &e = m_entries.at(index);
    const QByteArray &held = scale == 2 ? e.png2x : e.png;
    if (!held.isEmpty() || !m_archive || !(scale == 2 ? e.lazy2x : e.lazy))
        return held;
    QMutexLocker lock(&m_archiveMutex);
    // A damaged entry (its checksum, its size) gives nothing: the picture is broken.
    return m_archive->read(scale == 2 ? QStringLiteral("2x/") + e.name : e.name, limits::imageBytes, nullptr)
        .value_or(QByteArray());
}

QImage FrameStore::decode(int index, int scale)
{
    // A patch decodes its base through image(); chains were checked at load, so
    // this recursion is at most limits::patchDepth deep.
    const Entry &e = m_entries.at(index);
    QImage own;
    if (e.pack >= 0) {
        const std::shared_ptr<const MappedBytes> raw = unpacked(e.pack, scale);
        const QSize size = e.size * scale;
        const qint64 bytes = qint64(size.width()) * size.height() * 4;
        const qint64 at = e.offset * scale * scale;
        // The list was checked against the pack's size at load; the unpacked bytes are exactly that size.
        if (!raw || at + bytes > raw->size())
            return {};
        own = QImage(raw->data() + at, size.width(), size.height(),
                     size.width() * 4, QImage::Format_RGBA8888)
                  .convertToFormat(e.add ? QImage::Format_RGBA8888 : QImage::Format_ARGB32_Premultiplied);
    } else {
        const QByteArray png = compressed(index, scale);
        if (png.isEmpty())
            return {};
        own = decodePng(png, e.size * scale, e.add);
    }
    {
        QMutexLocker lock(&m_mutex);
        ++m_decodes;
    }
    if (own.isNull() || e.base < 0) {
        if (!own.isNull() && scale == 2)
            own.setDevicePixelRatio(2.0);
        return own;
    }
    // The base comes through the cache: the frames of an animation mostly share one.
    QImage whole = image(e.base, scale);
    if (whole.isNull())
        return {};
    whole.detach();
    // Painted in device pixels: the 2x base's ratio would scale the patch twice.
    whole.setDevicePixelRatio(1.0);
    if (e.add) {
        // Each byte of the patch is added to the premultiplied pixel under it, modulo 256.
        const QPoint at = e.at * scale;
        for (int y = 0; y < own.height(); ++y) {
            const uchar *d = own.constScanLine(y);
            auto *px = reinterpret_cast<QRgb *>(whole.scanLine(at.y() + y)) + at.x();
            for (int x = 0; x < own.width(); ++x, d += 4) {
                const QRgb b = px[x];
                px[x] = qRgba((qRed(b) + d[0]) & 0xff, (qGreen(b) + d[1]) & 0xff, (qBlue(b) + d[2]) & 0xff,
                              (qAlpha(b) + d[3]) & 0xff);
            }
        }
    } else {
        QPainter p(&whole);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(e.at * scale, own);
    }
    whole.setDevicePixelRatio(scale);
    return whole;
}

namespace {
// A picture's straight RGBA bytes, row after row, as a pack's dictionary holds them.
QByteArray straightBytes(const QByteArray &png, const QSize &size)
{
    const QImage image = decodePng(png, size, true);
    if (image.isNull())
        return {};
    QByteArray out;
    out.reserve(qsizetype(size.width()) * size.height() * 4);
    for (int y = 0; y < image.height(); ++y)
        out.append(reinterpret_cast<const char *>(image.constScanLine(y)), qsizetype(size.width()) * 4);
    return out;
}
} // namespace

// Large blocks in mappings of their own: an unpacked pack and the decoder's
// window are megabytes used for a moment, and freed into the heap they would
// stay resident as free space.
namespace {
constexpr size_t mappedFrom = 64 * 1024;
constexpr size_t blockHeader = 16; // the block's size, keeping the rest aligned

void *allocateBlock(size_t bytes)
{
    const size_t total = bytes + blockHeader;
    if (total < bytes)
        return nullptr;
    void *block = nullptr;
    if (total >= mappedFrom) {
        block = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED)
            return nullptr;
    } else {
        block = std::malloc(total);
        if (!block)
            return nullptr;
    }
    *static_cast<size_t *>(block) = total;
    return static_cast<char *>(block) + blockHeader;
}

void freeBlock(void *p)
{
    if (!p)
        return;
    char *block = static_cast<char *>(p) - blockHeader;
    const size_t total = *reinterpret_cast<size_t *>(block);
    if (total >= mappedFrom)
        munmap(block, total);
    else
        std::free(block);
}

const lzma_allocator blockAllocator = {
    [](void *, size_t count, size_t size) -> void * {
        return size && count > SIZE_MAX / size ? nullptr : allocateBlock(count * size);
    },
    [](void *, void *p) { freeBlock(p); },
    nullptr,
};
} // namespace

MappedBytes::MappedBytes(qint64 size)
    : m_data(size > 0 ? static_cast<uchar *>(allocateBlock(size_t(size))) : nullptr), m_size(m_data ? size : 0)
{
}

MappedBytes::~MappedBytes() { freeBlock(m_data); }

std::shared_ptr<const MappedBytes> FrameStore::unpacked(int index, int scale)
{
    {
        QMutexLocker lock(&m_packMutex);
        if (m_unpacked.index == index && m_unpacked.scale == scale)
            return m_unpacked.bytes;
    }
    // Unpacked outside the lock: the UI thread never waits for the worker's unpack
    // (at worst both unpack one pack).
    const Pack &pack = m_packs.at(index);
    QByteArray data = scale == 2 ? pack.data2x : pack.data;
    if (data.isEmpty() && m_archive) {
        QMutexLocker archiveLock(&m_archiveMutex);
        const QString name = scale == 2 ? QStringLiteral("2x/") + pack.name : pack.name;
        data = m_archive->read(name, limits::archiveBytes, nullptr).value_or(QByteArray());
    }
    QByteArray dictionary;
    if (!pack.dictionary.isEmpty()) {
        const QSize size = pack.dictionarySize * scale;
        dictionary = straightBytes(scale == 2 ? pack.dictionary2x : pack.dictionary, size);
        if (dictionary.size() != qint64(size.width()) * size.height() * 4)
            return {};
    }
    const qint64 rawSize = pack.rawSize * scale * scale;
    if (data.isEmpty() || rawSize <= 0 || rawSize > limits::packBytes)
        return {};
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6))
        return {};
    // The window spans everything the pack can refer to; the output buffer, the
    // size its list gives, bounds what a damaged pack can make us allocate.
    options.dict_size = std::max<uint32_t>(LZMA_DICT_SIZE_MIN, uint32_t(rawSize + dictionary.size()));
    options.preset_dict = dictionary.isEmpty() ? nullptr : reinterpret_cast<const uint8_t *>(dictionary.constData());
    options.preset_dict_size = uint32_t(dictionary.size());
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    auto raw = std::make_shared<MappedBytes>(rawSize);
    if (raw->size() != rawSize)
        return {};
    size_t in = 0, out = 0;
    const lzma_ret ret = lzma_raw_buffer_decode(filters, &blockAllocator, reinterpret_cast<const uint8_t *>(data.constData()),
                                                &in, size_t(data.size()), raw->data(), &out, size_t(raw->size()));
    if (ret != LZMA_OK || out != size_t(raw->size()) || in != size_t(data.size()))
        return {};
    QMutexLocker lock(&m_packMutex);
    m_unpacked = Unpacked{index, scale, raw};
    return raw;
}

void FrameStore::insert(quint32 key, const QImage &image)
{
    QMutexLocker lock(&m_mutex);
    m_pending.remove(key);
    auto it = m_cache.find(key);
    if (it != m_cache.end()) {
        it->used = ++m_clock;
        return;
    }
    m_cache.insert(key, Slot{image, ++m_clock});
    m_bytes += image.sizeInBytes();
    while (m_bytes > m_budget && m_cache.size() > 2) {
        auto oldest = m_cache.begin();
        for (auto i = m_cache.begin(); i != m_cache.end(); ++i) {
            if (i->used < oldest->used)
                oldest = i;
        }
        m_bytes -= oldest->image.sizeInBytes();
        m_cache.erase(oldest);
    }
}

void FrameStore::prefetch(const QList<int> &indices, int scale)
{
    QList<int> wanted;
    {
        QMutexLocker lock(&m_mutex);
        for (int i : indices) {
            const quint32 key = cacheKey(i, scale);
            if (i < 0 || i >= count() || m_cache.contains(key) || m_pending.contains(key) || m_broken.contains(key)
                || (scale == 2 && !has2x(i)))
                continue;
            m_pending.insert(key);
            wanted.append(i);
        }
    }
    if (wanted.isEmpty())
        return;
    // The task holds the store weakly: an unloaded character's queued work is dropped.
    std::weak_ptr<FrameStore> weak = shared_from_this();
    decodePool().start([weak, wanted, scale] {
        for (int i : wanted) {
            const std::shared_ptr<FrameStore> store = weak.lock();
            if (!store)
                return;
            store->image(i, scale);
            QMutexLocker lock(&store->m_mutex);
            store->m_pending.remove(cacheKey(i, scale));
        }
    });
}

bool FrameStore::isCached(int index, int scale) const
{
    QMutexLocker lock(&m_mutex);
    return m_cache.contains(cacheKey(index, scale));
}

bool FrameStore::isBroken(int index) const
{
    QMutexLocker lock(&m_mutex);
    return m_broken.contains(cacheKey(index, 1));
}

void FrameStore::setBudget(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_budget = std::max<qint64>(0, bytes);
}

qint64 FrameStore::budget() const
{
    QMutexLocker lock(&m_mutex);
    return m_budget;
}

qint64 FrameStore::cachedBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_bytes;
}

int FrameStore::decodes() const
{
    QMutexLocker lock(&m_mutex);
    return m_decodes;
}

int CharacterData::findAnimation(const QString &name) const
{
    return animationIndex.value(name.toLower(), -1);
}

std::optional<CharacterData> parseCharacterFile(const QByteArray &bytes, QString *error)
{
    return parseCharacterFile(bytes, error, ParseOptions());
}

namespace {
std::optional<CharacterData> parseOpened(const std::shared_ptr<Archive> &archive, bool opened, QString why,
                                         QString *error, const ParseOptions &options)
{
    CharacterData c;
    if (!opened || !Parser(archive, &why, options).parse(c)) {
        if (error)
            *error = why.isEmpty() ? QStringLiteral("the file is damaged") : why;
        return std::nullopt;
    }
    return c;
}
} // namespace

bool parseWaveSound(const QByteArray &data, Sound *out, QString *why)
{
    return parseWav(data, out, why);
}

std::optional<CharacterData> parseCharacterFile(const QByteArray &bytes, QString *error, const ParseOptions &options)
{
    // Genuine Agent characters are told apart from our zip by their first bytes.
    const acsv2::Kind kind = acsv2::identify(bytes.left(8));
    if (kind == acsv2::Kind::V2)
        return acsv2::parse(bytes, error);
    if (kind != acsv2::Kind::Zip && kind != acsv2::Kind::Other) {
        if (error)
            *error = acsv2::refusal(kind);
        return std::nullopt;
    }
    QString why;
    auto archive = std::make_shared<Archive>();
    const bool opened = archive->open(bytes, &why);
    return parseOpened(archive, opened, why, error, options);
}

std::optional<CharacterData> loadCharacterFile(const QString &path, QString *error)
{
    return loadCharacterFile(path, error, ParseOptions());
}

std::optional<CharacterData> loadCharacterFile(const QString &path, QString *error, const ParseOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1 (%2)").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > limits::archiveBytes) {
        if (error)
            *error = QStringLiteral("%1 is larger than 64 MiB").arg(path);
        return std::nullopt;
    }
    if (options.lazy && acsv2::identify(file.peek(8)) == acsv2::Kind::Zip) {
        QString why;
        auto archive = std::make_shared<Archive>();
        const bool opened = archive->openFile(path, &why);
        return parseOpened(archive, opened, why, error, options);
    }
    const QByteArray bytes = file.read(limits::archiveBytes + 1);
    return parseCharacterFile(bytes, error, options);
}

} // namespace chimewell::agent
