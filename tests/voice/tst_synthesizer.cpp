#include "voice/synthesizer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace chimewell::voice;

// The engine in memory: what it makes of a speech, measured on the samples.
class TstSynthesizer final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void phraseGivesPlausibleAudio();
    void wordsComeInOrderAtTheirTime();
    void whisperIsUnvoiced();
    void pauseAddsSilence();
    void speedChangesTheDuration();
    void pitchAndVolumeTags();
    void voicesAndFallbacks_data();
    void voicesAndFallbacks();
    void lipSyncFollowsThePhonemes();
    void mouthForPhoneme_data();
    void mouthForPhoneme();
    void pitchMapping();
    void firstAudioComesFast();
    void engineStaysOnlyAFewSecondsAhead();
    void cancelStopsTheChunks();

private:
    static Synthesizer::Rendered render(const QString &text, const Voice &voice = Voice());
    static double seconds(const Synthesizer::Rendered &r);
    static double rms(const Synthesizer::Rendered &r);
    static double periodicShare(const QVector<qint16> &samples, int rate);
    static double medianPitchHz(const QVector<qint16> &samples, int rate);
    int m_rate = 0;
};

void TstSynthesizer::initTestCase()
{
    QVERIFY(Synthesizer::instance().available());
    m_rate = Synthesizer::instance().sampleRate();
    QVERIFY(m_rate >= 8000);
}

Synthesizer::Rendered TstSynthesizer::render(const QString &text, const Voice &voice)
{
    SynthRequest r;
    r.voice = voice;
    r.segments = tags::parse(text).segments;
    return Synthesizer::instance().render(r);
}

double TstSynthesizer::seconds(const Synthesizer::Rendered &r)
{
    return double(r.samples.size()) / Synthesizer::instance().sampleRate();
}

double TstSynthesizer::rms(const Synthesizer::Rendered &r)
{
    double sum = 0;
    for (qint16 s : r.samples)
        sum += double(s) * s;
    return r.samples.isEmpty() ? 0 : std::sqrt(sum / r.samples.size());
}

// The share of the energy in frames that repeat themselves at a voice's pitch period
// (80-400 Hz): high for voiced speech, low for a whisper.
double TstSynthesizer::periodicShare(const QVector<qint16> &x, int rate)
{
    const int frame = rate * 40 / 1000;
    const int minLag = rate / 400, maxLag = rate / 80;
    double periodic = 0, total = 0;
    for (int start = 0; start + frame + maxLag < x.size(); start += frame) {
        double energy = 0;
        for (int i = 0; i < frame; ++i)
            energy += double(x[start + i]) * x[start + i];
        if (energy < frame * 100.0 * 100.0)
            continue; // near silence
        double best = 0;
        for (int lag = minLag; lag <= maxLag; ++lag) {
            double xy = 0, yy = 0;
            for (int i = 0; i < frame; ++i) {
                xy += double(x[start + i]) * x[start + i + lag];
                yy += double(x[start + i + lag]) * x[start + i + lag];
            }
            best = std::max(best, xy / std::sqrt(energy * yy + 1));
        }
        total += energy;
        if (best > 0.6)
            periodic += energy;
    }
    return total > 0 ? periodic / total : 0;
}

double TstSynthesizer::medianPitchHz(const QVector<qint16> &x, int rate)
{
    const int frame = rate * 40 / 1000;
    const int minLag = rate / 500, maxLag = rate / 60;
    QVector<double> pitches;
    for (int start = 0; start + frame + maxLag < x.size(); start += frame) {
        double energy = 0;
        for (int i = 0; i < frame; ++i)
            energy += double(x[start + i]) * x[start + i];
        if (energy < frame * 300.0 * 300.0)
            continue;
        double best = 0;
        int bestLag = 0;
        for (int lag = minLag; lag <= maxLag; ++lag) {
            double xy = 0, yy = 0;
            for (int i = 0; i < frame; ++i) {
                xy += double(x[start + i]) * x[start + i + lag];
                yy += double(x[start + i + lag]) * x[start + i + lag];
            }
            const double r = xy / std::sqrt(energy * yy + 1);
            if (r > best) {
                best = r;
                bestLag = lag;
            }
        }
        if (best > 0.7)
            pitches << double(rate) / bestLag;
    }
    if (pitches.isEmpty())
        return 0;
    std::sort(pitches.begin(), pitches.end());
    return pitches[pitches.size() / 2];
}

