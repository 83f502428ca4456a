#include "agent/characterfile.h"
#include "acsbuilder.h"

#include <QElapsedTimer>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QtEndian>

#include <functional>

using namespace chimewell::agent;
using chimewell::agent::test::TestCharacter;

namespace {
using Mutation = std::function<QByteArray()>;

QJsonObject animation(const TestCharacter &t, const QString &name)
{
    return t.manifest.value(QStringLiteral("animations")).toObject().value(name).toObject();
}

void setAnimation(TestCharacter &t, const QString &name, const QJsonObject &a)
{
    QJsonObject all = t.manifest.value(QStringLiteral("animations")).toObject();
    all.insert(name, a);
    t.manifest.insert(QStringLiteral("animations"), all);
}

// Changes the first frame of Greet.
QByteArray withGreetFrame(const std::function<void(QJsonObject &)> &change)
{
    TestCharacter t;
    QJsonObject a = animation(t, QStringLiteral("Greet"));
    QJsonArray frames = a.value(QStringLiteral("frames")).toArray();
    QJsonObject f = frames.at(0).toObject();
    change(f);
    frames.replace(0, f);
    a.insert(QStringLiteral("frames"), frames);
    setAnimation(t, QStringLiteral("Greet"), a);
    return t.build();
}

QByteArray withManifest(const std::function<void(QJsonObject &)> &change)
{
    TestCharacter t;
    change(t.manifest);
    return t.build();
}

QByteArray withFile(const QString &name, const QByteArray &data)
{
    TestCharacter t;
    t.files.insert(name, data);
    return t.build();
}

// Declares patches: entry -> {base, x, y[, mode]}.
QByteArray withPatches(const QJsonObject &patches, const QMap<QString, QByteArray> &files = {})
{
    TestCharacter t;
    t.manifest.insert(QStringLiteral("format"), 2);
    t.manifest.insert(QStringLiteral("patches"), patches);
    for (auto it = files.begin(); it != files.end(); ++it)
        t.files.insert(it.key(), it.value());
    return t.build();
}

QJsonObject patchOver(const QString &base, double x, double y, const QString &mode = QString())
{
    QJsonObject o{{QStringLiteral("base"), base}, {QStringLiteral("x"), x}, {QStringLiteral("y"), y}};
    if (!mode.isEmpty())
        o.insert(QStringLiteral("mode"), mode);
    return o;
}

// What a patch that adds holds: target minus base, byte by byte, both premultiplied.
QImage difference(const QImage &base, const QImage &target, const QRect &r)
{
    const QImage b = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage t = target.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(r.size(), QImage::Format_RGBA8888);
    for (int y = 0; y < r.height(); ++y) {
        for (int x = 0; x < r.width(); ++x) {
            const QRgb pb = b.pixel(r.x() + x, r.y() + y), pt = t.pixel(r.x() + x, r.y() + y);
            uchar *d = out.scanLine(y) + 4 * x;
            d[0] = uchar(qRed(pt) - qRed(pb));
            d[1] = uchar(qGreen(pt) - qGreen(pb));
            d[2] = uchar(qBlue(pt) - qBlue(pb));
            d[3] = uchar(qAlpha(pt) - qAlpha(pb));
        }
    }
    return out;
}

// A character with packed pictures: Greet 1 whole and Greet 2 (a part laid
// over Greet 1) in one pack, Wave 0 (bytes added to the rest picture) in another.
// Each pack has its 2x twin. The rest picture, a PNG at both scales, is the
// packs' dictionary when asked.
struct PackedCharacter
{
    TestCharacter t;
    QMap<QString, QImage> want; // "greet_1", "2x/greet_1"...: what the loader must show
    QByteArray greetRaw[2], waveRaw[2], dictionary[2]; // at scale 1, scale 2
    QJsonObject packs;

