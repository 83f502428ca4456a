// The files the art tool writes follow the character format, and the drawings
// in them are real pictures, not empty or look-alike frames.
#include "animations.h"
#include "character.h"
#include "pack.h"
#include "png.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <zip.h>

#include <map>
#include <memory>

using namespace chimewell::art;

namespace {

// The whole archive in memory: entry name -> bytes, plus how each is compressed.
struct Archive
{
    std::map<QString, QByteArray> entries;
    std::map<QString, int> method;
    QString error;
};

Archive readArchive(const QString &path)
{
    Archive a;
    int code = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!z) {
        a.error = QStringLiteral("zip_open failed: %1").arg(code);
        return a;
    }
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(z, zip_uint64_t(i), 0, &st) < 0) {
            a.error = QStringLiteral("stat failed");
            break;
        }
        QByteArray data(qsizetype(st.size), Qt::Uninitialized);
        zip_file_t *f = zip_fopen_index(z, zip_uint64_t(i), 0);
        if (!f || zip_fread(f, data.data(), st.size) != zip_int64_t(st.size)) {
            a.error = QStringLiteral("read failed: %1").arg(QString::fromUtf8(st.name));
            if (f)
                zip_fclose(f);
            break;
        }
        zip_fclose(f);
        const QString name = QString::fromUtf8(st.name);
        a.entries[name] = data;
        a.method[name] = st.comp_method;
    }
    zip_close(z);
    return a;
}

// The fmt and data of a WAV file, as the format allows them.
bool validWav(const QByteArray &b, QString *why)
{
    auto u16 = [&](int at) { return qFromLittleEndian<quint16>(b.constData() + at); };
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    if (b.size() < 44 || !b.startsWith("RIFF") || b.mid(8, 8) != "WAVEfmt ") {
        *why = QStringLiteral("not a RIFF WAVE");
        return false;
    }
    if (u16(20) != 1 || u16(22) != 1 || u32(24) != 22050 || u16(34) != 16) {
        *why = QStringLiteral("not 16-bit mono PCM at 22050 Hz");
        return false;
    }
    if (b.mid(36, 4) != "data" || qsizetype(u32(40)) + 44 != b.size() || u32(4) + 8 != quint32(b.size())) {
        *why = QStringLiteral("sizes do not add up");
        return false;
    }
    // Half a second or so of something audible.
    const int samples = int(u32(40) / 2);
    int loud = 0;
    for (int i = 0; i < samples; ++i)
        loud += std::abs(qFromLittleEndian<qint16>(b.constData() + 44 + 2 * i)) > 3000;
    if (samples < 22050 / 5 || samples > 22050 * 3 || loud < 500) {
        *why = QStringLiteral("too short, too long or too quiet");
        return false;
    }
    return true;
}

double opaqueShare(const QImage &img)
{
    const QImage a = img.convertToFormat(QImage::Format_ARGB32);
    qint64 opaque = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            opaque += qAlpha(a.pixel(x, y)) > 200;
    return double(opaque) / (a.width() * a.height());
}

} // namespace

