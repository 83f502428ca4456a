#include "voice/synthesizer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pocketsphinx.h>

using namespace chimewell::voice;

// A round trip: what the engine says, a speech recogniser with a small grammar hears.
// Skipped when the recogniser's English model is not installed.
class TstRecognition final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void recognised_data();
    void recognised();

private:
    QString hear(const QVector<qint16> &samples, int rate);
    QString m_model;
    QTemporaryDir m_dir;
};

void TstRecognition::initTestCase()
{
    for (const char *m : {"/usr/share/pocketsphinx/model/en-us"}) {
        if (QFile::exists(QString::fromLatin1(m) + QStringLiteral("/en-us/mdef")))
            m_model = QString::fromLatin1(m);
    }
    if (m_model.isEmpty())
        QSKIP("pocketsphinx's en-us model is not installed");
    QFile grammar(m_dir.filePath(QStringLiteral("clock.gram")));
    QVERIFY(grammar.open(QIODevice::WriteOnly));
    grammar.write("#JSGF V1.0;\ngrammar clock;\n"
                  "public <phrase> = what time is it | the time is half past five | set an alarm"
                  " | good morning | tell me a joke | it is ten o'clock;\n");
}

QString TstRecognition::hear(const QVector<qint16> &samples, int rate)
{
    // The model wants 16 kHz; linear interpolation is enough for speech.
    QVector<qint16> pcm;
    const double step = double(rate) / 16000;
    for (double t = 0; t + 1 < samples.size(); t += step) {
        const int i = int(t);
        const double f = t - i;
        pcm.append(qint16(samples[i] * (1 - f) + samples[i + 1] * f));
    }
    pcm += QVector<qint16>(8000, 0); // a little silence after

    const QByteArray hmm = (m_model + QStringLiteral("/en-us")).toLocal8Bit();
    const QByteArray dict = (m_model + QStringLiteral("/cmudict-en-us.dict")).toLocal8Bit();
    const QByteArray gram = m_dir.filePath(QStringLiteral("clock.gram")).toLocal8Bit();
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", dict.constData(),
                                   "-jsgf", gram.constData(), "-logfn", "/dev/null", nullptr);
    if (!config)
        return QStringLiteral("<no config>");
    ps_decoder_t *ps = ps_init(config);
    QString heard = QStringLiteral("<no decoder>");
    if (ps) {
        ps_start_utt(ps);
        ps_process_raw(ps, pcm.constData(), size_t(pcm.size()), FALSE, TRUE);
        ps_end_utt(ps);
        int32 score = 0;
        const char *hyp = ps_get_hyp(ps, &score);
        heard = hyp ? QString::fromUtf8(hyp) : QString();
        ps_free(ps);
    }
    cmd_ln_free_r(config);
    return heard;
}

void TstRecognition::recognised_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("heard");
    QTest::newRow("the time") << QStringLiteral("The time is half past 5") << QStringLiteral("the time is half past five");
    QTest::newRow("tags are not spoken") << QStringLiteral("\\Spd=150\\good \\Emp\\morning\\Mrk=2\\")
                                         << QStringLiteral("good morning");
    QTest::newRow("map speaks its first text") << QStringLiteral("\\Map=\"what time is it\"=\"Time?\"\\")
                                               << QStringLiteral("what time is it");
    QTest::newRow("after a pause") << QStringLiteral("\\Pau=300\\set an alarm") << QStringLiteral("set an alarm");
}

void TstRecognition::recognised()
{
    QFETCH(QString, text);
    QFETCH(QString, heard);
    SynthRequest r;
    r.segments = tags::parse(text).segments;
    const auto audio = Synthesizer::instance().render(r);
    QVERIFY(audio.ok);
    QCOMPARE(hear(audio.samples, Synthesizer::instance().sampleRate()), heard);
}

QTEST_GUILESS_MAIN(TstRecognition)
#include "tst_recognition.moc"