    explicit PackedCharacter(bool withDictionary)
    {
        t.manifest.insert(QStringLiteral("format"), 3);
        const QString rest = QStringLiteral("frames/restpose_0.png");
        QJsonObject patches;
        for (int scale : {1, 2}) {
            const QString prefix = scale == 2 ? QStringLiteral("2x/") : QString();
            const QImage restImage = test::paintFrame(32, 32, QColor(200, 30, 30, 180), scale).convertToFormat(QImage::Format_ARGB32);
            t.files.insert(prefix + rest, test::png(restImage));
            dictionary[scale - 1] = test::rgbaBytes(restImage);
            const QImage one = test::paintFrame(32, 32, QColor(20, 130, 230, 200), scale).convertToFormat(QImage::Format_ARGB32);
            QImage two = one, wave = restImage;
            const QRect part(QPoint(3, 4) * scale, QSize(9, 13) * scale);
            for (int y = part.top(); y <= part.bottom(); ++y) {
                for (int x = part.left(); x <= part.right(); ++x) {
                    two.setPixelColor(x, y, QColor(x * 7 % 256, y * 11 % 256, 90, (x + y) * 5 % 256));
                    wave.setPixelColor(x, y, QColor(y * 3 % 256, 200, x * 13 % 256, 255 - x));
                }
            }
            wholeOne[scale - 1] = test::rgbaBytes(one);
            want.insert(prefix + QStringLiteral("greet_1"), one.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            want.insert(prefix + QStringLiteral("greet_2"), two.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            want.insert(prefix + QStringLiteral("wave_0"), wave.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            partTwo[scale - 1] = test::rgbaBytes(two.copy(part));
            waveBytes[scale - 1] = test::rgbaBytes(difference(restImage, wave, part));
        }
        for (int i : {0, 1}) {
            greetRaw[i] = wholeOne[i] + partTwo[i];
            waveRaw[i] = waveBytes[i];
        }
        patches.insert(QStringLiteral("frames/greet_2.png"), patchOver(QStringLiteral("frames/greet_1.png"), 3, 4));
        patches.insert(QStringLiteral("frames/wave_0.png"), patchOver(rest, 3, 4, QStringLiteral("add")));
        t.manifest.insert(QStringLiteral("patches"), patches);
        for (const char *name : {"frames/greet_1.png", "frames/greet_2.png", "frames/wave_0.png"})
            t.files.remove(QLatin1String(name)); // the packs hold them: nothing else may
        for (int i : {0, 1}) {
            const QByteArray dict = withDictionary ? dictionary[i] : QByteArray();
            const QString prefix = i ? QStringLiteral("2x/") : QString();
            t.files.insert(prefix + QStringLiteral("packs/greet.lzma"), test::lzmaPack(greetRaw[i], dict));
            t.files.insert(prefix + QStringLiteral("packs/wave.lzma"), test::lzmaPack(waveRaw[i], dict));
        }
        addPack(QStringLiteral("packs/greet.lzma"), t.files.value(QStringLiteral("packs/greet.lzma")),
                {{QStringLiteral("frames/greet_1.png"), QSize(32, 32)}, {QStringLiteral("frames/greet_2.png"), QSize(9, 13)}},
                withDictionary ? rest : QString());
        addPack(QStringLiteral("packs/wave.lzma"), t.files.value(QStringLiteral("packs/wave.lzma")),
                {{QStringLiteral("frames/wave_0.png"), QSize(9, 13)}}, withDictionary ? rest : QString());
    }

    // Lists a pack and puts its 1x entry in; its 2x twin is the caller's.
    void addPack(const QString &name, const QByteArray &data, const QList<std::pair<QString, QSize>> &pictures,
                 const QString &dictionaryName)
    {
        QJsonArray list;
        for (const auto &[image, size] : pictures)
            list.append(QJsonObject{{QStringLiteral("image"), image}, {QStringLiteral("width"), size.width()},
                                    {QStringLiteral("height"), size.height()}});
        QJsonObject pack{{QStringLiteral("pictures"), list}};
        if (!dictionaryName.isEmpty())
            pack.insert(QStringLiteral("dictionary"), dictionaryName);
        packs.insert(name, pack);
        t.manifest.insert(QStringLiteral("packs"), packs);
        t.files.insert(name, data);
    }

    QByteArray wholeOne[2], partTwo[2], waveBytes[2];
};

QByteArray withPacks(const std::function<void(PackedCharacter &)> &change)
{
    PackedCharacter p(true);
    change(p);
    return p.t.build();
}

QByteArray zipOf(const QByteArray &manifest, const QMap<QString, QByteArray> &files)
{
    QList<test::ZipEntry> entries{{QStringLiteral("manifest.json"), manifest, false}};
    for (auto it = files.begin(); it != files.end(); ++it)
        entries.append({it.key(), it.value(), false});
    return test::makeZip(entries);
}
} // namespace

class TestCharacterFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void validFileLoads();
    void hiDpiImagesAreUsedWhenRight();
    void mouthShapesFallBack();
    void soundsAreRead();
    void damagedFilesFail_data();
    void damagedFilesFail();
    void patchesRebuildTheirPictures_data();
    void patchesRebuildTheirPictures();
    void packedPicturesRebuild_data();
    void packedPicturesRebuild();
    void damagedPackFailsOnlyItsPictures_data();
    void damagedPackFailsOnlyItsPictures();
    void fileChangedAfterLoading_data();
    void fileChangedAfterLoading();
    void brokenPictureFailsOnlyItsAnimation_data();
    void brokenPictureFailsOnlyItsAnimation();
    void zipBombStopsAtTheDeclaredSize();
    void tooManyEntries();
    void truncatedAtEveryLength();
    void largeCharacterLoadsWithoutDecoding();
    void fuzzSeedsParse();
};

void TestCharacterFile::validFileLoads()
{
    QString error;
    const auto c = parseCharacterFile(TestCharacter().build(), &error);
    QVERIFY2(c, qPrintable(error));
    QVERIFY(error.isEmpty());
    QCOMPARE(c->name, QStringLiteral("Testy"));
    QCOMPARE(c->width, 32);
    QCOMPARE(c->voice.pitch, 60);
    QCOMPARE(c->voice.rate, 160); // not given: the voice's default
    QCOMPARE(c->animations.size(), 10);
    const int greet = c->findAnimation(QStringLiteral("greet"));
    QVERIFY(greet >= 0);
    QCOMPARE(c->findAnimation(QStringLiteral("GREET")), greet);
    QCOMPARE(c->animations.at(greet).frames.size(), 3);
    QCOMPARE(c->animations.at(greet).returnAnimation, c->findAnimation(QStringLiteral("RestPose")));
    QCOMPARE(c->animations.at(greet).frames.at(0).duration, 10);
    QCOMPARE(c->states[int(State::Idling)].size(), 2);
    QVERIFY(c->states[int(State::MovingUp)].isEmpty());
    for (const FrameImage &img : c->images) {
        QCOMPARE(img.size(), QSize(32, 32));
        QVERIFY(!img.has2x());
    }
    QCOMPARE(c->findAnimation(QStringLiteral("nothing")), -1);
}

void TestCharacterFile::hiDpiImagesAreUsedWhenRight()
{
    TestCharacter t;
    t.files.insert(QStringLiteral("2x/frames/greet_0.png"), test::png(test::paintFrame(32, 32, Qt::red, 2.0)));
    t.files.insert(QStringLiteral("2x/frames/greet_1.png"), test::png(test::paintFrame(32, 32, Qt::red, 1.5))); // wrong: ignored
    t.files.insert(QStringLiteral("2x/frames/greet_2.png"), QByteArray("not a png")); // ignored
    QString error;
    const auto c = parseCharacterFile(t.build(), &error);
    QVERIFY2(c, qPrintable(error));
    const Animation &a = c->animations.at(c->findAnimation(QStringLiteral("Greet")));
    const FrameImage &good = c->images.at(a.frames.at(0).image);
    QVERIFY(good.has2x());
    QCOMPARE(good.image2x().size(), QSize(64, 64));
    QCOMPARE(good.image2x().devicePixelRatio(), 2.0);
    QVERIFY(!c->images.at(a.frames.at(1).image).has2x());
    QVERIFY(!c->images.at(a.frames.at(2).image).has2x());
}

void TestCharacterFile::mouthShapesFallBack()
{
    TestCharacter t;
    t.files.insert(QStringLiteral("mouth/open.png"), test::png(test::paintFrame(8, 4, Qt::black)));
    t.files.insert(QStringLiteral("mouth/wide.png"), test::png(test::paintFrame(10, 4, Qt::black)));
    t.manifest.insert(QStringLiteral("mouth"),
                      QJsonObject{{QStringLiteral("x"), 12}, {QStringLiteral("y"), 20},
                                  {QStringLiteral("images"), QJsonObject{{QStringLiteral("open"), QStringLiteral("mouth/open.png")},
                                                                         {QStringLiteral("wide"), QStringLiteral("mouth/wide.png")}}}});
    QString error;
    const auto c = parseCharacterFile(t.build(), &error);
    QVERIFY2(c, qPrintable(error));
    QVERIFY(c->hasMouth);
    QCOMPARE(c->mouthPos, QPoint(12, 20));
    QCOMPARE(c->mouth[int(chimewell::voice::Mouth::Wide)].size().width(), 10);
    // Missing shapes fall back to "open".
    QCOMPARE(c->mouth[int(chimewell::voice::Mouth::Closed)].size().width(), 8);
    QCOMPARE(c->mouth[int(chimewell::voice::Mouth::Round)].size().width(), 8);
}

void TestCharacterFile::soundsAreRead()
{
    const QByteArray bytes = withGreetFrame([](QJsonObject &f) { f.insert(QStringLiteral("sound"), QStringLiteral("sounds/hi.wav")); });
    TestCharacter t;
    QString error;
    QVERIFY(!parseCharacterFile(bytes, &error)); // the sound is missing
    QVERIFY2(error.contains(QStringLiteral("sounds/hi.wav")), qPrintable(error));

    QJsonObject a = animation(t, QStringLiteral("Greet"));
    QJsonArray frames = a.value(QStringLiteral("frames")).toArray();
    QJsonObject f = frames.at(0).toObject();
    f.insert(QStringLiteral("sound"), QStringLiteral("sounds/hi.wav"));
    frames.replace(0, f);
    a.insert(QStringLiteral("frames"), frames);
    setAnimation(t, QStringLiteral("Greet"), a);
    t.files.insert(QStringLiteral("sounds/hi.wav"), test::wav(100, 8000, 8, 2));
    error.clear();
    const auto c = parseCharacterFile(t.build(), &error);
    QVERIFY2(c, qPrintable(error));
    QCOMPARE(c->sounds.size(), 1);
    QCOMPARE(c->sounds.at(0).channels, 2);
    QCOMPARE(c->sounds.at(0).bitsPerSample, 8);
    QCOMPARE(c->sounds.at(0).pcm.size(), 800 * 2);
}

void TestCharacterFile::damagedFilesFail_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    const QByteArray good = TestCharacter().build();
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("manifest.json");
    QTest::newRow("not a zip") << QByteArray(5000, 'x') << QStringLiteral("zip");
    QTest::newRow("truncated to half") << good.left(good.size() / 2) << QStringLiteral("zip");
    QTest::newRow("last bytes cut") << good.left(good.size() - 5) << QStringLiteral("zip");
    QTest::newRow("larger than 64 MiB") << QByteArray(64 * 1024 * 1024 + 1, '\0') << QStringLiteral("64 MiB");

