// Figures of listening: how soon a spoken command is understood once the speaker
// stops, the CPU the recogniser takes while it listens and while it does not, and
// the memory it adds. Audio comes from espeak-ng, fed as the microphone would.
#include "listen/decoder.h"
#include "listen/recognizer.h"
#include "voice/synthesizer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <sys/resource.h>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace chimewell;
using namespace chimewell::listen;

namespace {

constexpr int kChunk = 640; // 40 ms, as the recogniser reads the microphone

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

QVector<qint16> speak(const QString &text, int wordsPerMinute = 0)
{
    voice::SynthRequest r;
    if (wordsPerMinute > 0)
        r.voice.rate = wordsPerMinute;
    r.segments = voice::tags::parse(text).segments;
    const auto audio = voice::Synthesizer::instance().render(r);
    const int rate = voice::Synthesizer::instance().sampleRate();
    QVector<qint16> pcm;
    const double step = double(rate) / Decoder::kSampleRate;
    for (double t = 0; t + 1 < audio.samples.size(); t += step) {
        const int i = int(t);
        pcm.append(qint16(audio.samples[i] * (1 - (t - i)) + audio.samples[i + 1] * (t - i)));
    }
    return pcm;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (Decoder::modelFolder().isEmpty() || !voice::Synthesizer::instance().available()) {
        std::printf("pocketsphinx's model or espeak-ng is missing: nothing measured\n");
        return 0;
    }
    const Grammar grammar({{"max", "Properties", "[Character] Properties"}, {"max", "Introduce", "(Introduction | Introduce)"},
                           {"max", "default", "[Move Me]Home "}, {"max", "Date", "What is the [date]?"},
                           {"max", "Shut", "tell [Shut Up]"}, {"max", "Future", "[Future]"},
                           {"max", "exit", "[Exit] Chimewell"}, {"plany", "Shut", "[Tell] to be quiet"}});
    const QVector<qint16> phrase = speak(QStringLiteral("What is the date"));
    const QVector<qint16> quiet(Decoder::kSampleRate * 2, 0);
    (void)voice::Synthesizer::instance().phonemes(QStringLiteral("chimewell")); // the engine is warm

    const long before = residentKb();
    Decoder decoder([](const QString &w) { return voice::Synthesizer::instance().phonemes(w); });
    QString why;
    if (!decoder.start(&why) || !decoder.setGrammar(grammar)) {
        std::printf("the recogniser did not start: %s\n", qPrintable(why));
        return 1;
    }
    const long after = residentKb();

    // From the end of speech to the answer: the silence the voice detector waits for,
    // plus the decoding that is left when it has.
    std::vector<double> endpoint, decode, held, load;
    double audioSeconds = 0, busySeconds = 0;
    for (int run = 0; run < 10; ++run) {
        decoder.begin();
        // The thread's own CPU time: other programs on a busy machine do not count.
        const double busy0 = threadCpuSeconds();
        for (qsizetype at = 0; at < phrase.size(); at += kChunk)
            decoder.feed(phrase.constData() + at, qMin<qsizetype>(kChunk, phrase.size() - at));
        busySeconds += threadCpuSeconds() - busy0;
        audioSeconds += double(phrase.size()) / Decoder::kSampleRate;
        int silenceMs = 0;
        QElapsedTimer tail;
        tail.start();
        while (!decoder.utteranceOver() && silenceMs < 2000) {
            decoder.feed(quiet.constData(), kChunk);
            silenceMs += kChunk * 1000 / Decoder::kSampleRate;
        }
        const double tailMs = tail.nsecsElapsed() / 1e6;
        QElapsedTimer e;
        e.start();
        const Heard h = decoder.end();
        const double endMs = e.nsecsElapsed() / 1e6;
        if (h.entry < 0)
            std::printf("run %d: not understood \"%s\"\n", run, qPrintable(h.words));
        endpoint.push_back(silenceMs);
        decode.push_back(endMs + tailMs);
        held.push_back(endMs);
    }
    std::printf("end of speech to understood, one-shot Listen: %.0f ms of silence awaited + %.1f ms decoding\n",
                median(endpoint), median(decode));
    std::printf("end of speech to understood, one-shot Listen: %.0f ms in all\n", median(endpoint) + median(decode));
    std::printf("end of speech to understood, key released: %.1f ms\n", median(held));

    // The other side of a short end-of-speech pause: commands cut short because the
    // voice detector took a gap between their words for the end.
    int cut = 0, spoken = 0;
    for (const int rate : {160, 120}) {
        for (const char *text : {"character properties", "introduction", "move me home", "what is the date", "tell shut up",
                                 "tell to be quiet", "exit chimewell"}) {
            const QVector<qint16> pcm = speak(QString::fromLatin1(text), rate);
            decoder.begin();
            bool ended = false;
            qsizetype at = 0;
            for (; at < pcm.size() && !ended; at += kChunk) {
                decoder.feed(pcm.constData() + at, qMin<qsizetype>(kChunk, pcm.size() - at));
                ended = decoder.utteranceOver();
            }
            // Ended while more than a trailing pause of speech was still to come.
            const qsizetype rest = pcm.size() - at;
            if (ended && rest > Decoder::kSampleRate * Decoder::kEndSilenceMs / 1000)
                ++cut;
            ++spoken;
            decoder.end();
        }
    }
    std::printf("commands cut short by the end-of-speech pause (%d ms): %d of %d\n", Decoder::kEndSilenceMs, cut, spoken);
    std::printf("CPU while listening to speech: %.1f %% of a core\n", 100 * busySeconds / audioSeconds);

    // Listening in silence for 5 s.
    decoder.begin();
    const double c0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    const QVector<qint16> hiss = [] {
        QVector<qint16> v(kChunk);
        for (int i = 0; i < kChunk; ++i)
            v[i] = qint16((i * 7919) % 61 - 30);
        return v;
    }();
    for (int i = 0; i < 5 * Decoder::kSampleRate / kChunk; ++i)
        decoder.feed(hiss.constData(), kChunk);
    decoder.end();
    std::printf("CPU while listening in quiet: %.1f %% of a core\n", 100 * (cpuSeconds() - c0) / 5.0);
    std::printf("resident memory added by the recogniser: %.1f MB\n", (after - before) / 1024.0);

    // Not listening: the recogniser's thread waits with a grammar ready; nothing runs.
    Recognizer recognizer;
    recognizer.setGrammar(grammar);
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec(); // the worker prepares its decoder meanwhile
    const double i0 = cpuSeconds();
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("CPU while not listening: %.2f %% of a core (5 s)\n", 100 * (cpuSeconds() - i0) / 5.0);
    return 0;
}