void TstSynthesizer::phraseGivesPlausibleAudio()
{
    const auto r = render(QStringLiteral("The time is half past 5"));
    QVERIFY(r.ok);
    QVERIFY2(seconds(r) > 0.8 && seconds(r) < 4.0, qPrintable(QString::number(seconds(r))));
    QVERIFY2(rms(r) > 500, qPrintable(QString::number(rms(r))));
}

void TstSynthesizer::wordsComeInOrderAtTheirTime()
{
    const QString text = QStringLiteral("one, two. Three 4 five-six!");
    const tags::Parsed p = tags::parse(text);
    const auto r = render(text);
    QStringList words;
    qint64 last = -1;
    for (const SynthEvent &e : r.events) {
        QVERIFY(e.sample >= last); // events in time order
        last = e.sample;
        if (e.type == SynthEvent::Type::Word)
            words << p.display.mid(e.a, e.b);
    }
    QCOMPARE(words, p.display.split(QLatin1Char(' ')));
    QVERIFY(last <= r.samples.size());
    // Words spread over the speech, not all at its start.
    QVERIFY(r.events.size() > 5);
}

void TstSynthesizer::whisperIsUnvoiced()
{
    const QString phrase = QStringLiteral("We will whisper between eleven and seven o'clock");
    const auto normal = render(phrase);
    const auto whisper = render(QStringLiteral("\\Chr=\"Whisper\"\\") + phrase);
    const double voiced = periodicShare(normal.samples, m_rate);
    const double whispered = periodicShare(whisper.samples, m_rate);
    QVERIFY2(voiced > 0.5 && whispered < voiced / 3,
             qPrintable(QStringLiteral("normal %1 whisper %2").arg(voiced).arg(whispered)));
    QVERIFY(rms(whisper) > 100); // quieter, but heard

    // A whisper tag in the middle whispers only what follows.
    const auto mixed = render(phrase + QStringLiteral(" \\Chr=\"Whisper\"\\") + phrase);
    const int half = int(normal.samples.size());
    QVERIFY(mixed.samples.size() > half);
    const double first = periodicShare(mixed.samples.mid(0, half), m_rate);
    const double second = periodicShare(mixed.samples.mid(half), m_rate);
    QVERIFY2(first > 0.5 && second < first / 3, qPrintable(QStringLiteral("%1 %2").arg(first).arg(second)));
}

void TstSynthesizer::pauseAddsSilence()
{
    const auto plain = render(QStringLiteral("before after"));
    const auto split = render(QStringLiteral("before \\Pau=1\\ after"));
    const auto paused = render(QStringLiteral("before \\Pau=500\\ after"));
    // The pause itself is exact; around it each part ends as a phrase of its own.
    const double gap = seconds(paused) - seconds(split);
    QVERIFY2(qAbs(gap - 0.5) < 0.01, qPrintable(QString::number(gap)));
    const double added = seconds(paused) - seconds(plain);
    QVERIFY2(added > 0.4 && added < 0.8, qPrintable(QString::number(added)));
    // Only a pause: that much silence.
    const auto pause = render(QStringLiteral("\\Pau=750\\"));
    QVERIFY(qAbs(seconds(pause) - 0.75) < 0.01);
    QCOMPARE(rms(pause), 0.0);
}

void TstSynthesizer::speedChangesTheDuration()
{
    const QString phrase = QStringLiteral("It is a quarter to nine in the evening");
    const double normal = seconds(render(phrase));
    const double fast = seconds(render(QStringLiteral("\\Spd=320\\") + phrase));
    const double slow = seconds(render(QStringLiteral("\\spd=90\\") + phrase));
    QVERIFY2(fast < normal * 0.75 && slow > normal * 1.3,
             qPrintable(QStringLiteral("%1 %2 %3").arg(fast).arg(normal).arg(slow)));
    Voice quick;
    quick.rate = 300;
    QVERIFY(seconds(render(phrase, quick)) < normal * 0.8);
    // The options' speed scales every voice.
    SynthRequest r;
    r.segments = tags::parse(phrase).segments;
    r.speedPercent = 200;
    QVERIFY(double(Synthesizer::instance().render(r).samples.size()) / m_rate < normal * 0.75);
}