    QTest::newRow("no manifest") << test::makeZip({{QStringLiteral("frames/a.png"), test::png(test::paintFrame(32, 32, Qt::red))}})
                                 << QStringLiteral("manifest.json");
    QTest::newRow("manifest is not JSON") << zipOf("{\"format\": 1, ", {}) << QStringLiteral("JSON");
    QTest::newRow("manifest is a list") << zipOf("[1,2]", {}) << QStringLiteral("object");
    QTest::newRow("manifest over 1 MiB") << zipOf(QByteArray(1024 * 1024 + 1, ' '), {}) << QStringLiteral("manifest.json");
    QTest::newRow("name too long") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("name"), QString(257, QLatin1Char('n'))); })
                                   << QStringLiteral("name");
    QTest::newRow("description too long")
        << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("description"), QString(4097, QLatin1Char('d'))); })
        << QStringLiteral("description");
    QTest::newRow("width absurd") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("width"), 100000); }) << QStringLiteral("width");
    QTest::newRow("width 15") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("width"), 15); }) << QStringLiteral("width");
    QTest::newRow("height 513") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("height"), 513); }) << QStringLiteral("height");
    QTest::newRow("width not whole") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("width"), 32.5); }) << QStringLiteral("width");
    QTest::newRow("width a text") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("width"), QStringLiteral("32")); })
                                  << QStringLiteral("width");
    QTest::newRow("voice rate too high")
        << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("voice"), QJsonObject{{QStringLiteral("rate"), 9000}}); })
        << QStringLiteral("rate");
    QTest::newRow("no animations") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("animations"), QJsonObject{}); })
                                   << QStringLiteral("no animations");
    QTest::newRow("animation without frames")
        << withManifest([](QJsonObject &m) {
               QJsonObject a = m.value(QStringLiteral("animations")).toObject();
               a.insert(QStringLiteral("Empty"), QJsonObject{{QStringLiteral("frames"), QJsonArray{}}});
               m.insert(QStringLiteral("animations"), a);
           })
        << QStringLiteral("1 to 256 frames");
    QTest::newRow("257 frames in one animation")
        << withManifest([](QJsonObject &m) {
               QJsonArray frames;
               for (int i = 0; i < 257; ++i)
                   frames.append(QJsonObject{{QStringLiteral("image"), QStringLiteral("frames/restpose_0.png")}});
               QJsonObject a = m.value(QStringLiteral("animations")).toObject();
               a.insert(QStringLiteral("Long"), QJsonObject{{QStringLiteral("frames"), frames}});
               m.insert(QStringLiteral("animations"), a);
           })
        << QStringLiteral("1 to 256 frames");
    QTest::newRow("more than 4096 frames in all")
        << withManifest([](QJsonObject &m) {
               QJsonArray frames;
               for (int i = 0; i < 256; ++i)
                   frames.append(QJsonObject{{QStringLiteral("image"), QStringLiteral("frames/restpose_0.png")}});
               QJsonObject a = m.value(QStringLiteral("animations")).toObject();
               for (int i = 0; i < 17; ++i)
                   a.insert(QStringLiteral("Long%1").arg(i), QJsonObject{{QStringLiteral("frames"), frames}});
               m.insert(QStringLiteral("animations"), a);
           })
        << QStringLiteral("4096");
    QTest::newRow("257 animations")
        << withManifest([](QJsonObject &m) {
               QJsonObject a;
               const QJsonObject one{{QStringLiteral("frames"), QJsonArray{QJsonObject{{QStringLiteral("image"), QStringLiteral("frames/restpose_0.png")}}}}};
               for (int i = 0; i < 257; ++i)
                   a.insert(QStringLiteral("A%1").arg(i), one);
               m.insert(QStringLiteral("animations"), a);
           })
        << QStringLiteral("256 animations");
    QTest::newRow("names differ only in case")
        << withManifest([](QJsonObject &m) {
               QJsonObject a = m.value(QStringLiteral("animations")).toObject();
               a.insert(QStringLiteral("greet"), a.value(QStringLiteral("Greet")));
               m.insert(QStringLiteral("animations"), a);
           })
        << QStringLiteral("used twice");
    QTest::newRow("missing image") << withGreetFrame([](QJsonObject &f) { f.insert(QStringLiteral("image"), QStringLiteral("frames/none.png")); })
                                   << QStringLiteral("frames/none.png");
    QTest::newRow("image with ..") << withGreetFrame([](QJsonObject &f) { f.insert(QStringLiteral("image"), QStringLiteral("../x.png")); })
                                   << QStringLiteral("image");
    QTest::newRow("image of the wrong size") << withFile(QStringLiteral("frames/greet_0.png"), test::png(test::paintFrame(33, 32, Qt::red)))
                                             << QStringLiteral("33x32");
    QTest::newRow("image that is not a PNG") << withFile(QStringLiteral("frames/greet_0.png"), test::wav())
                                             << QStringLiteral("not a PNG");
    {
        // A PNG header that claims a huge picture: refused before anything is decoded.
        QByteArray p = test::png(test::paintFrame(32, 32, Qt::red));
        p[16] = 0; p[17] = 0; p[18] = char(0xff); p[19] = char(0xff);
        p[20] = 0; p[21] = 0; p[22] = char(0xff); p[23] = char(0xff);
        QTest::newRow("image claims 65535x65535") << withFile(QStringLiteral("frames/greet_0.png"), p) << QStringLiteral("65535x65535");
    }
    {
        QByteArray p = test::png(test::paintFrame(32, 32, Qt::red));
        p.truncate(p.size() - 30);
        // The picture shown first is decoded at load; the others when they are played.
        QTest::newRow("first picture cut short") << withFile(QStringLiteral("frames/restpose_0.png"), p) << QStringLiteral("does not decode");
    }
    QTest::newRow("duration too short") << withGreetFrame([](QJsonObject &f) { f.insert(QStringLiteral("duration"), 5); })
                                        << QStringLiteral("duration");
    QTest::newRow("duration too long") << withGreetFrame([](QJsonObject &f) { f.insert(QStringLiteral("duration"), 10001); })
                                       << QStringLiteral("duration");
    QTest::newRow("exit past the end") << withGreetFrame([](QJsonObject &f) { f.insert(QStringLiteral("exit"), 3); }) << QStringLiteral("exit");
    QTest::newRow("branch to no frame")
        << withGreetFrame([](QJsonObject &f) {
               f.insert(QStringLiteral("branches"), QJsonArray{QJsonObject{{QStringLiteral("frame"), 7}, {QStringLiteral("probability"), 10}}});
           })
        << QStringLiteral("branch");
    QTest::newRow("branches over 100 percent")
        << withGreetFrame([](QJsonObject &f) {
               f.insert(QStringLiteral("branches"), QJsonArray{QJsonObject{{QStringLiteral("frame"), 1}, {QStringLiteral("probability"), 60}},
                                                               QJsonObject{{QStringLiteral("frame"), 2}, {QStringLiteral("probability"), 41}}});
           })
        << QStringLiteral("more than 100");
    QTest::newRow("mouth flag not a boolean") << withGreetFrame([](QJsonObject &f) { f.insert(QStringLiteral("mouth"), 1); })
                                              << QStringLiteral("mouth");
    QTest::newRow("return to no animation")
        << withManifest([](QJsonObject &m) {
               QJsonObject a = m.value(QStringLiteral("animations")).toObject();
               QJsonObject g = a.value(QStringLiteral("Greet")).toObject();
               g.insert(QStringLiteral("return"), QStringLiteral("Nowhere"));
               a.insert(QStringLiteral("Greet"), g);
               m.insert(QStringLiteral("animations"), a);
           })
        << QStringLiteral("Nowhere");
    QTest::newRow("missing sound") << withGreetFrame([](QJsonObject &f) { f.insert(QStringLiteral("sound"), QStringLiteral("sounds/x.wav")); })
                                   << QStringLiteral("sounds/x.wav");
    {
        TestCharacter t;
        QJsonObject a = animation(t, QStringLiteral("Greet"));
        QJsonArray frames = a.value(QStringLiteral("frames")).toArray();
        QJsonObject f = frames.at(0).toObject();
        f.insert(QStringLiteral("sound"), QStringLiteral("sounds/x.wav"));
        frames.replace(0, f);
        a.insert(QStringLiteral("frames"), frames);
        setAnimation(t, QStringLiteral("Greet"), a);
        TestCharacter notWav = t, floatWav = t, bigWav = t;
        notWav.files.insert(QStringLiteral("sounds/x.wav"), test::png(test::paintFrame(32, 32, Qt::red)));
        QByteArray fl = test::wav();
        fl[20] = 3; // IEEE float
        floatWav.files.insert(QStringLiteral("sounds/x.wav"), fl);
        bigWav.files.insert(QStringLiteral("sounds/x.wav"), test::wav(270000, 8000, 16, 1));
        QByteArray cut = test::wav(100);
        cut.truncate(cut.size() - 10); // the data chunk runs past the end
        TestCharacter cutWav = t;
        cutWav.files.insert(QStringLiteral("sounds/x.wav"), cut);
        QTest::newRow("sound that is not a WAV") << notWav.build() << QStringLiteral("RIFF");
        QTest::newRow("sound that is not PCM") << floatWav.build() << QStringLiteral("not PCM");
        QTest::newRow("sound over 4 MiB") << bigWav.build() << QStringLiteral("sounds/x.wav");
        QTest::newRow("sound cut short") << cutWav.build() << QStringLiteral("past the end");
    }
    {
        const QString greet0 = QStringLiteral("frames/greet_0.png"), greet1 = QStringLiteral("frames/greet_1.png");
        const QString rest = QStringLiteral("frames/restpose_0.png");
        const QByteArray piece = test::png(test::paintFrame(8, 8, Qt::blue));
        QTest::newRow("patch over a missing picture")
            << withPatches({{greet0, patchOver(QStringLiteral("frames/none.png"), 0, 0)}}, {{greet0, piece}}) << QStringLiteral("frames/none.png");
        QTest::newRow("patch over itself") << withPatches({{greet0, patchOver(greet0, 0, 0)}}, {{greet0, piece}}) << QStringLiteral("circle");
        QTest::newRow("patches over each other")
            << withPatches({{greet0, patchOver(greet1, 0, 0)}, {greet1, patchOver(greet0, 0, 0)}}, {{greet0, piece}, {greet1, piece}})
            << QStringLiteral("circle");
        {
            // Ten patches deep: more decodes for one picture than the format allows.
            QJsonObject chain;
            QMap<QString, QByteArray> files{{greet0, piece}};
            QString below = rest;
            for (int i = 0; i < 10; ++i) {
                const QString name = QStringLiteral("frames/p%1.png").arg(i);
                chain.insert(name, patchOver(below, 0, 0));
                files.insert(name, piece);
                below = name;
            }
            chain.insert(greet0, patchOver(below, 0, 0));
            QTest::newRow("patches too deep") << withPatches(chain, files) << QStringLiteral("deep");
        }
        QTest::newRow("patch past the frame's edge")
            << withPatches({{greet0, patchOver(rest, 30, 0)}}, {{greet0, piece}}) << QStringLiteral("does not fit");
        QTest::newRow("patch at a negative place") << withPatches({{greet0, patchOver(rest, -1, 0)}}, {{greet0, piece}}) << QStringLiteral("x and y");
        QTest::newRow("patch at a huge place") << withPatches({{greet0, patchOver(rest, 0, 1e12)}}, {{greet0, piece}}) << QStringLiteral("x and y");
        QTest::newRow("patch of an unknown kind")
            << withPatches({{greet0, patchOver(rest, 0, 0, QStringLiteral("xor"))}}, {{greet0, piece}}) << QStringLiteral("mode");
        QTest::newRow("patches not an object") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("patches"), 3); })
                                               << QStringLiteral("patches");
        QTest::newRow("mouth picture as a patch")
            << [&] {
                   TestCharacter t;
                   t.files.insert(QStringLiteral("mouth/open.png"), test::png(test::paintFrame(4, 4, Qt::black)));
                   t.manifest.insert(QStringLiteral("mouth"), QJsonObject{{QStringLiteral("x"), 1}, {QStringLiteral("y"), 1},
                                                                           {QStringLiteral("images"), QJsonObject{{QStringLiteral("open"), QStringLiteral("mouth/open.png")}}}});
                   t.manifest.insert(QStringLiteral("patches"), QJsonObject{{QStringLiteral("mouth/open.png"), patchOver(rest, 0, 0)}});
                   return t.build();
               }()
            << QStringLiteral("cannot be a patch");
    }
    QTest::newRow("pack missing") << withPacks([](PackedCharacter &p) { p.t.files.remove(QStringLiteral("packs/wave.lzma")); })
                                  << QStringLiteral("packs/wave.lzma is missing");
    QTest::newRow("picture packed twice")
        << withPacks([](PackedCharacter &p) {
               p.addPack(QStringLiteral("packs/again.lzma"), QByteArray("x"), {{QStringLiteral("frames/greet_1.png"), QSize(32, 32)}}, {});
           })
        << QStringLiteral("packed twice");
    QTest::newRow("packed picture larger than the frame")
        << withPacks([](PackedCharacter &p) {
               p.addPack(QStringLiteral("packs/big.lzma"), QByteArray("x"), {{QStringLiteral("frames/blink_0.png"), QSize(33, 32)}}, {});
           })
        << QStringLiteral("fit in the frame");
    QTest::newRow("packed whole picture not frame-sized")
        << withPacks([](PackedCharacter &p) {
               p.addPack(QStringLiteral("packs/small.lzma"), QByteArray("x"), {{QStringLiteral("frames/blink_0.png"), QSize(31, 32)}}, {});
           })
        << QStringLiteral("not 32x32");
    QTest::newRow("packed patch past the frame's edge")
        << withPacks([](PackedCharacter &p) {
               QJsonObject patches = p.t.manifest.value(QStringLiteral("patches")).toObject();
               patches.insert(QStringLiteral("frames/greet_2.png"), patchOver(QStringLiteral("frames/greet_1.png"), 30, 4));
               p.t.manifest.insert(QStringLiteral("patches"), patches);
           })
        << QStringLiteral("does not fit");
    QTest::newRow("pack unpacking to too much")
        << withPacks([](PackedCharacter &p) {
               // Forty pictures of 512x512 are 160 MiB at scale 2.
               QList<std::pair<QString, QSize>> many;
               for (int i = 0; i < 40; ++i)
                   many.append({QStringLiteral("frames/many_%1.png").arg(i), QSize(512, 512)});
               p.t.manifest.insert(QStringLiteral("width"), 512);
               p.t.manifest.insert(QStringLiteral("height"), 512);
               p.addPack(QStringLiteral("packs/many.lzma"), QByteArray("x"), many, {});
           })
        << QStringLiteral("unpacks to more than");
    QTest::newRow("dictionary is itself packed")
        << withPacks([](PackedCharacter &p) {
               p.addPack(QStringLiteral("packs/greet.lzma"), QByteArray("x"),
                         {{QStringLiteral("frames/greet_1.png"), QSize(32, 32)}}, QStringLiteral("frames/wave_0.png"));
           })
        << QStringLiteral("dictionary");
    QTest::newRow("packs not an object") << withPacks([](PackedCharacter &p) { p.t.manifest.insert(QStringLiteral("packs"), 3); })
                                         << QStringLiteral("packs");
    QTest::newRow("format from the future") << withManifest([](QJsonObject &m) { m.insert(QStringLiteral("format"), 4); })
                                            << QStringLiteral("format");
    QTest::newRow("mouth larger than the frame")
        << [] {
               TestCharacter t;
               t.files.insert(QStringLiteral("mouth/open.png"), test::png(test::paintFrame(40, 4, Qt::black)));
               t.manifest.insert(QStringLiteral("mouth"), QJsonObject{{QStringLiteral("x"), 1}, {QStringLiteral("y"), 1},
                                                                       {QStringLiteral("images"), QJsonObject{{QStringLiteral("open"), QStringLiteral("mouth/open.png")}}}});
               return t.build();
           }()
        << QStringLiteral("mouth/open.png");
    QTest::newRow("entry name with ..") << withFile(QStringLiteral("frames/../../evil.png"), QByteArray("x")) << QStringLiteral("not allowed");
    QTest::newRow("entry name with a backslash") << withFile(QStringLiteral("frames\\a.png"), QByteArray("x")) << QStringLiteral("not allowed");
    {
        // One entry claims nearly 4 GiB: refused from the directory, nothing is inflated.
        QByteArray z = withFile(QStringLiteral("padding.bin"), QByteArray(100, 'p'));
        QVERIFY(test::patchDeclaredSize(z, QStringLiteral("padding.bin"), 0xFFFFFF00u));
        QTest::newRow("huge declared size") << z << QStringLiteral("declares");
    }
    {
        QByteArray z = withFile(QStringLiteral("padding.bin"), QByteArray(100, 'p'));
        QVERIFY(test::patchDeclaredSize(z, QStringLiteral("padding.bin"), 100u * 1024 * 1024));
        QByteArray z2 = z;
        QTest::newRow("declared sizes over 128 MiB") << [&] {
            TestCharacter t;
            t.files.insert(QStringLiteral("padding1.bin"), QByteArray(100, 'p'));
            t.files.insert(QStringLiteral("padding2.bin"), QByteArray(100, 'p'));
            QByteArray b = t.build();
            test::patchDeclaredSize(b, QStringLiteral("padding1.bin"), 70u * 1024 * 1024);
            test::patchDeclaredSize(b, QStringLiteral("padding2.bin"), 70u * 1024 * 1024);
            return b;
        }() << QStringLiteral("128 MiB");
    }
    {
        // Field `at` of the manifest's local header (`local`) or directory record
        // (`central`) set to `value`: zip features a character file never uses.
        const auto patched = [](qsizetype local, qsizetype central, quint16 value) {
            QByteArray b = TestCharacter().build();
            const QByteArray name("manifest.json");
            for (qsizetype i = 0; i + 46 <= b.size(); ++i) {
                auto *p = reinterpret_cast<uchar *>(b.data() + i);
                const bool isLocal = p[0] == 'P' && p[1] == 'K' && p[2] == 3 && p[3] == 4;
                const bool isCentral = p[0] == 'P' && p[1] == 'K' && p[2] == 1 && p[3] == 2;
                if (isLocal && local >= 0 && b.mid(i + 30, name.size()) == name)
                    qToLittleEndian<quint16>(value, p + local);
                if (isCentral && central >= 0 && b.mid(i + 46, name.size()) == name)
                    qToLittleEndian<quint16>(value, p + central);
            }
            return b;
        };
        QTest::newRow("entry encrypted") << patched(6, 8, 1) << QStringLiteral("encrypted");
        QTest::newRow("entry compressed with bzip2") << patched(8, 10, 12) << QStringLiteral("method 12");
        QTest::newRow("local header disagrees") << patched(8, -1, 0) << QStringLiteral("does not match");
        QByteArray spanning = TestCharacter().build();
        qToLittleEndian<quint16>(1, spanning.data() + spanning.lastIndexOf("PK\x05\x06") + 4);
        QTest::newRow("archive spans disks") << spanning << QStringLiteral("disks");
    }
    {
        // A stored entry with one byte changed: the checksum catches it.
        TestCharacter t;
        t.stored.insert(QStringLiteral("frames/greet_0.png"), true);
        QByteArray b = t.build();
        const QByteArray marker = t.files.value(QStringLiteral("frames/greet_0.png")).mid(40, 16);
        const qsizetype at = b.indexOf(marker);
        QVERIFY(at > 0);
        b[at + 4] = char(b[at + 4] ^ 0x55);
        QTest::newRow("checksum wrong") << b << QStringLiteral("frames/greet_0.png");
    }
}

