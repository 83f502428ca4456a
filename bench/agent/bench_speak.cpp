// bench_speak [--file character.acs] [--runs N]
// Speak on a shown character at rest: the milliseconds from the call to the first
// sample of it that the sound server mixes (read back from the default sink's
// monitor), to the first Speak frame painted and to the first open mouth painted.
// The baseline, measured the same way in the same run: a bare PulseAudio client
// that opens a stream and writes a tone, the path's own latency. Run it with a
// sound server whose default sink is a null sink (bench/agent/idle_bench.sh does).
#include "agent/agent.h"
#include "agent/agent_p.h"
#include "agent/characterwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QEvent>
#include <QTimer>

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

using namespace chimewell::agent;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kRate = 22050;

double msSince(Steady::time_point t0, Steady::time_point t1)
{
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// Reads the default sink's monitor in 1 ms pieces and notes when sound first comes.
class Monitor final
{
public:
    bool start()
    {
        const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.fragsize = kRate / 1000 * 2;
        int error = 0;
        m_pa = pa_simple_new(nullptr, "bench_speak", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor", &format, nullptr,
                             &attr, &error);
        if (!m_pa)
            return false;
        m_thread = std::thread([this] {
            std::vector<int16_t> buf(kRate / 1000);
            while (!m_stop) {
                if (pa_simple_read(m_pa, buf.data(), buf.size() * 2, nullptr) < 0)
                    return;
                const bool loud = std::any_of(buf.begin(), buf.end(), [](int16_t s) { return std::abs(s) > 64; });
                if (loud && !m_heard.exchange(true))
                    m_heardAt = Steady::now();
            }
        });
        return true;
    }
    ~Monitor()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_pa)
            pa_simple_free(m_pa);
    }
    void arm() { m_heard = false; }
    bool heard() const { return m_heard; }
    Steady::time_point heardAt() const { return m_heardAt; }

private:
    pa_simple *m_pa = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_heard{true};
    Steady::time_point m_heardAt;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    const auto end = Steady::now() + std::chrono::milliseconds(ms);
    while (!done() && Steady::now() < end)
        runFor(1);
    return done();
}

// Notes the first paint, and the first with an open mouth, after it is armed.
class PaintWatch final : public QObject
{
public:
    explicit PaintWatch(CharacterPrivate *d) : m_d(d) { d->m_window->installEventFilter(this); }
    void arm() { m_painted = m_mouth = false; }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() != QEvent::Paint)
            return false;
        if (!m_painted) {
            m_painted = true;
            m_paintedAt = Steady::now();
        }
        const FrameImage *mouth = m_d->currentMouth();
        if (!m_mouth && mouth && mouth != &m_d->m_data.mouth.at(0)) {
            m_mouth = true;
            m_mouthAt = Steady::now();
        }
        return false;
    }
    bool m_painted = true, m_mouth = true;
    Steady::time_point m_paintedAt, m_mouthAt;

private:
    CharacterPrivate *m_d;
};

// The bare client: a stream opened and a tone written at once; when the monitor hears it.
double bareClientMs(Monitor &monitor)
{
    monitor.arm();
    const auto t0 = Steady::now();
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
    int error = 0;
    pa_simple *pa =
        pa_simple_new(nullptr, "bench_speak", PA_STREAM_PLAYBACK, nullptr, "tone", &format, nullptr, nullptr, &error);
    if (!pa)
        return -1;
    std::vector<int16_t> tone(kRate / 10);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = int16_t(8000 * std::sin(double(i) * 2 * M_PI * 440 / kRate));
    pa_simple_write(pa, tone.data(), tone.size() * 2, &error);
    pa_simple_drain(pa, &error);
    pa_simple_free(pa);
    waitFor([&] { return monitor.heard(); }, 2000);
    return monitor.heard() ? msSince(t0, monitor.heardAt()) : -1;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void print(const char *what, const std::vector<double> &v)
{
    std::printf("%-46s median %7.1f ms, worst %7.1f ms (%zu runs)\n", what, median(v),
                v.empty() ? -1.0 : *std::max_element(v.begin(), v.end()), v.size());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser cli;
    const QCommandLineOption file(QStringLiteral("file"), QStringLiteral("The character."), QStringLiteral("path"),
                                  QStringLiteral(CHIMEWELL_PROGRAM_DIR "/chars/max.acs"));
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("How many of each."), QStringLiteral("n"),
                                  QStringLiteral("7"));
    cli.addOptions({file, runs});
    cli.process(app);
    const int n = std::max(1, cli.value(runs).toInt());

    Monitor monitor;
    if (!monitor.start()) {
        std::fprintf(stderr, "bench_speak: no sound server to listen to\n");
        return 1;
    }
    AgentControl control;
    if (!control.characters().load(QStringLiteral("max"), cli.value(file))) {
        std::fprintf(stderr, "bench_speak: cannot load %s\n", qPrintable(cli.value(file)));
        return 1;
    }
    Character *c = control.characters().character(QStringLiteral("max"));
    CharacterPrivate *d = CharacterPrivate::get(c);
    PaintWatch watch(d);
    c->show();
    waitFor([c] { return c->isVisible() && !c->isBusy(); }, 10000);
    runFor(1000);

    std::vector<double> bare, sound, frame, mouth;
    for (int i = 0; i < n; ++i) {
        const double b = bareClientMs(monitor);
        if (b >= 0)
            bare.push_back(b);
        runFor(300);
        // Just after a request the character rests: the next idle animation is
        // seconds away, so Speak starts from the rest pose.
        const int settle = c->play(QStringLiteral("RestPose"));
        bool settled = false;
        QObject::connect(c, &Character::requestComplete, &watch, [&](int id, bool) { settled |= id == settle; });
        waitFor([&] { return settled; }, 5000);
        runFor(200);
        monitor.arm();
        watch.arm();
        const auto t0 = Steady::now();
        const int speech = c->speak(QStringLiteral("Good morning, it is ten o clock"));
        bool done = false;
        QObject::connect(c, &Character::requestComplete, &watch, [&](int id, bool) { done |= id == speech; });
        waitFor([&] { return done; }, 20000);
        if (monitor.heard())
            sound.push_back(msSince(t0, monitor.heardAt()));
        if (watch.m_painted)
            frame.push_back(msSince(t0, watch.m_paintedAt));
        if (watch.m_mouth)
            mouth.push_back(msSince(t0, watch.m_mouthAt));
        runFor(2000);
    }
    print("bare client: stream opened to first sample mixed", bare);
    print("Speak to its first sample mixed", sound);
    print("Speak to its first Speak frame painted", frame);
    print("Speak to its first open mouth painted", mouth);
    return 0;
}
