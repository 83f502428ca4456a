// The parts the character files are made from: keyframed poses, the sound
// effects, the zip writer and the way timelines become frames.
#include "acswriter.h"
#include "animations.h"
#include "character.h"
#include "pack.h"
#include "rig.h"
#include "sound.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <zip.h>

#include <cmath>

using namespace chimewell::art;

namespace {
std::vector<qint16> samplesOf(const QByteArray &wav)
{
    std::vector<qint16> s;
    for (qsizetype i = 44; i + 1 < wav.size(); i += 2)
        s.push_back(qFromLittleEndian<qint16>(wav.constData() + i));
    return s;
}

QByteArray entry(const QString &path, const char *name, int *method = nullptr)
{
    int err = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!z)
        return {};
    QByteArray out;
    zip_stat_t st;
    if (zip_stat(z, name, 0, &st) == 0) {
        out.resize(qsizetype(st.size));
        zip_file_t *f = zip_fopen(z, name, 0);
        if (f) {
            zip_fread(f, out.data(), st.size);
            zip_fclose(f);
        }
        if (method)
            *method = st.comp_method;
    }
    zip_close(z);
    return out;
}

const BuiltAnimation *find(const BuiltCharacter &b, const char *name)
{
    for (const BuiltAnimation &a : b.animations)
        if (a.name == QLatin1String(name))
            return &a;
    return nullptr;
}
} // namespace