void TestCharacterFile::damagedFilesFail()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QString error;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!parseCharacterFile(bytes, &error));
    QVERIFY2(error.contains(reason, Qt::CaseInsensitive), qPrintable(error));
    QVERIFY2(clock.elapsed() < 5000, "a damaged file is refused quickly");
}

void TestCharacterFile::patchesRebuildTheirPictures_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("budget");
    QTest::addColumn<bool>("lazy");
    QTest::newRow("replace") << QStringLiteral("replace") << 1024 * 1024 << false;
    QTest::newRow("add") << QStringLiteral("add") << 1024 * 1024 << false;
    // A cache smaller than one picture still gives every picture right.
    QTest::newRow("add, tiny cache") << QStringLiteral("add") << 1 << false;
    QTest::newRow("add, read on demand, tiny cache") << QStringLiteral("add") << 1 << true;
}

void TestCharacterFile::patchesRebuildTheirPictures()
{
    QFETCH(QString, mode);
    QFETCH(int, budget);
    QFETCH(bool, lazy);
    // Greet 1 is the rest picture with a square changed; Greet 2 a patch over Greet 1.
    TestCharacter t;
    t.manifest.insert(QStringLiteral("format"), 2);
    QMap<QString, QImage> want;
    QJsonObject patches;
    for (int scale : {1, 2}) {
        const QString prefix = scale == 2 ? QStringLiteral("2x/") : QString();
        const QImage rest = test::paintFrame(32, 32, QColor(200, 30, 30, 180), scale);
        QImage one = rest.convertToFormat(QImage::Format_ARGB32);
        QImage two = one;
        const QRect r1(QPoint(5, 6) * scale, QSize(10, 7) * scale), r2(QPoint(20, 2) * scale, QSize(4, 12) * scale);
        for (int y = 0; y < one.height(); ++y) {
            for (int x = 0; x < one.width(); ++x) {
                if (r1.contains(x, y))
                    one.setPixelColor(x, y, QColor(x * 7 % 256, y * 11 % 256, 90, (x + y) * 5 % 256));
            }
        }
        two = one;
        for (int y = 0; y < two.height(); ++y) {
            for (int x = 0; x < two.width(); ++x) {
                if (r2.contains(x, y))
                    two.setPixelColor(x, y, QColor(0, 0, 0, 0));
            }
        }
        const bool add = mode == QLatin1String("add");
        t.files.insert(prefix + QStringLiteral("frames/restpose_0.png"), test::png(rest));
        t.files.insert(prefix + QStringLiteral("frames/greet_1.png"), test::png(add ? difference(rest, one, r1) : one.copy(r1)));
        t.files.insert(prefix + QStringLiteral("frames/greet_2.png"), test::png(add ? difference(one, two, r2) : two.copy(r2)));
        want.insert(prefix + QStringLiteral("greet_1"), one.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        want.insert(prefix + QStringLiteral("greet_2"), two.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    patches.insert(QStringLiteral("frames/greet_1.png"), patchOver(QStringLiteral("frames/restpose_0.png"), 5, 6, mode));
    patches.insert(QStringLiteral("frames/greet_2.png"), patchOver(QStringLiteral("frames/greet_1.png"), 20, 2, mode));
    t.manifest.insert(QStringLiteral("patches"), patches);

    QString error;
    ParseOptions options;
    options.lazy = lazy;
    const auto c = parseCharacterFile(t.build(), &error, options);
    QVERIFY2(c, qPrintable(error));
    c->store->setBudget(budget);
    const Animation &greet = c->animations.at(c->findAnimation(QStringLiteral("Greet")));
    // Twice through: decoded afresh, then from the cache (or afresh again, when it holds nothing).
    for (int round = 0; round < 2; ++round) {
        for (int i : {1, 2}) {
            const FrameImage &f = c->images.at(greet.frames.at(i).image);
            QCOMPARE(f.size(), QSize(32, 32));
            QVERIFY(f.has2x());
            QImage one = f.image(), two = f.image2x();
            QCOMPARE(one, want.value(QStringLiteral("greet_%1").arg(i)));
            QCOMPARE(two.devicePixelRatio(), 2.0);
            two.setDevicePixelRatio(1.0);
            QCOMPARE(two, want.value(QStringLiteral("2x/greet_%1").arg(i)));
        }
    }
    QVERIFY(c->store->cachedBytes() <= std::max<qint64>(budget, 2 * 64 * 64 * 4));
}

void TestCharacterFile::packedPicturesRebuild_data()
{
    QTest::addColumn<bool>("dictionary");
    QTest::addColumn<bool>("lazy");
    QTest::addColumn<int>("budget");
    QTest::addColumn<QString>("without"); // an entry left out: the greeting shows at 1x only
    QTest::newRow("no dictionary") << false << false << 1024 * 1024 << QString();
    QTest::newRow("dictionary") << true << false << 1024 * 1024 << QString();
    QTest::newRow("dictionary, read on demand") << true << true << 1024 * 1024 << QString();
    // Nothing cached: every picture comes from a pack unpacked again, in turns.
    QTest::newRow("dictionary, read on demand, tiny cache") << true << true << 1 << QString();
    QTest::newRow("no 2x twin") << true << false << 1024 * 1024 << QStringLiteral("2x/packs/greet.lzma");
    QTest::newRow("no 2x twin, read on demand") << true << true << 1 << QStringLiteral("2x/packs/greet.lzma");
    QTest::newRow("no 2x dictionary") << true << true << 1024 * 1024 << QStringLiteral("2x/frames/restpose_0.png");
}

void TestCharacterFile::packedPicturesRebuild()
{
    QFETCH(bool, dictionary);
    QFETCH(bool, lazy);
    QFETCH(int, budget);
    QFETCH(QString, without);
    PackedCharacter p(dictionary);
    p.t.files.remove(without);
    QString error;
    ParseOptions options;
    options.lazy = lazy;
    const auto c = parseCharacterFile(p.t.build(), &error, options);
    QVERIFY2(c, qPrintable(error));
    c->store->setBudget(budget);
    const int greet = c->findAnimation(QStringLiteral("Greet")), wave = c->findAnimation(QStringLiteral("Wave"));
    const QList<std::pair<QString, int>> pictures{{QStringLiteral("greet_1"), c->animations.at(greet).frames.at(1).image},
                                                  {QStringLiteral("wave_0"), c->animations.at(wave).frames.at(0).image},
                                                  {QStringLiteral("greet_2"), c->animations.at(greet).frames.at(2).image}};
    for (int round = 0; round < 2; ++round) {
        for (const auto &[name, index] : pictures) {
            const FrameImage &f = c->images.at(index);
            QCOMPARE(f.size(), QSize(32, 32));
            QCOMPARE(f.image(), p.want.value(name));
            // Without the 2x dictionary no 2x pack unpacks; without a twin, only its own pictures lack 2x.
            const bool twoWanted = without.isEmpty() || (without.contains(QLatin1String("packs/")) && name == QLatin1String("wave_0"));
            QCOMPARE(f.has2x(), twoWanted);
            if (!twoWanted)
                continue;
            QImage two = f.image2x();
            QCOMPARE(two.devicePixelRatio(), 2.0);
            two.setDevicePixelRatio(1.0);
            QCOMPARE(two, p.want.value(QStringLiteral("2x/") + name));
        }
    }

    // Without HiDPI the packed pictures offer no 2x either.
    ParseOptions lowDpi = options;
    lowDpi.hiDpi = false;
    const auto low = parseCharacterFile(p.t.build(), &error, lowDpi);
    QVERIFY2(low, qPrintable(error));
    QVERIFY(!low->images.at(pictures.first().second).has2x());
    QCOMPARE(low->images.at(pictures.first().second).image(), p.want.value(QStringLiteral("greet_1")));
}

void TestCharacterFile::damagedPackFailsOnlyItsPictures_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("cut short") << 0;
    QTest::newRow("garbled") << 1;
    // More than the list says: unpacking stops at the listed size, nothing larger is allocated.
    QTest::newRow("longer than its list") << 2;
    QTest::newRow("shorter than its list") << 3;
    QTest::newRow("empty") << 4;
}

void TestCharacterFile::damagedPackFailsOnlyItsPictures()
{
    QFETCH(int, damage);
    for (bool lazy : {false, true}) {
        PackedCharacter p(true);
        // The greeting's pack is damaged alike at both scales.
        for (int i : {0, 1}) {
            const QString name = (i ? QStringLiteral("2x/") : QString()) + QStringLiteral("packs/greet.lzma");
            QByteArray pack = p.t.files.value(name);
            const QByteArray &raw = p.greetRaw[i];
            switch (damage) {
            case 0: pack = pack.left(pack.size() / 2); break;
            case 1:
                for (qsizetype at = 8; at < pack.size(); at += 7)
                    pack[at] = char(pack[at] ^ 0x5a);
                break;
            case 2: pack = test::lzmaPack(raw + QByteArray(64 * 1024 * 1024, 'x'), p.dictionary[i]); break;
            case 3: pack = test::lzmaPack(raw.left(raw.size() - 4), p.dictionary[i]); break;
            default: pack.clear();
            }
            p.t.files.insert(name, pack);
        }
        QString error;
        ParseOptions options;
        options.lazy = lazy;
        const auto c = parseCharacterFile(p.t.build(), &error, options);
        QVERIFY2(c, qPrintable(error));
        const int greet = c->findAnimation(QStringLiteral("Greet")), wave = c->findAnimation(QStringLiteral("Wave"));
        QVERIFY(c->images.at(c->animations.at(greet).frames.at(1).image).image().isNull());
        QVERIFY(c->images.at(c->animations.at(greet).frames.at(2).image).image2x().isNull());
        // The other pack, and the pictures stored on their own, still show.
        QCOMPARE(c->images.at(c->animations.at(wave).frames.at(0).image).image(), p.want.value(QStringLiteral("wave_0")));
        QVERIFY(!c->images.at(c->animations.at(greet).frames.at(0).image).image().isNull());
    }
}

void TestCharacterFile::fileChangedAfterLoading_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<bool>("picturesStay");
    // Saved over by rename, as the character change does: the open file is the old one still.
    QTest::newRow("another file saved in its place") << false << true;
    // Cut short in place: the pictures not yet read are lost, and nothing worse.
    QTest::newRow("cut short in place") << true << false;
}

void TestCharacterFile::fileChangedAfterLoading()
{
    QFETCH(bool, inPlace);
    QFETCH(bool, picturesStay);
    QTemporaryDir dir;
    const QString path = TestCharacter().write(dir.path(), QStringLiteral("c.acs"));
    ParseOptions options;
    options.lazy = true;
    QString error;
    const auto c = loadCharacterFile(path, &error, options);
    QVERIFY2(c, qPrintable(error));
    const FrameImage &wave = c->images.at(c->animations.at(c->findAnimation(QStringLiteral("Wave"))).frames.at(1).image);
    if (inPlace) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(100));
    } else {
        QSaveFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(TestCharacter(16).build());
        QVERIFY(f.commit());
    }
    QCOMPARE(!wave.image().isNull(), picturesStay);
    if (picturesStay)
        QCOMPARE(wave.image().size(), QSize(32, 32));
}