void TstSynthesizer::pitchAndVolumeTags()
{
    const QString phrase = QStringLiteral("Hello, how are you doing today?");
    const double low = medianPitchHz(render(QStringLiteral("\\Pit=70\\") + phrase).samples, m_rate);
    const double high = medianPitchHz(render(QStringLiteral("\\Pit=200\\") + phrase).samples, m_rate);
    QVERIFY2(low > 0 && high > low * 1.5, qPrintable(QStringLiteral("%1 %2").arg(low).arg(high)));
    const double loud = rms(render(phrase));
    const double quiet = rms(render(QStringLiteral("\\Vol=16000\\") + phrase));
    QVERIFY2(quiet < loud * 0.5 && quiet > 0, qPrintable(QStringLiteral("%1 %2").arg(loud).arg(quiet)));
}

void TstSynthesizer::voicesAndFallbacks_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("variant");
    QTest::newRow("en-us") << QStringLiteral("en-us") << QString();
    QTest::newRow("en-us m3") << QStringLiteral("en-us") << QStringLiteral("m3");
    QTest::newRow("en-gb f2") << QStringLiteral("en-gb") << QStringLiteral("f2");
    QTest::newRow("case") << QStringLiteral("EN-GB") << QStringLiteral("M3");
    QTest::newRow("unknown language") << QStringLiteral("xx-nowhere") << QString();
    QTest::newRow("unknown variant") << QStringLiteral("en-us") << QStringLiteral("no-such-variant");
    QTest::newRow("empty") << QString() << QString();
}

void TstSynthesizer::voicesAndFallbacks()
{
    QFETCH(QString, language);
    QFETCH(QString, variant);
    Voice v;
    v.language = language;
    v.variant = variant;
    const auto r = render(QStringLiteral("good morning"), v);
    QVERIFY(r.ok);
    QVERIFY(seconds(r) > 0.3);
    QVERIFY(rms(r) > 300);
}

void TstSynthesizer::lipSyncFollowsThePhonemes()
{
    const auto r = render(QStringLiteral("Bob moves. Oh, wow, see me!"));
    QList<Mouth> mouths;
    for (const SynthEvent &e : r.events) {
        if (e.type == SynthEvent::Type::Mouth)
            mouths << Mouth(e.a);
    }
    QVERIFY(mouths.contains(Mouth::Closed));
    QVERIFY(mouths.contains(Mouth::Round));
    QVERIFY(mouths.contains(Mouth::Wide));
    QCOMPARE(mouths.last(), Mouth::Closed);
    for (int i = 1; i < mouths.size(); ++i)
        QVERIFY(mouths[i] != mouths[i - 1]);
    // Closed at a pause.
    const auto p = render(QStringLiteral("ah \\Pau=300\\ ah"));
    bool closedInPause = false;
    for (const SynthEvent &e : p.events) {
        if (e.type == SynthEvent::Type::Mouth && Mouth(e.a) == Mouth::Closed && e.sample > m_rate / 10
            && e.sample < p.samples.size() - m_rate / 10)
            closedInPause = true;
    }
    QVERIFY(closedInPause);
}

void TstSynthesizer::mouthForPhoneme_data()
{
    QTest::addColumn<QByteArray>("phoneme");
    QTest::addColumn<int>("mouth");
    auto row = [](const char *p, Mouth m) { QTest::newRow(p) << QByteArray(p) << int(m); };
    row("p", Mouth::Closed);
    row("b", Mouth::Closed);
    row("m", Mouth::Closed);
    row("f", Mouth::Small);
    row("v", Mouth::Small);
    row("a", Mouth::Open);
    row("aI", Mouth::Open);
    row("aU", Mouth::Open);
    row("A:", Mouth::Open);
    row("i:", Mouth::Wide);
    row("e", Mouth::Wide);
    row("E2", Mouth::Wide);
    row("I", Mouth::Wide);
    row("o", Mouth::Round);
    row("O:", Mouth::Round);
    row("u:", Mouth::Round);
    row("U", Mouth::Round);
    row("w", Mouth::Round);
    row("t", Mouth::Small);
    row("@2", Mouth::Small);
    row("_:", Mouth::Closed);
    row("_", Mouth::Closed);
    row("", Mouth::Closed);
    row("12345678", Mouth::Small);
}