class ArtParts final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void timelineEasesBetweenKeys()
    {
        Pose start;
        start.armR = 0;
        Timeline tl(start);
        tl.to(100, [](Pose &p) { p.armR = 100; }, Ease::Linear).to(300, [](Pose &p) { p.armR = 0; });
        QCOMPARE(tl.length(), 300);
        QCOMPARE(tl.at(0).armR, 0.0);
        QCOMPARE(tl.at(50).armR, 50.0);  // linear
        QCOMPARE(tl.at(100).armR, 100.0);
        QCOMPARE(tl.at(200).armR, 50.0); // smoothstep is symmetric about the middle
        QVERIFY(tl.at(120).armR > 95);   // and slow to leave a key
        QCOMPARE(tl.at(300).armR, 0.0);
        QCOMPARE(tl.at(900).armR, 0.0);  // holds after the end
        QCOMPARE(tl.at(-5).armR, 0.0);
        QCOMPARE(tl.at(250).time, 250.0);
    }

    void laterKeyAtTheSameTimeWins()
    {
        Timeline tl;
        tl.to(0, [](Pose &p) { p.walk = 0.5; }).to(100, [](Pose &p) { p.walk = 1; }, Ease::Linear);
        QCOMPARE(tl.at(0).walk, 0.5);
        QCOMPARE(tl.at(50).walk, 0.75);
    }

    void discreteChannelsSwitchAtTheKey()
    {
        Timeline tl;
        tl.to(200, [](Pose &p) { p.mouth = Mouth::Grin; p.prop = Prop::Book; });
        QCOMPARE(tl.at(199).mouth, Mouth::Smile);
        QCOMPARE(tl.at(199).prop, Prop::None);
        QCOMPARE(tl.at(200).mouth, Mouth::Grin);
        QCOMPARE(tl.at(200).prop, Prop::Book);
    }

    void effectProgressBlendsOnlyWithinOneEffect()
    {
        Timeline tl;
        tl.to(100, [](Pose &p) { p.effect = Effect::Sparkles; p.fx = 0; })
            .to(200, [](Pose &p) { p.fx = 1; }, Ease::Linear)
            .to(300, [](Pose &p) { p.effect = Effect::Confetti; p.fx = 0.5; });
        QCOMPARE(tl.at(150).fx, 0.5);
        // Changing effect: the old one runs on untouched until the key.
        QCOMPARE(tl.at(250).effect, Effect::Sparkles);
        QCOMPARE(tl.at(250).fx, 1.0);
        QCOMPARE(tl.at(300).fx, 0.5);
    }

    void keysBuildOnTheOneBefore()
    {
        Timeline tl;
        tl.to(100, [](Pose &p) { p.armL = 90; }).to(200, [](Pose &p) { p.lookX = 1; });
        QCOMPARE(tl.last().armL, 90.0); // kept from the key before
        QCOMPARE(tl.last().lookX, 1.0);
        // A key earlier than the last is clamped, so time never runs backwards.
        tl.to(50, [](Pose &p) { p.lookX = -1; });
        QCOMPARE(tl.length(), 200);
        tl.map([](Pose &p) { p.armL += 10; });
        QCOMPARE(tl.at(0).armL, Pose().armL + 10);
        QCOMPARE(tl.last().armL, 100.0);
        tl.back(400, Pose());
        QCOMPARE(tl.last().armL, Pose().armL);
    }

    void soundsAreCleanPcm_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("chime") << 0;
        QTest::newRow("pop") << 1;
        QTest::newRow("fanfare") << 2;
    }
    void soundsAreCleanPcm()
    {
        QFETCH(int, which);
        auto make = [&](double pitch) {
            return which == 0 ? sound::chime(pitch) : which == 1 ? sound::pop(pitch) : sound::fanfare(pitch);
        };
        const QByteArray wav = make(1.0);
        QVERIFY(wav.startsWith("RIFF"));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 24), quint32(22050));
        const auto s = samplesOf(wav);
        // Normalised below full scale: no clipping, no click at the end.
        int peak = 0;
        for (qint16 v : s)
            peak = std::max(peak, std::abs(int(v)));
        QVERIFY(peak > 20000 && peak < 24000);
        QVERIFY(std::abs(int(s.back())) < 1500);
        QVERIFY(std::abs(int(s.front())) < 1500);
        // Pitched for another character, it is another sound.
        QVERIFY(make(1.2) != wav);
    }

    void wavClipsOutOfRangeSamples()
    {
        const auto s = samplesOf(sound::wav({2.f, -2.f, 0.5f, 0.f}));
        QCOMPARE(int(s.size()), 4);
        QCOMPARE(s[0], qint16(32767));
        QCOMPARE(s[1], qint16(-32767));
        QCOMPARE(s[2], qint16(16384));
        QCOMPARE(s[3], qint16(0));
    }

    void writerStoresPicturesAndDeflatesText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.acs"));
        AcsWriter w;
        w.add(QStringLiteral("manifest.json"), QByteArray(2000, 'x'));
        w.add(QStringLiteral("frames/a.png"), QByteArray("first"));
        w.add(QStringLiteral("frames/a.png"), QByteArray("second")); // replaces, no duplicate entry
        w.add(QStringLiteral("sounds/s.wav"), QByteArray(100, 's'));
        QCOMPARE(w.count(), 3);
        QString error;
        QVERIFY2(w.write(path, &error), qPrintable(error));
        int method = -1;
        QCOMPARE(entry(path, "manifest.json", &method), QByteArray(2000, 'x'));
        QCOMPARE(method, int(ZIP_CM_DEFLATE));
        QCOMPARE(entry(path, "frames/a.png", &method), QByteArray("second"));
        QCOMPARE(method, int(ZIP_CM_STORE));
        // Sounds are raw samples: deflate makes them smaller.
        QCOMPARE(entry(path, "sounds/s.wav", &method).size(), 100);
        QCOMPARE(method, int(ZIP_CM_DEFLATE));
        // The same entries make the same bytes: builds are reproducible.
        const QString again = dir.filePath(QStringLiteral("u.acs"));
        QVERIFY(w.write(again, &error));
        QFile a(path), b(again);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }

    void writerFailsCleanly()
    {
        AcsWriter w;
        w.add(QStringLiteral("manifest.json"), QByteArray("{}"));
        QString error;
        QVERIFY(!w.write(QStringLiteral("/nonexistent-folder/x/y.acs"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("/nonexistent-folder/x/y.acs")));
    }

    // How timelines turn into frames: still runs fold into one longer frame,
    // loops leave out their closing frame, the sound sits on its frame.
    void framesFromTimelines()
    {
        const auto c = characterById(QStringLiteral("max"));
        QVERIFY(c);
        const BuiltCharacter b = build(*c, PngEffort::Quick);
        QHash<QString, int> lengths;
        for (const AnimationSpec &s : standardAnimations(*c))
            lengths.insert(s.name, s.timeline.length());

        const BuiltAnimation *idle = find(b, "Idle1");
        QVERIFY(idle);
        int total = 0;
        bool held = false;
        for (const BuiltFrame &f : idle->frames) {
            total += f.duration;
            held = held || f.duration > 100;
        }
        QVERIFY(held); // the pauses while looking about are single long frames
        QCOMPARE(total, lengths.value(QStringLiteral("Idle1")) + 100);
        // Its one branch goes back to look again, from a later frame to an earlier one.
        int branches = 0;
        for (size_t i = 0; i < idle->frames.size(); ++i)
            for (const auto &[to, probability] : idle->frames[i].branches) {
                ++branches;
                QVERIFY(to < int(i));
                QCOMPARE(probability, 25);
            }
        QCOMPARE(branches, 1);

        const BuiltAnimation *walk = find(b, "MoveLeft");
        QVERIFY(walk);
        QCOMPARE(int(walk->frames.size()), 8);
        QVERIFY(walk->frames.front().image != walk->frames.back().image);
        for (const BuiltFrame &f : walk->frames)
            QVERIFY(f.image != QLatin1String("frames/rest.png")); // every step of it is under way

        const BuiltAnimation *greet = find(b, "Greet");
        QVERIFY(greet);
        QCOMPARE(greet->frames.front().sound, QStringLiteral("sounds/greet.wav"));
        for (size_t i = 1; i < greet->frames.size(); ++i)
            QVERIFY(greet->frames[i].sound.isEmpty());
        QCOMPARE(greet->returnTo, QStringLiteral("RestPose"));

        // Pictures are shared: every gesture ends on the one rest picture.
        int rests = 0;
        for (const auto &[name, img] : b.images)
            rests += name == QLatin1String("frames/rest.png");
        QCOMPARE(rests, 1);
    }

    // Scale 2 is the same drawing, not a different one: shrunk, it matches scale 1.
    void twoTimesIsTheSameDrawing()
    {
        for (const auto &c : allCharacters()) {
            const QImage one = render(*c, c->rest(), 1).convertToFormat(QImage::Format_ARGB32);
            const QImage two = render(*c, c->rest(), 2)
                                   .scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                   .convertToFormat(QImage::Format_ARGB32);
            double diff = 0;
            for (int y = 0; y < one.height(); ++y)
                for (int x = 0; x < one.width(); ++x)
                    diff += std::abs(qAlpha(one.pixel(x, y)) - qAlpha(two.pixel(x, y)));
            diff /= one.width() * one.height();
            QVERIFY2(diff < 6, qPrintable(c->id() + QStringLiteral(": ") + QString::number(diff)));
        }
    }

    void idsAreUniqueAndFound()
    {
        QStringList ids;
        for (const auto &c : allCharacters()) {
            ids << c->id();
            QCOMPARE(characterById(c->id())->name(), c->name());
            QVERIFY(c->description().size() > 20 && c->description().size() < 4096);
        }
        QCOMPARE(ids, QStringList({QStringLiteral("max"), QStringLiteral("plany"), QStringLiteral("genie"),
                                   QStringLiteral("peedy"), QStringLiteral("robby"), QStringLiteral("merlin"),
                                   QStringLiteral("check")}));
        QVERIFY(!characterById(QStringLiteral("nobody")));
        // Seven voices that sound different.
        QSet<QString> voices;
        for (const auto &c : allCharacters())
            voices.insert(c->voice().language + c->voice().variant + QString::number(c->voice().pitch));
        QCOMPARE(voices.size(), 7);
    }
};

QTEST_MAIN(ArtParts)
#include "tst_artparts.moc"