void TestCharacterFile::brokenPictureFailsOnlyItsAnimation_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("lazy");
    QByteArray p = test::png(test::paintFrame(32, 32, Qt::red));
    p.truncate(p.size() - 30);
    QTest::newRow("cut short") << withFile(QStringLiteral("frames/greet_0.png"), p) << false;
    QTest::newRow("cut short, read on demand") << withFile(QStringLiteral("frames/greet_0.png"), p) << true;
    // Read on demand, a wrong checksum is found only when the picture is read.
    TestCharacter t;
    t.stored.insert(QStringLiteral("frames/greet_0.png"), true);
    QByteArray b = t.build();
    const qsizetype at = b.indexOf(t.files.value(QStringLiteral("frames/greet_0.png")).mid(40, 16));
    QVERIFY(at > 0);
    b[at + 4] = char(b[at + 4] ^ 0x55);
    QTest::newRow("checksum wrong, read on demand") << b << true;
}

void TestCharacterFile::brokenPictureFailsOnlyItsAnimation()
{
    // Greet's first picture is damaged: the file loads, the picture is null and
    // known to be broken, and the other animations are untouched.
    QFETCH(QByteArray, bytes);
    QFETCH(bool, lazy);
    ParseOptions options;
    options.lazy = lazy;
    QString error;
    const auto c = parseCharacterFile(bytes, &error, options);
    QVERIFY2(c, qPrintable(error));
    const int broken = c->animations.at(c->findAnimation(QStringLiteral("Greet"))).frames.at(0).image;
    const int fine = c->animations.at(c->findAnimation(QStringLiteral("Wave"))).frames.at(0).image;
    QVERIFY(!c->store->isBroken(broken));
    QVERIFY(c->images.at(broken).image().isNull());
    QVERIFY(c->store->isBroken(broken));
    QVERIFY(!c->images.at(fine).image().isNull());
    QVERIFY(!c->store->isBroken(fine));
}