void TstSynthesizer::mouthForPhoneme()
{
    QFETCH(QByteArray, phoneme);
    QFETCH(int, mouth);
    QCOMPARE(int(chimewell::voice::mouthForPhoneme(phoneme.constData())), mouth);
}

void TstSynthesizer::pitchMapping()
{
    QCOMPARE(espeakPitchForHz(100), 50);
    QCOMPARE(espeakPitchForHz(200), 100);
    QCOMPARE(espeakPitchForHz(50), 0);
    QCOMPARE(espeakPitchForHz(10000), 100);
    QCOMPARE(espeakPitchForHz(1), 0);
    QVERIFY(espeakPitchForHz(120) > espeakPitchForHz(110));
}

void TstSynthesizer::firstAudioComesFast()
{
    Synthesizer &engine = Synthesizer::instance();
    QSignalSpy chunks(&engine, &Synthesizer::chunkReady);
    SynthRequest r;
    r.segments = tags::parse(QStringLiteral("The time is half past 5")).segments;
    QElapsedTimer t;
    t.start();
    const quint64 job = engine.start(r);
    QVERIFY(job != 0);
    QVERIFY(chunks.wait(2000));
    // The target is far below this; a loaded test machine gets some slack.
    QVERIFY2(t.elapsed() < 250, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(chunks.at(0).at(0).toULongLong(), job);
    QVERIFY(!chunks.at(0).at(1).value<SynthChunk>().pcm.isEmpty());
    QTRY_VERIFY(chunks.last().at(1).value<SynthChunk>().last);
}

void TstSynthesizer::engineStaysOnlyAFewSecondsAhead()
{
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("Sentence %1 goes on and on. ").arg(i);
    Synthesizer &engine = Synthesizer::instance();
    QSignalSpy chunks(&engine, &Synthesizer::chunkReady);
    SynthRequest r;
    r.segments = tags::parse(text).segments;
    const quint64 job = engine.start(r);
    QTest::qWait(1000);
    qint64 samples = 0;
    for (const auto &c : chunks)
        samples += c.at(1).value<SynthChunk>().pcm.size() / 2;
    QVERIFY(samples > 0);
    // A few seconds ahead plus at most one piece of about a sentence.
    QVERIFY2(samples < qint64(Synthesizer::kAheadSeconds + 16) * m_rate, qPrintable(QString::number(samples)));
    // Listening on lets it go on.
    engine.setConsumed(job, samples);
    QTRY_VERIFY(chunks.size() > 0 && [&] {
        qint64 now = 0;
        for (const auto &c : chunks)
            now += c.at(1).value<SynthChunk>().pcm.size() / 2;
        return now > samples;
    }());
    engine.cancel(job);
}

void TstSynthesizer::cancelStopsTheChunks()
{
    QString text;
    for (int i = 0; i < 100; ++i)
        text += QStringLiteral("Words upon words. ");
    Synthesizer &engine = Synthesizer::instance();
    QSignalSpy chunks(&engine, &Synthesizer::chunkReady);
    SynthRequest r;
    r.segments = tags::parse(text).segments;
    const quint64 job = engine.start(r);
    QVERIFY(chunks.wait(2000));
    engine.cancel(job);
    QTest::qWait(100); // chunks already on their way may still land
    const auto before = chunks.size();
    engine.setConsumed(job, 1 << 30);
    QTest::qWait(300);
    QCOMPARE(chunks.size(), before);
    for (const auto &c : chunks)
        QVERIFY(!c.at(1).value<SynthChunk>().last); // it never completed
}

QTEST_GUILESS_MAIN(TstSynthesizer)
#include "tst_synthesizer.moc"
