// Genuine version 2 Agent characters: the decompressor, the reader and how a
// loaded one maps onto our CharacterData. Files are made by acsv2writer.
#include "agent/acsv2reader.h"
#include "agent/agent.h"
#include "agent/characterfile.h"
#include "acsbuilder.h"
#include "acsv2writer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>

using namespace chimewell::agent;
namespace voice = chimewell::voice;
namespace w = chimewell::agent::test::acsv2;

namespace {

QByteArray pattern(int size, int period, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray unit(period, '\0');
    for (char &c : unit)
        c = char(rng.bounded(256));
    QByteArray out;
    while (out.size() < size)
        out.append(unit);
    out.truncate(size);
    return out;
}

std::optional<QByteArray> inflate(const QByteArray &packed, qint64 expected, QString *why = nullptr)
{
    QString ignored;
    return acsv2::decompress(reinterpret_cast<const uchar *>(packed.constData()), packed.size(), expected,
                             why ? why : &ignored);
}

// Pictures with a border, a diagonal and transparent holes, so that a row
// upside down, a shifted offset or a lost transparent index all show.
w::ImageDef picture(int width, int height, int colour, bool compressed)
{
    w::ImageDef img;
    img.width = width;
    img.height = height;
    img.compressed = compressed;
    img.pixels.resize(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int v = colour;
            if (x == 0 || y == 0 || x == width - 1 || y == height - 1)
                v = 1;
            else if (x == y)
                v = colour + 1;
            else if ((x + 2 * y) % 7 == 0)
                v = 0; // transparent
            img.pixels[y * width + x] = char(v);
        }
    return img;
}

// A small character with every feature the reader maps.
w::CharacterDef sample()
{
    w::CharacterDef d;
    d.width = 40;
    d.height = 36;
    d.transparent = 0;
    for (int i = 0; i < 16; ++i)
        d.palette.append(qRgb(i * 16, 255 - i * 8, (i * 37) & 0xFF));
    d.names = {{0x0407, QStringLiteral("Kasper"), QStringLiteral("Ein Junge")},
               {0x0409, QStringLiteral("Casper"), QStringLiteral("A boy")}};
    d.images = {picture(40, 36, 3, true), picture(13, 9, 6, false), picture(17, 11, 9, true), picture(5, 3, 12, true),
                picture(5, 4, 13, false)};
    d.sounds = {test::wav(20, 8000, 8, 1)};
    w::AnimationDef rest{QStringLiteral("RestPose"), 2, {}, {}};
    rest.frames = {{{{0, 0, 0}}, -1, 20, -1, {}, {}}};
    w::AnimationDef greet{QStringLiteral("Greet"), 0, QStringLiteral("restpose"), {}};
    greet.frames = {
        {{{1, 5, 7}, {0, 0, 0}}, 0, 15, 3, {}, {}},
        {{{2, -4, 30}, {1, 30, -2}, {0, 0, 0}}, -1, 7, -1, {{0, 30}, {2, 25}}, {}},
        {{}, -1, 1000, -1, {}, {}},
        {{{0, 0, 0}}, 0, 3, -1, {{1, 100}}, {}},
    };
    w::AnimationDef speak{QStringLiteral("Speak"), 1, {}, {}};
    speak.frames = {{{{0, 0, 0}}, -1, 12, 0, {}, {{0, 3, 10, 20}, {5, 4, 10, 20}}},
                    {{{0, 0, 0}}, -1, 12, -1, {}, {{6, 3, 11, 21}}}};
    d.animations = {rest, greet, speak};
    d.states = {{QStringLiteral("Speaking"), {QStringLiteral("Speak")}},
                {QStringLiteral("IdlingLevel1"), {QStringLiteral("GREET")}},
                {QStringLiteral("Listening"), {QStringLiteral("Greet")}}};
    return d;
}

// What a frame shows, composed here independently of the reader.
QImage expectedFrame(const w::CharacterDef &d, const QList<w::Placed> &images)
{
    QImage out(d.width, d.height, QImage::Format_ARGB32_Premultiplied);
    out.fill(0);
    for (int i = int(images.size()) - 1; i >= 0; --i) {
        const w::Placed &p = images.at(i);
        const w::ImageDef &img = d.images.at(p.image);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const int v = uchar(img.pixels.at(y * img.width + x));
                const QPoint at(p.x + x, p.y + y);
                if (v != d.transparent && out.rect().contains(at))
                    out.setPixel(at, d.palette.at(v));
            }
    }
    return out;
}

} // namespace