void TestCharacterFile::zipBombStopsAtTheDeclaredSize()
{
    // 64 MiB of zeros deflate to a few dozen KiB; the directory says 1000 bytes.
    TestCharacter t;
    t.files.insert(QStringLiteral("frames/greet_0.png"), QByteArray(64 * 1024 * 1024, '\0'));
    QByteArray bomb = t.build();
    QVERIFY(bomb.size() < 1024 * 1024);
    QVERIFY(test::patchDeclaredSize(bomb, QStringLiteral("frames/greet_0.png"), 1000));
    QString error;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!parseCharacterFile(bomb, &error));
    QVERIFY2(error.contains(QStringLiteral("frames/greet_0.png")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("more than the declared")) || error.contains(QStringLiteral("damaged")),
             qPrintable(error));
    QVERIFY(clock.elapsed() < 2000);

    // The same trick on the manifest.
    TestCharacter m;
    m.manifest.insert(QStringLiteral("padding"), QString(512 * 1024, QLatin1Char(' ')));
    QByteArray bomb2 = m.build();
    QVERIFY(test::patchDeclaredSize(bomb2, QStringLiteral("manifest.json"), 100));
    error.clear();
    QVERIFY(!parseCharacterFile(bomb2, &error));
    QVERIFY2(error.contains(QStringLiteral("manifest.json")), qPrintable(error));
}