class ArtFiles final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_chars = allCharacters();
        QCOMPARE(int(m_chars.size()), 7);
    }

    // The quick PNG encoder loses nothing: odd sizes, half-transparent edges, every channel.
    void pngRoundTrip()
    {
        QImage img(37, 19, QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgba(x * 7, y * 13, (x * y) % 256, (x * 29 + y * 3) % 256));
        const QImage back = QImage::fromData(encodePng(img), "PNG").convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(back.size(), img.size());
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y)) == 255 || qAlpha(img.pixel(x, y)) == 0)
                    QCOMPARE(back.pixel(x, y) | (qAlpha(img.pixel(x, y)) ? 0 : 0xffffffu),
                             img.pixel(x, y) | (qAlpha(img.pixel(x, y)) ? 0 : 0xffffffu));
                else
                    QCOMPARE(back.pixel(x, y), img.pixel(x, y));
        // A premultiplied picture, as the renderer makes, comes back unpremultiplied and whole.
        QImage pm(8, 8, QImage::Format_ARGB32_Premultiplied);
        pm.fill(QColor(200, 100, 50, 128));
        const QImage pmBack = QImage::fromData(encodePng(pm), "PNG");
        QCOMPARE(qAlpha(pmBack.pixel(3, 3)), 128);
        QVERIFY(std::abs(qRed(pmBack.pixel(3, 3)) - 200) <= 2);
    }

    void archive_data()
    {
        QTest::addColumn<QString>("id");
        for (const char *id : {"max", "plany", "genie", "peedy", "robby", "merlin", "check"})
            QTest::newRow(id) << QString::fromLatin1(id);
    }

    // Writes the file the build ships and reads it back as a loader would.
    void archive()
    {
        QFETCH(QString, id);
        const auto c = characterById(id);
        QVERIFY(c);
        const QString path = m_dir.filePath(id + QStringLiteral(".acs"));
        QString error;
        QVERIFY2(writeCharacterFile(built(*c), path, &error), qPrintable(error));
        const Archive a = readArchive(path);
        QVERIFY2(a.error.isEmpty(), qPrintable(a.error));
        QVERIFY(a.entries.size() < 8192);

        for (const auto &[name, data] : a.entries) {
            QVERIFY2(!name.contains(QLatin1String("..")) && !name.startsWith(QLatin1Char('/')) &&
                         !name.contains(QLatin1Char('\\')), qPrintable(name));
            // Compressed already: deflate would only cost time when they are read.
            if (name.endsWith(QLatin1String(".png")) || name.endsWith(QLatin1String(".lzma")))
                QVERIFY2(a.method.at(name) == ZIP_CM_STORE, qPrintable(name + QStringLiteral(" is not stored")));
            // Every 1x pack has its 2x twin, and the other way round.
            if (name.endsWith(QLatin1String(".lzma"))) {
                const QString twin = name.startsWith(QLatin1String("2x/")) ? name.mid(3) : QStringLiteral("2x/") + name;
                QVERIFY2(a.entries.count(twin), qPrintable(twin + QStringLiteral(" is missing")));
            }
        }
        QVERIFY(a.entries.count(QStringLiteral("manifest.json")));
        QJsonParseError pe;
        const QByteArray json = a.entries.at(QStringLiteral("manifest.json"));
        QVERIFY(json.size() <= 1024 * 1024);
        const QJsonObject m = QJsonDocument::fromJson(json, &pe).object();
        QVERIFY2(pe.error == QJsonParseError::NoError, qPrintable(pe.errorString()));

        // Files with patches or packs say so by their format, so older readers refuse them.
        const QJsonObject patches = m.value(QStringLiteral("patches")).toObject();
        const QJsonObject packs = m.value(QStringLiteral("packs")).toObject();
        QCOMPARE(m.value(QStringLiteral("format")).toInt(), !packs.isEmpty() ? 3 : patches.isEmpty() ? 1 : 2);
        // Packed pictures: in an entry that is there, each in one pack only, with
        // the rest picture (the one shown first) left out so loading unpacks nothing.
        QHash<QString, QSize> packed;
        for (auto it = packs.begin(); it != packs.end(); ++it) {
            QVERIFY2(a.entries.count(it.key()), qPrintable(it.key()));
            const QJsonObject pack = it.value().toObject();
            if (pack.contains(QStringLiteral("dictionary")))
                QVERIFY(a.entries.count(pack.value(QStringLiteral("dictionary")).toString()));
            for (const QJsonValue &pv : pack.value(QStringLiteral("pictures")).toArray()) {
                const QString image = pv.toObject().value(QStringLiteral("image")).toString();
                QVERIFY2(!packed.contains(image) && !a.entries.count(image), qPrintable(image));
                packed.insert(image, QSize(pv.toObject().value(QStringLiteral("width")).toInt(),
                                           pv.toObject().value(QStringLiteral("height")).toInt()));
            }
        }
        QVERIFY(!packed.contains(QStringLiteral("frames/rest.png")));
        QCOMPARE(m.value(QStringLiteral("name")).toString(), c->name());
        QVERIFY(!m.value(QStringLiteral("description")).toString().isEmpty());
        const int w = m.value(QStringLiteral("width")).toInt(), h = m.value(QStringLiteral("height")).toInt();
        QCOMPARE(QSize(w, h), c->frameSize());
        const QJsonObject voice = m.value(QStringLiteral("voice")).toObject();
        QVERIFY(voice.value(QStringLiteral("language")).toString().startsWith(QLatin1String("en")));
        QVERIFY(voice.value(QStringLiteral("pitch")).toInt(-1) >= 0 && voice.value(QStringLiteral("pitch")).toInt() <= 100);
        QVERIFY(voice.value(QStringLiteral("rate")).toInt() >= 80 && voice.value(QStringLiteral("rate")).toInt() <= 450);

        // An image entry at scale 1 and 2, of the size the format wants.
        auto checkImage = [&](const QString &name, QSize want, bool exact) {
            if (packed.contains(name)) {
                const QSize size = packed.value(name);
                if (patches.contains(name)) {
                    const QJsonObject p = patches.value(name).toObject();
                    const QString base = p.value(QStringLiteral("base")).toString();
                    QVERIFY2(a.entries.count(base) || packed.contains(base), qPrintable(name));
                    const QRect at(p.value(QStringLiteral("x")).toInt(-1), p.value(QStringLiteral("y")).toInt(-1),
                                   size.width(), size.height());
                    QVERIFY2(QRect(QPoint(0, 0), want).contains(at), qPrintable(name));
                } else {
                    QCOMPARE(size, want);
                }
                return;
            }
            QVERIFY2(a.entries.count(name), qPrintable(QStringLiteral("missing ") + name));
            QVERIFY2(a.entries.count(QStringLiteral("2x/") + name), qPrintable(QStringLiteral("missing 2x/") + name));
            const QImage one = QImage::fromData(a.entries.at(name), "PNG");
            const QImage two = QImage::fromData(a.entries.at(QStringLiteral("2x/") + name), "PNG");
            QVERIFY2(!one.isNull() && one.hasAlphaChannel(), qPrintable(name));
            if (patches.contains(name)) {
                // A part of the frame over another picture of the file.
                const QJsonObject p = patches.value(name).toObject();
                QVERIFY2(a.entries.count(p.value(QStringLiteral("base")).toString()), qPrintable(name));
                const QRect at(p.value(QStringLiteral("x")).toInt(-1), p.value(QStringLiteral("y")).toInt(-1), one.width(), one.height());
                QVERIFY2(QRect(QPoint(0, 0), want).contains(at), qPrintable(name));
            } else if (exact)
                QCOMPARE(one.size(), want);
            else
                QVERIFY(one.width() <= want.width() && one.height() <= want.height());
            QCOMPARE(two.size(), one.size() * 2);
        };

        const QJsonObject mouth = m.value(QStringLiteral("mouth")).toObject();
        const QJsonObject mouths = mouth.value(QStringLiteral("images")).toObject();
        for (const char *shape : {"closed", "small", "open", "wide", "round"})
            checkImage(mouths.value(QLatin1String(shape)).toString(), QSize(w, h), false);
        QVERIFY(mouth.value(QStringLiteral("x")).toInt(-1) >= 0 && mouth.value(QStringLiteral("y")).toInt(-1) >= 0);

        const QJsonObject anims = m.value(QStringLiteral("animations")).toObject();
        for (const QString &name : requiredAnimations())
            QVERIFY2(anims.contains(name), qPrintable(QStringLiteral("no animation ") + name));
        int totalFrames = 0;
        QStringList sounded;
        for (auto it = anims.begin(); it != anims.end(); ++it) {
            const QJsonObject anim = it.value().toObject();
            const QJsonArray frames = anim.value(QStringLiteral("frames")).toArray();
            const QString name = it.key();
            QVERIFY2(!frames.isEmpty() && frames.size() <= 256, qPrintable(name));
            totalFrames += frames.size();
            int length = 0;
            for (int i = 0; i < frames.size(); ++i) {
                const QJsonObject f = frames.at(i).toObject();
                checkImage(f.value(QStringLiteral("image")).toString(), QSize(w, h), true);
                const int d = f.value(QStringLiteral("duration")).toInt();
                QVERIFY2(d >= 10 && d <= 10000, qPrintable(name));
                length += d;
                if (f.contains(QStringLiteral("exit"))) {
                    const int e = f.value(QStringLiteral("exit")).toInt(-1);
                    QVERIFY2(e >= 0 && e < frames.size() && e != i, qPrintable(name));
                }
                int sum = 0;
                for (const QJsonValue &b : f.value(QStringLiteral("branches")).toArray()) {
                    const int to = b.toObject().value(QStringLiteral("frame")).toInt(-1);
                    QVERIFY2(to >= 0 && to < frames.size(), qPrintable(name));
                    sum += b.toObject().value(QStringLiteral("probability")).toInt();
                }
                QVERIFY(sum <= 100);
                if (f.contains(QStringLiteral("sound"))) {
                    const QString s = f.value(QStringLiteral("sound")).toString();
                    QVERIFY2(a.entries.count(s), qPrintable(s));
                    QString why;
                    QVERIFY2(validWav(a.entries.at(s), &why), qPrintable(s + QStringLiteral(": ") + why));
                    sounded << name;
                }
                // Only Speak carries the mouth: its head holds still under the overlays.
                QCOMPARE(f.value(QStringLiteral("mouth")).toBool(), name == QLatin1String("Speak"));
            }
            if (anim.contains(QStringLiteral("return")))
                QVERIFY(anims.contains(anim.value(QStringLiteral("return")).toString()));
            // Loops (Speak, the moves, the doze's breath) run on; everything else comes back to rest.
            if (name != QLatin1String("RestPose") && name != QLatin1String("Speak") && name != QLatin1String("Doze")
                && !name.startsWith(QLatin1String("Move")))
                QVERIFY2(frames.last().toObject().value(QStringLiteral("image")).toString() ==
                             QLatin1String("frames/rest.png") || name == QLatin1String("Hide"),
                         qPrintable(name + QStringLiteral(" does not end at rest")));
            // Gestures are short readable motions that end gracefully when cut short.
            static const QStringList gestures{
                QStringLiteral("Congratulate"), QStringLiteral("Confused"), QStringLiteral("Decline"),
                QStringLiteral("DoMagic1"),     QStringLiteral("Explain"),  QStringLiteral("Greet"),
                QStringLiteral("LookDown"),     QStringLiteral("Pleased"),  QStringLiteral("Read")};
            if (gestures.contains(name)) {
                QVERIFY2(length >= 800 && length <= 2100, qPrintable(name + QString::number(length)));
                for (int i = 0; i + 1 < frames.size(); ++i)
                    QCOMPARE(frames.at(i).toObject().value(QStringLiteral("exit")).toInt(), frames.size() - 1);
            }
        }
        QVERIFY(totalFrames <= 4096);
        sounded.removeDuplicates();
        sounded.sort();
        QCOMPARE(sounded, QStringList({QStringLiteral("Congratulate"), QStringLiteral("Greet"), QStringLiteral("Pleased")}));

        const QJsonObject states = m.value(QStringLiteral("states")).toObject();
        for (const char *s : {"Showing", "Hiding", "Speaking", "MovingLeft", "MovingRight", "MovingUp", "MovingDown",
                              "Idling", "Rest"}) {
            const QJsonArray list = states.value(QLatin1String(s)).toArray();
            QVERIFY2(!list.isEmpty(), s);
            for (const QJsonValue &v : list)
                QVERIFY2(anims.contains(v.toString()), s);
        }
        QCOMPARE(states.value(QStringLiteral("Speaking")).toArray().first().toString(), QStringLiteral("Speak"));
    }

    void restFramesAreDrawings_data() { archive_data(); }
    // A real figure: a fair share of solid pixels, nothing in the corners.
    void restFramesAreDrawings()
    {
        QFETCH(QString, id);
        const auto c = characterById(id);
        for (int scale : {1, 2}) {
            const QImage img = render(*c, c->rest(), scale).convertToFormat(QImage::Format_ARGB32);
            const double share = opaqueShare(img);
            QVERIFY2(share > 0.15 && share < 0.75, qPrintable(QString::number(share)));
            const int e = img.width() - 1, b = img.height() - 1;
            for (QPoint corner : {QPoint(0, 0), QPoint(e, 0), QPoint(0, b), QPoint(e, b)})
                QCOMPARE(qAlpha(img.pixel(corner)), 0);
        }
    }

    // The speech mouths differ from one another, and the closed one matches the
    // Speak frames it is drawn over.
    void mouthsLineUp_data() { archive_data(); }
    void mouthsLineUp()
    {
        QFETCH(QString, id);
        const auto c = characterById(id);
        const QImage base = render(*c, speakPose(*c), 1).copy(mouthPlace(*c));
        const QImage closed = renderMouth(*c, Mouth::Closed, 1);
        QCOMPARE(closed, base);
        QVERIFY(renderMouth(*c, Mouth::Open, 1) != closed);
        // Blinks and gestures while speaking never reach the mouth's patch.
        for (const AnimationSpec &a : standardAnimations(*c)) {
            if (!a.mouth)
                continue;
            for (int t = 0; t <= a.timeline.length(); t += a.step) {
                const QImage crop = render(*c, a.timeline.at(t), 1).copy(mouthPlace(*c));
                QString where;
                for (int y = 0; y < crop.height() && where.size() < 80; ++y)
                    for (int x = 0; x < crop.width(); ++x)
                        if (crop.pixel(x, y) != closed.pixel(x, y))
                            where += QStringLiteral(" %1,%2").arg(x).arg(y);
                QVERIFY2(where.isEmpty(), qPrintable(QStringLiteral("at %1 ms, pixels%2").arg(t).arg(where)));
            }
        }
        QVERIFY(renderMouth(*c, Mouth::Round, 1) != renderMouth(*c, Mouth::Wide, 1));
        QVERIFY(QRect(QPoint(0, 0), c->frameSize()).contains(mouthPlace(*c)));
        // Every speech mouth stays inside the overlay: its edge rows and columns match the closed one.
        for (Mouth m : {Mouth::Small, Mouth::Open, Mouth::Wide, Mouth::Round}) {
            const QImage img = renderMouth(*c, m, 1);
            const int e = img.width() - 1, b = img.height() - 1;
            for (int x = 0; x <= e; ++x)
                QVERIFY(img.pixel(x, 0) == closed.pixel(x, 0) && img.pixel(x, b) == closed.pixel(x, b));
            for (int y = 0; y <= b; ++y)
                QVERIFY(img.pixel(0, y) == closed.pixel(0, y) && img.pixel(e, y) == closed.pixel(e, y));
        }
    }

    // Two characters never look alike: their rest frames differ in many pixels.
    void charactersDiffer()
    {
        std::vector<QImage> rests;
        for (const auto &c : m_chars)
            rests.push_back(render(*c, c->rest(), 1).convertToFormat(QImage::Format_ARGB32)
                                .scaled(128, 128, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        for (size_t i = 0; i < rests.size(); ++i) {
            for (size_t j = i + 1; j < rests.size(); ++j) {
                int differing = 0;
                for (int y = 0; y < 128; ++y)
                    for (int x = 0; x < 128; ++x) {
                        const QRgb a = rests[i].pixel(x, y), b = rests[j].pixel(x, y);
                        differing += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                                         std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b)) > 120;
                    }
                QVERIFY2(differing > 128 * 128 / 5, qPrintable(m_chars[i]->id() + QLatin1Char('/') + m_chars[j]->id()));
            }
        }
    }

    // Gestures move: no gesture is one picture held.
    void gesturesMove()
    {
        for (const auto &c : m_chars) {
            for (const BuiltAnimation &a : built(*c).animations) {
                if (a.name == QLatin1String("RestPose"))
                    continue;
                QSet<QString> images;
                for (const BuiltFrame &f : a.frames)
                    images.insert(f.image);
                QVERIFY2(images.size() >= 3, qPrintable(c->id() + QLatin1Char(' ') + a.name));
            }
        }
    }

    // Listening holds a hand at the ear for as long as it is not cut short: its
    // frames go round a loop of their own, and leaving at any point before the hand
    // comes down runs through it back to rest. Hearing is one short nod, also ending
    // at rest. Both stay small: few pictures, most of them shared.
    void listeningAndHearing()
    {
        for (const auto &c : m_chars) {
            const BuiltCharacter &b = built(*c);
            const QString id = c->id();
            const QJsonObject states = b.manifest.value(QStringLiteral("states")).toObject();
            QCOMPARE(states.value(QStringLiteral("Listening")).toArray(), QJsonArray({QStringLiteral("Listen")}));
            QCOMPARE(states.value(QStringLiteral("Hearing")).toArray(), QJsonArray({QStringLiteral("Hear")}));
            const BuiltAnimation *listen = nullptr, *hear = nullptr;
            for (const BuiltAnimation &a : b.animations) {
                if (a.name == QLatin1String("Listen"))
                    listen = &a;
                if (a.name == QLatin1String("Hear"))
                    hear = &a;
            }
            QVERIFY2(listen && hear, qPrintable(id));
            const QString rest = QStringLiteral("frames/rest.png");
            const auto &lf = listen->frames;
            // A few frames; a figure whose glow moves every step (the genie's smoke,
            // the robot's lights) has one for every 100 ms of the two seconds.
            QVERIFY2(lf.size() >= 6 && lf.size() <= 21, qPrintable(id));
            QCOMPARE(lf.front().image, rest);
            QCOMPARE(lf.back().image, rest);
            QCOMPARE(listen->returnTo, QStringLiteral("RestPose"));

            // Exactly one frame loops back, always, to a frame after the first; the
            // loop's frames never show the rest picture.
            int loopFrom = -1, loopTo = -1;
            for (int i = 0; i < int(lf.size()); ++i) {
                for (const auto &[to, probability] : lf[size_t(i)].branches) {
                    QVERIFY2(loopFrom < 0 && probability == 100 && to > 0 && to < i, qPrintable(id));
                    loopFrom = i;
                    loopTo = to;
                }
            }
            QVERIFY2(loopFrom > 0, qPrintable(id));
            for (int i = loopTo; i <= loopFrom; ++i)
                QVERIFY2(lf[size_t(i)].image != rest, qPrintable(id));
            // The loop runs on by itself: nothing reaches the frames after it but exits.
            const int down = loopFrom + 1;
            for (int i = 0; i < down; ++i)
                QCOMPARE(lf[size_t(i)].exit, down);
            // The hand comes down about as fast as it went up.
            QVERIFY2(std::abs((int(lf.size()) - 1 - down) - loopTo) <= 1, qPrintable(id));
            // Each time round the loop holds the hand up for over a second.
            int held = 0;
            for (int i = loopTo; i <= loopFrom; ++i)
                held += lf[size_t(i)].duration;
            QVERIFY2(held >= 1000, qPrintable(id));

            const auto &hf = hear->frames;
            QVERIFY2(hf.size() >= 4 && hf.size() <= 8, qPrintable(id));
            QCOMPARE(hf.back().image, rest);
            QCOMPARE(hear->returnTo, QStringLiteral("RestPose"));
            for (size_t i = 0; i + 1 < hf.size(); ++i)
                QCOMPARE(hf[i].exit, int(hf.size()) - 1);
            // A nod goes down twice through the same picture (propellers and glows aside).
            QSet<QString> pictures;
            for (const BuiltFrame &f : hf)
                pictures.insert(f.image);
            QVERIFY2(pictures.size() >= 3 && pictures.size() < int(hf.size()), qPrintable(id));
        }
    }

    // Nothing is cut off by the frame: no picture touches its top or sides, except
    // while flying in and out.
    void figuresFitTheFrame()
    {
        QStringList cut;
        for (const auto &c : m_chars) {
            for (const AnimationSpec &a : standardAnimations(*c)) {
                if ((a.name == QLatin1String("Show") || a.name == QLatin1String("Hide")) && c->motion() == Motion::Fly)
                    continue;
                for (int t = 0; t <= a.timeline.length(); t += a.step) {
                    Pose pose = a.timeline.at(t);
                    pose.effect = Effect::None; // confetti may well fall in from above
                    const QImage img = render(*c, pose, 1).convertToFormat(QImage::Format_ARGB32);
                    int touching = 0;
                    for (int x = 0; x < img.width(); ++x)
                        touching += qAlpha(img.pixel(x, 0)) > 40;
                    for (int y = 0; y < img.height(); ++y)
                        touching += (qAlpha(img.pixel(0, y)) > 40) + (qAlpha(img.pixel(img.width() - 1, y)) > 40);
                    if (touching)
                        cut << c->id() + QLatin1Char(' ') + a.name;
                }
            }
        }
        cut.removeDuplicates();
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1String(", "))));
    }

private:
    // Building draws every frame twice over; each character is built once per run.
    const BuiltCharacter &built(const Character &c)
    {
        auto it = m_built.find(c.id());
        if (it == m_built.end())
            it = m_built.emplace(c.id(), build(c, PngEffort::Quick)).first;
        return it->second;
    }

    QTemporaryDir m_dir;
    std::map<QString, BuiltCharacter> m_built;
    std::vector<std::unique_ptr<Character>> m_chars;
};

QTEST_MAIN(ArtFiles)
#include "tst_artfiles.moc"
