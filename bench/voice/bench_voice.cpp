// Figures of the voice: how soon the first audio of a phrase is ready, how fast the
// engine runs against real time, both beside the espeak-ng command line, and the CPU a
// speaker takes while it talks.
#include "voice/speaker.h"
#include "voice/synthesizer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace chimewell::voice;

namespace {

const QString kPhrase = QStringLiteral("The time is half past 5");
constexpr int kRuns = 15;

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

SynthRequest request(const QString &text)
{
    SynthRequest r;
    r.segments = tags::parse(text).segments;
    return r;
}

// Milliseconds from start() to the first chunk of audio on the listener's thread.
double firstChunkMs(Synthesizer &engine)
{
    QEventLoop loop;
    QElapsedTimer t;
    double ms = -1;
    quint64 job = 0;
    const auto c = QObject::connect(&engine, &Synthesizer::chunkReady, &loop, [&](quint64 id, const SynthChunk &chunk) {
        if (id == job && ms < 0 && !chunk.pcm.isEmpty()) {
            ms = t.nsecsElapsed() / 1e6;
            loop.quit();
        }
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    t.start();
    job = engine.start(request(kPhrase));
    loop.exec();
    QObject::disconnect(c);
    engine.cancel(job);
    return ms;
}

// Milliseconds from Speaker::speak() to its first word (reported with the first audio).
double firstWordMs()
{
    Speaker speaker;
    QEventLoop loop;
    QElapsedTimer t;
    double ms = -1;
    QObject::connect(&speaker, &Speaker::wordReached, &loop, [&] {
        if (ms < 0)
            ms = t.nsecsElapsed() / 1e6;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    t.start();
    speaker.speak(kPhrase);
    loop.exec();
    speaker.stop();
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The figures are the engine's; keep the bench quiet and independent of a sound server.
    if (qEnvironmentVariableIsEmpty("CHIMEWELL_VOICE_BENCH_SOUND"))
        qputenv("PULSE_SERVER", "unix:/nonexistent/chimewell-voice-bench");

    Synthesizer &engine = Synthesizer::instance();
    QElapsedTimer cold;
    cold.start();
    if (!engine.available()) {
        std::printf("speech engine not available\n");
        return 1;
    }
    std::printf("engine start (espeak-ng initialised, voice set): %.1f ms\n", cold.nsecsElapsed() / 1e6);

    // First audio.
    std::vector<double> first;
    for (int i = 0; i < kRuns; ++i)
        first.push_back(firstChunkMs(engine));
    std::printf("first audio buffer of \"%s\": median %.2f ms, worst %.2f ms (%d runs, target < 50 ms)\n",
                qPrintable(kPhrase), median(first), *std::max_element(first.begin(), first.end()), kRuns);

    std::vector<double> word;
    for (int i = 0; i < kRuns; ++i)
        word.push_back(firstWordMs());
    std::printf("Speaker::speak() to the first word (first audio in the speaker): median %.2f ms, worst %.2f ms\n",
                median(word), *std::max_element(word.begin(), word.end()));

    // Whole phrase in memory.
    std::vector<double> whole, factor;
    double audioSeconds = 0;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        const auto r = engine.render(request(kPhrase));
        const double s = t.nsecsElapsed() / 1e9;
        audioSeconds = double(r.samples.size()) / engine.sampleRate();
        whole.push_back(s * 1000);
        factor.push_back(audioSeconds / s);
    }
    std::printf("whole phrase (%.2f s of audio): median %.2f ms, %.0fx real time\n", audioSeconds, median(whole),
                median(factor));

    // The command line, writing a WAV file as it would for us.
    const QString cli = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
    if (cli.isEmpty()) {
        std::printf("espeak-ng command line not found; no comparison\n");
    } else {
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("x.wav"));
        std::vector<double> runs;
        for (int i = 0; i < kRuns; ++i) {
            QProcess p;
            QElapsedTimer t;
            t.start();
            p.start(cli, {QStringLiteral("-w"), wav, kPhrase});
            if (!p.waitForFinished(10000) || p.exitCode() != 0) {
                std::printf("espeak-ng command line failed\n");
                break;
            }
            runs.push_back(t.nsecsElapsed() / 1e6);
        }
        if (!runs.empty()) {
            const qint64 bytes = QFile(wav).size();
            const double cliAudio = double(std::max<qint64>(0, bytes - 44)) / 2 / 22050;
            std::printf("espeak-ng -w (command line): median %.2f ms for %.2f s of audio, %.0fx real time\n",
                        median(runs), cliAudio, cliAudio / (median(runs) / 1000));
            std::printf("=> first audio %.1fx sooner than the command line's whole run; whole phrase %.1fx faster\n",
                        median(runs) / std::max(0.001, median(first)), median(runs) / std::max(0.001, median(whole)));
        }
    }

    // CPU while a speaker talks for about 30 seconds (silent clock unless sound was asked for).
    {
        QString text;
        for (int i = 0; i < 7; ++i)
            text += QStringLiteral("It is now %1 minutes past ten, and the sun is shining on the garden. ").arg(i + 1);
        Speaker speaker;
        QEventLoop loop;
        int words = 0;
        QObject::connect(&speaker, &Speaker::wordReached, &loop, [&] { ++words; });
        QObject::connect(&speaker, &Speaker::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        const double cpu0 = cpuSeconds();
        QElapsedTimer t;
        t.start();
        speaker.speak(text);
        loop.exec();
        const double wall = t.nsecsElapsed() / 1e9;
        const double cpu = cpuSeconds() - cpu0;
        std::printf("one speaker, %.1f s of speech (%d words): CPU %.3f s = %.2f%% of one core\n", wall, words, cpu,
                    100 * cpu / wall);
    }
    return 0;
}