void TestCharacterFile::tooManyEntries()
{
    TestCharacter t;
    for (int i = 0; i < 8192; ++i)
        t.files.insert(QStringLiteral("x/%1").arg(i), QByteArray());
    QString error;
    QVERIFY(!parseCharacterFile(t.build(), &error));
    QVERIFY2(error.contains(QStringLiteral("8192")), qPrintable(error));
}

void TestCharacterFile::truncatedAtEveryLength()
{
    // Every cut of a small file fails cleanly (the fuzzer goes further).
    const QByteArray good = TestCharacter(16).build();
    for (qsizetype n = 0; n < good.size(); n += qMax<qsizetype>(1, good.size() / 300)) {
        QString error;
        QVERIFY(!parseCharacterFile(good.left(n), &error));
        QVERIFY(!error.isEmpty());
    }
}

void TestCharacterFile::largeCharacterLoadsWithoutDecoding()
{
    // About what the shipped characters hold: 128 px, ~150 frames, with 2x images.
    TestCharacter t(128, 100);
    for (int a = 0; a < 14; ++a)
        t.addAnimation(QStringLiteral("Gesture%1").arg(a), 9, 100, QColor::fromHsv(a * 25, 200, 200));
    for (auto it = t.files.begin(); it != t.files.end(); ++it) {
        if (it.key().startsWith(QLatin1String("frames/")))
            t.files.insert(QStringLiteral("2x/") + it.key(), test::png(test::paintFrame(128, 128, Qt::blue, 2.0)));
    }
    const QByteArray bytes = t.build();
    QString error;
    QElapsedTimer clock;
    clock.start();
    const auto c = parseCharacterFile(bytes, &error);
    const qint64 ms = clock.elapsed();
    QVERIFY2(c, qPrintable(error));
    QVERIFY(c->images.size() >= 140);
    // Only the picture shown first is decoded; the rest waits until it is played.
    QCOMPARE(c->store->decodes(), 1);
    qInfo("a 128 px character of %d frames loads in %lld ms", int(c->images.size()), static_cast<long long>(ms));
}

