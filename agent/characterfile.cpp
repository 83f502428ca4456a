#include "agent/characterfile.h"
#include "agent/acsv2reader.h"
#include "agent/archive.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <cmath>

namespace chimewell::agent {

namespace {

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
                                  "MovingUp", "MovingDown", "Idling", "Rest", "Listening", "Hearing",
                                  "Dozing", "Waking"};
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