class TestAcsV2 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decompressRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<int>("maxPacked"); // proves back references were used
        QTest::newRow("empty") << QByteArray() << 16;
        QTest::newRow("one byte") << QByteArray("x") << 16;
        QTest::newRow("zeros, runs past 2048") << QByteArray(40000, '\0') << 200;
        QTest::newRow("noise") << pattern(3000, 3000, 1) << 3500;
        QTest::newRow("6-bit offsets") << pattern(5000, 50, 2) << 600;
        QTest::newRow("9-bit offsets") << pattern(9000, 300, 3) << 1200;
        QTest::newRow("12-bit offsets") << pattern(20000, 3000, 4) << 4500;
        QTest::newRow("20-bit offsets") << pattern(60000, 20000, 5) << 24000;
    }
    void decompressRoundTrip()
    {
        QFETCH(QByteArray, raw);
        QFETCH(int, maxPacked);
        const QByteArray packed = w::compress(raw);
        QVERIFY2(packed.size() <= maxPacked, qPrintable(QString::number(packed.size())));
        QString why;
        const auto out = inflate(packed, raw.size(), &why);
        QVERIFY2(out, qPrintable(why));
        QCOMPARE(*out, raw);
    }

    // Damaged or hostile streams fail, quickly, and never write past the picture.
    void decompressRefuses_data()
    {
        QTest::addColumn<QByteArray>("packed");
        QTest::addColumn<qint64>("expected");
        const QByteArray good = w::compress(pattern(4000, 70, 9));
        QTest::newRow("nothing") << QByteArray() << qint64(10);
        QTest::newRow("no leading zero") << QByteArray("\x01\x00\xFF\xFF\xFF\xFF\xFF\xFF", 8) << qint64(1);
        QTest::newRow("cut short") << good.left(good.size() / 2) << qint64(4000);
        QTest::newRow("no end mark") << good.left(good.size() - 7) << qint64(4000);
        QTest::newRow("more than declared") << good << qint64(3999);
        QTest::newRow("less than declared") << good << qint64(4001);
        QTest::newRow("absurd size") << good << (qint64(1) << 40);
        {
            w::BitWriter b;
            b.literal('a');
            b.match(2, 5);
            QTest::newRow("refers before the start") << b.finish() << qint64(6);
        }
        {
            w::BitWriter b;
            b.literal('a');
            b.put(1, 1);
            b.put(0, 1);
            b.put(0, 6);
            b.put(0xFFF, 12); // twelve ones: no such length
            b.put(0, 13);
            QTest::newRow("endless length") << b.finish() << qint64(100000);
        }
        {
            w::BitWriter b;
            b.literal('a');
            b.match(1, 4000);
            QTest::newRow("run past the picture") << b.finish() << qint64(100);
        }
        QByteArray ones(100000, char(0xFF));
        ones[0] = 0;
        QTest::newRow("all ones") << ones << qint64(1000);
        QRandomGenerator rng(7);
        for (int i = 0; i < 8; ++i) {
            QByteArray noise(2000, '\0');
            for (int k = 1; k < noise.size(); ++k)
                noise[k] = char(rng.bounded(256));
            QTest::newRow(qPrintable(QStringLiteral("noise %1").arg(i))) << noise << qint64(1 << 20);
        }
    }
    void decompressRefuses()
    {
        QFETCH(QByteArray, packed);
        QFETCH(qint64, expected);
        QElapsedTimer timer;
        timer.start();
        QString why;
        QVERIFY(!inflate(packed, expected, &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(timer.elapsed() < 2000);
    }

    // A written character reads back: every frame pixel-exact, every timing,
    // branch, sound, state and mouth as written; from memory and from a file.
    void roundTrip_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("memory") << false;
        QTest::newRow("file, read lazily") << true;
    }
    void roundTrip()
    {
        QFETCH(bool, fromFile);
        const w::CharacterDef d = sample();
        const QByteArray bytes = w::write(d);
        QString error;
        std::optional<CharacterData> c;
        QTemporaryDir dir;
        if (fromFile) {
            const QString path = dir.filePath(QStringLiteral("casper.acs"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            f.close();
            ParseOptions options;
            options.lazy = true;
            c = loadCharacterFile(path, &error, options);
        } else {
            c = parseCharacterFile(bytes, &error);
        }
        QVERIFY2(c, qPrintable(error));
        QCOMPARE(c->name, QStringLiteral("Casper"));
        QCOMPARE(c->description, QStringLiteral("A boy"));
        QCOMPARE(c->width, 40);
        QCOMPARE(c->height, 36);
        QCOMPARE(c->voice.rate, 150);
        QCOMPARE(c->voice.variant, QStringLiteral("f3"));
        QCOMPARE(c->animations.size(), d.animations.size());

        for (const w::AnimationDef &wa : d.animations) {
            const int ai = c->findAnimation(wa.name.toUpper());
            QVERIFY2(ai >= 0, qPrintable(wa.name));
            const Animation &a = c->animations.at(ai);
            QCOMPARE(a.name, wa.name);
            QCOMPARE(a.frames.size(), wa.frames.size());
            QCOMPARE(a.returnAnimation, wa.returnName.isEmpty() ? -1 : c->findAnimation(wa.returnName));
            for (int fi = 0; fi < wa.frames.size(); ++fi) {
                const w::FrameDef &wf = wa.frames.at(fi);
                const Frame &f = a.frames.at(fi);
                const QString where = wa.name + QStringLiteral(" frame %1").arg(fi);
                QCOMPARE(f.duration, wf.duration * 10);
                QCOMPARE(f.exit, wf.exit);
                QCOMPARE(f.branches.size(), wf.branches.size());
                for (int b = 0; b < wf.branches.size(); ++b) {
                    QCOMPARE(f.branches.at(b).frame, wf.branches.at(b).first);
                    QCOMPARE(f.branches.at(b).probability, wf.branches.at(b).second);
                }
                QCOMPARE(f.sound >= 0, wf.sound >= 0);
                QCOMPARE(f.mouth, !wf.mouths.isEmpty());
                const QImage got = c->images.at(f.image).image().convertToFormat(QImage::Format_ARGB32_Premultiplied);
                QVERIFY2(got == expectedFrame(d, wf.images), qPrintable(where));
            }
        }
        // One sound, shared by the frames that name it, as PCM.
        QCOMPARE(c->sounds.size(), 1);
        Sound wav;
        QString why;
        QVERIFY(parseWaveSound(d.sounds.at(0), &wav, &why));
        QCOMPARE(c->sounds.at(0).pcm, wav.pcm);
        QCOMPARE(c->sounds.at(0).sampleRate, 8000);

        // Genuine state names map onto ours; states we have no use for are left out.
        const auto names = [&](State s) {
            QStringList out;
            for (int a : c->states[int(s)])
                out.append(c->animations.at(a).name);
            return out;
        };
        QCOMPARE(names(State::Speaking), QStringList{QStringLiteral("Speak")});
        QCOMPARE(names(State::Idling), QStringList{QStringLiteral("Greet")});
        QCOMPARE(names(State::Rest), QStringList{QStringLiteral("RestPose")});

        // Mouths: frame-sized, drawn at the frame's corner, each shape where the file puts it.
        QVERIFY(c->hasMouth);
        QCOMPARE(c->mouthPos, QPoint(0, 0));
        const auto mouth = [&](voice::Mouth m) { return c->mouth[int(m)].image().convertToFormat(QImage::Format_ARGB32_Premultiplied); };
        QCOMPARE(mouth(voice::Mouth::Closed), expectedFrame(d, {{3, 10, 20}}));
        QCOMPARE(mouth(voice::Mouth::Open), expectedFrame(d, {{4, 10, 20}}));
        QCOMPARE(mouth(voice::Mouth::Round), expectedFrame(d, {{3, 11, 21}}));
        // Shapes the file lacks fall back to the open one.
        QCOMPARE(mouth(voice::Mouth::Wide), expectedFrame(d, {{4, 10, 20}}));

        // Pictures are crisp: fully opaque or fully transparent, nothing between.
        const QImage first = c->images.at(c->animations.at(0).frames.at(0).image).image();
        for (int y = 0; y < first.height(); ++y)
            for (int x = 0; x < first.width(); ++x)
                QVERIFY(qAlpha(first.pixel(x, y)) == 0 || qAlpha(first.pixel(x, y)) == 255);
    }

    // The user's language wins, then English, then the first the file lists.
    void names_data()
    {
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<QList<quint16>>("languages");
        QTest::addColumn<QString>("expected");
        QTest::newRow("German user") << QLocale::German << QList<quint16>{0x0407, 0x0409} << QStringLiteral("n0407");
        QTest::newRow("French user, English there") << QLocale::French << QList<quint16>{0x0407, 0x0809} << QStringLiteral("n0809");
        QTest::newRow("no English") << QLocale::French << QList<quint16>{0x0413, 0x0407} << QStringLiteral("n0413");
    }
    void names()
    {
        QFETCH(QLocale::Language, language);
        QFETCH(QList<quint16>, languages);
        QFETCH(QString, expected);
        w::CharacterDef d = sample();
        d.names.clear();
        for (quint16 l : languages)
            d.names.append({l, QStringLiteral("n%1").arg(l, 4, 16, QLatin1Char('0')), QString()});
        const QLocale saved;
        QLocale::setDefault(QLocale(language));
        QString error;
        const auto c = parseCharacterFile(w::write(d), &error);
        QLocale::setDefault(saved);
        QVERIFY2(c, qPrintable(error));
        QCOMPARE(c->name, expected);
    }

    // Other kinds of file and damaged ones fail with a reason, never a crash.
    void refuses_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray good = w::write(sample());
        QTest::newRow("version 1.5") << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0\0\0", 12) << QStringLiteral("version 1.5");
        QTest::newRow("web character") << QByteArray("\xC4\xAB\xCD\xAB\0\0\0\0", 8) << QStringLiteral(".acf");
        QTest::newRow("signature only") << good.left(4) << QStringLiteral("header");
        QTest::newRow("cut in the header") << good.left(20) << QStringLiteral("header");
        QTest::newRow("cut short") << good.left(good.size() - 100) << QStringLiteral("outside the file");
        w::CharacterDef tiny = sample();
        tiny.width = 8;
        QTest::newRow("frame too small") << w::write(tiny) << QStringLiteral("frame size");
        w::CharacterDef noImage = sample();
        noImage.animations[1].frames[0].images[0].image = 99;
        QTest::newRow("missing picture") << w::write(noImage) << QStringLiteral("picture is missing");
        w::CharacterDef broken = sample();
        // The stream holds a row less than the picture needs.
        broken.images[0].data = w::compress(QByteArray(40 * 35, '\3'));
        QTest::newRow("picture short") << w::write(broken) << QStringLiteral("picture is missing or damaged");
        w::CharacterDef palette = sample();
        palette.palette.resize(300);
        QTest::newRow("palette too big") << w::write(palette) << QStringLiteral("palette");
        // Small files that would take unbounded work: big pictures laid again and again.
        w::CharacterDef heavy = sample();
        heavy.width = heavy.height = 512;
        heavy.images = {picture(512, 512, 3, true)};
        w::AnimationDef many{QStringLiteral("Many"), 2, {}, {}};
        for (int f = 0; f < 256; ++f) {
            w::FrameDef frame;
            for (int k = 0; k < 64; ++k)
                frame.images.append({0, f, k});
            many.frames.append(frame);
        }
        heavy.animations = {many};
        QTest::newRow("pixels laid without end") << w::write(heavy) << QStringLiteral("256 Mi pixels");
        w::CharacterDef wide = sample();
        wide.images.clear();
        w::AnimationDef all{QStringLiteral("All"), 2, {}, {}};
        for (int i = 0; i < 100; ++i) {
            w::ImageDef img;
            img.width = img.height = 1024;
            img.data = w::compress(QByteArray(1024 * 1024, '\5'));
            wide.images.append(img);
            all.frames.append(w::FrameDef{{{i, 0, 0}}, -1, 10, -1, {}, {}});
        }
        wide.animations = {all};
        QTest::newRow("pictures past 64 MiB") << w::write(wide) << QStringLiteral("64 MiB decoded");
        // Many sound entries, all the same 3 MiB sound.
        w::CharacterDef loud = sample();
        loud.sounds = {test::wav(190000, 8000, 16, 1)};
        w::AnimationDef noisy{QStringLiteral("Noisy"), 2, {}, {}};
        for (int i = 0; i < 40; ++i)
            noisy.frames.append(w::FrameDef{{{0, 0, 0}}, i, 10, -1, {}, {}});
        loud.animations.append(noisy);
        QByteArray loudBytes = w::write(loud);
        {
            const qint64 listAt = qFromLittleEndian<quint32>(loudBytes.constData() + 28);
            const QByteArray entry = loudBytes.mid(listAt + 4, 12);
            QByteArray list;
            list.append("\x28\0\0\0", 4); // forty entries
            for (quint32 i = 0; i < 40; ++i)
                list.append(entry);
            const quint32 at = quint32(loudBytes.size()), size = quint32(list.size());
            loudBytes.append(list);
            qToLittleEndian<quint32>(at, loudBytes.data() + 28);
            qToLittleEndian<quint32>(size, loudBytes.data() + 32);
        }
        QTest::newRow("sounds past 64 MiB") << loudBytes << QStringLiteral("sounds take more");
    }
    void refuses()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QString error;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!parseCharacterFile(bytes, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY(timer.elapsed() < 10000);
    }

    // Every cut and every flipped byte of a small file is refused or read, within bounds.
    void damageAnywhere()
    {
        w::CharacterDef d = sample();
        const QByteArray good = w::write(d);
        QRandomGenerator rng(11);
        QElapsedTimer timer;
        timer.start();
        for (int cut = 0; cut < good.size(); cut += 7) {
            QString error;
            QVERIFY(!parseCharacterFile(good.left(cut), &error));
        }
        for (int i = 0; i < 400; ++i) {
            QByteArray bad = good;
            for (int k = 0; k < 4; ++k)
                bad[4 + rng.bounded(bad.size() - 4)] = char(rng.bounded(256));
            QString error;
            const auto c = parseCharacterFile(bad, &error);
            QVERIFY(c || !error.isEmpty());
        }
        QVERIFY(timer.elapsed() < 60000);
    }

    // A character of the usual size (200 frames of 128x128 in 256 colours, most of
    // them two pictures laid together) loads in bounded time, and every frame
    // decodes. With CHIMEWELL_ACSV2_LARGE=<file> it is also written there, for the figures.
    void usualSize()
    {
        w::CharacterDef d;
        d.width = d.height = 128;
        d.transparent = 255;
        for (int i = 0; i < 256; ++i)
            d.palette.append(qRgb(i, (i * 7) & 0xFF, 255 - i));
        d.names = {{0x0409, QStringLiteral("Large"), QString()}};
        QRandomGenerator rng(3);
        for (int i = 0; i < 200; ++i) {
            w::ImageDef img;
            const bool part = i % 2;
            img.width = part ? 48 : 128;
            img.height = part ? 40 : 128;
            img.pixels.resize(img.width * img.height);
            const int cx = img.width / 2 + int(rng.bounded(9)) - 4;
            for (int y = 0; y < img.height; ++y)
                for (int x = 0; x < img.width; ++x) {
                    const int dx = x - cx, dy = y - img.height / 2;
                    const int r2 = dx * dx + dy * dy;
                    const int rim = img.width * img.width / 5;
                    img.pixels[y * img.width + x] = char(r2 > rim ? 255 : (r2 * 200 / (rim + 1) + i) % 255);
                }
            d.images.append(img);
        }
        w::AnimationDef a{QStringLiteral("RestPose"), 2, {}, {}};
        for (int f = 0; f < 200; ++f) {
            w::FrameDef frame;
            frame.images = {{(f / 2) * 2 + 1, 40, 30}, {(f / 2) * 2, 0, 0}};
            if (f % 2)
                frame.images.removeFirst();
            frame.duration = 10;
            a.frames.append(frame);
        }
        d.animations = {a};
        const QByteArray bytes = w::write(d);
        QElapsedTimer timer;
        timer.start();
        QString error;
        const auto c = parseCharacterFile(bytes, &error);
        QVERIFY2(c, qPrintable(error));
        QVERIFY(timer.elapsed() < 20000);
        QCOMPARE(c->animations.at(0).frames.size(), 200);
        for (const Frame &f : c->animations.at(0).frames)
            QVERIFY(!c->images.at(f.image).image().isNull());
        const QString path = qEnvironmentVariable("CHIMEWELL_ACSV2_LARGE");
        if (!path.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
    }

    // Through the service: a genuine character shows, plays by any case, speaks
    // with its mouth and hides like one of ours.
    void performs()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support|PulseAudioService|pa_context|QAudio|ALSA).*")));
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
        w::CharacterDef d = sample();
        d.animations[1].frames[2].duration = 5;
        d.animations[1].frames[3].branches.clear();
        const QString path = home.filePath(QStringLiteral("casper.acs"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(w::write(d));
        f.close();
        AgentControl control;
        QVERIFY(control.characters().load(QStringLiteral("casper"), path));
        Character *c = control.characters().character(QStringLiteral("casper"));
        QVERIFY(c);
        QTest::ignoreMessage(QtWarningMsg, "casper has no animation \"NoSuch\"");
        QStringList done;
        connect(c, &Character::requestComplete, c, [&](int id, bool ok) { done << QStringLiteral("%1 %2").arg(id).arg(ok); });
        const QList<int> ids{c->show(), c->play(QStringLiteral("gREET")), c->speak(QStringLiteral("Hello")),
                             c->play(QStringLiteral("NoSuch")), c->hide()};
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 5, 15000);
        QCOMPARE(done, (QStringList{QStringLiteral("%1 1").arg(ids[0]), QStringLiteral("%1 1").arg(ids[1]),
                                    QStringLiteral("%1 1").arg(ids[2]), QStringLiteral("%1 0").arg(ids[3]),
                                    QStringLiteral("%1 1").arg(ids[4])}));
        QVERIFY(!c->isVisible());
    }

    // Seeds for the fuzzer: with CHIMEWELL_FUZZ_SEEDS set, written there.
    void fuzzSeeds()
    {
        QMap<QString, QByteArray> seeds;
        seeds.insert(QStringLiteral("v2-sample.acs"), w::write(sample()));
        w::CharacterDef plain = sample();
        plain.voice = plain.balloon = plain.trayIcon = false;
        plain.animations.resize(1);
        seeds.insert(QStringLiteral("v2-plain.acs"), w::write(plain));
        // Compressed streams alone: the expected size in sixteens (two bytes), then the stream.
        const QByteArray raw = pattern(3008, 300, 12);
        QByteArray stream("\xBC\x00", 2);
        stream.append(w::compress(raw));
        seeds.insert(QStringLiteral("v2-stream.bin"), stream);
        QCOMPARE(*inflate(stream.mid(2), 3008), raw);
        QString error;
        QVERIFY2(parseCharacterFile(seeds.value(QStringLiteral("v2-plain.acs")), &error), qPrintable(error));
        const QString folder = qEnvironmentVariable("CHIMEWELL_FUZZ_SEEDS");
        if (folder.isEmpty())
            return;
        for (auto it = seeds.cbegin(); it != seeds.cend(); ++it) {
            QFile f(folder + QLatin1Char('/') + it.key());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(it.value());
        }
    }
};

QTEST_MAIN(TestAcsV2)
#include "tst_acsv2.moc"