void TestCharacterFile::fuzzSeedsParse()
{
    // The fuzzer's seeds: small valid characters that reach every part of the parser.
    // With CHIMEWELL_FUZZ_SEEDS set to a folder they are written there.
    QMap<QString, QByteArray> seeds;
    seeds.insert(QStringLiteral("plain.acs"), TestCharacter(16).build());
    TestCharacter rich(16);
    rich.files.insert(QStringLiteral("2x/frames/greet_0.png"), test::png(test::paintFrame(16, 16, Qt::red, 2.0)));
    rich.files.insert(QStringLiteral("mouth/open.png"), test::png(test::paintFrame(4, 2, Qt::black)));
    rich.files.insert(QStringLiteral("sounds/s.wav"), test::wav(5, 8000, 8, 1));
    rich.manifest.insert(QStringLiteral("mouth"), QJsonObject{{QStringLiteral("x"), 6}, {QStringLiteral("y"), 10},
                                                              {QStringLiteral("images"), QJsonObject{{QStringLiteral("open"), QStringLiteral("mouth/open.png")}}}});
    QJsonObject a = animation(rich, QStringLiteral("Greet"));
    QJsonArray frames = a.value(QStringLiteral("frames")).toArray();
    frames.replace(0, QJsonObject{{QStringLiteral("image"), QStringLiteral("frames/greet_0.png")}, {QStringLiteral("duration"), 50},
                                  {QStringLiteral("sound"), QStringLiteral("sounds/s.wav")}, {QStringLiteral("exit"), 2},
                                  {QStringLiteral("mouth"), true},
                                  {QStringLiteral("branches"), QJsonArray{QJsonObject{{QStringLiteral("frame"), 1}, {QStringLiteral("probability"), 40}}}}});
    a.insert(QStringLiteral("frames"), frames);
    setAnimation(rich, QStringLiteral("Greet"), a);
    rich.stored.insert(QStringLiteral("frames/restpose_0.png"), true);
    seeds.insert(QStringLiteral("rich.acs"), rich.build());
    seeds.insert(QStringLiteral("packed.acs"), PackedCharacter(true).t.build());

    const QString folder = qEnvironmentVariable("CHIMEWELL_FUZZ_SEEDS");
    for (auto it = seeds.begin(); it != seeds.end(); ++it) {
        QString error;
        const auto c = parseCharacterFile(it.value(), &error);
        QVERIFY2(c, qPrintable(it.key() + QStringLiteral(": ") + error));
        QVERIFY(it.value().size() < 16 * 1024);
        if (!folder.isEmpty()) {
            QFile f(folder + QLatin1Char('/') + it.key());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(it.value());
        }
    }
}

QTEST_MAIN(TestCharacterFile)
#include "tst_characterfile.moc"
