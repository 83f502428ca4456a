#include "voice/speaker.h"

#include "voice/audiooutput.h"

#include "voice/pcmsource.h"
#include "voice/speechtags.h"
#include "voice/synthesizer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <limits>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcVoice)

// A speech is a timeline of samples with events on it. The engine fills the timeline
// ahead; a clock says how much of it has been heard: the audio sink's processed time
// when there is sound, elapsed time when there is none (no device, the sound server
// gone, spoken output off). Words, mouths and marks are emitted as the clock passes them,
// so the balloon and the mouth follow the voice, and a silent speech takes as long as a
// spoken one.
namespace chimewell::voice {

namespace {
OutputOptions g_options;

constexpr int kPollMs = 25;
// A sink whose clock stands still this long while there is audio for it has lost its
// device; the speech goes on silently. (A sound server waking from idle can take two.)
constexpr qint64 kStalledSinkMs = 4000;
// The engine sent nothing for this long although the listener is waiting: give up.
constexpr qint64 kStalledEngineMs = 10000;
constexpr int kFallbackRate = 22050;
// Texts longer than this are parsed on a worker thread, not in speak().
constexpr int kParseInlineChars = 32 * 1024;
} // namespace

void setOutputOptions(const OutputOptions &options)
{
    g_options = options;
    g_options.speedPercent = std::clamp(g_options.speedPercent, 10, 1000);
    g_options.volumePercent = std::clamp(g_options.volumePercent, 0, 100);
}

OutputOptions outputOptions() { return g_options; }

QString displayText(const QString &taggedText)
{
    return tags::parse(taggedText).display;
}

bool engineAvailable()
{
    return Synthesizer::instance().available();
}

class Speaker::Private final : public QObject
{
public:
    explicit Private(Speaker *speaker) : q(speaker)
    {
        m_poll.setInterval(kPollMs);
        m_poll.setTimerType(Qt::PreciseTimer);
        connect(&m_poll, &QTimer::timeout, this, &Private::tick);
    }

    ~Private() override
    {
        if (m_job)
            Synthesizer::instance().cancel(m_job);
        closeSink();
    }

    void begin(const QString &taggedText);
    void proceed(quint64 generation, const tags::Parsed &parsed);
    void end(bool complete);
    void tick();
    void onChunk(quint64 job, const SynthChunk &chunk);

    Speaker *q;
    Voice m_voice;
    QString m_lastSpeech;
    bool m_speaking = false;
    bool m_started = false; // started() was emitted for this speech
    quint64 m_generation = 0;

private:
    void reset();
    bool openSink();
    void closeSink();
    void advanceClock();
    bool emitDue();
    void fallbackTimeline(const tags::Parsed &parsed);
    bool emitMouth(Mouth m);

    quint64 m_job = 0;
    int m_rate = kFallbackRate;
    std::vector<SynthEvent> m_events;
    size_t m_nextEvent = 0;
    qint64 m_received = 0; // samples of the timeline known so far
    bool m_complete = false; // the timeline is whole
    double m_heard = 0;      // samples of the timeline heard
    Mouth m_mouth = Mouth::Closed;

    QTimer m_poll;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = 0;
    QElapsedTimer m_sinceProgress;
    QElapsedTimer m_sinceChunk;

    QPointer<QAudioSink> m_sink;
    PcmSource *m_source = nullptr; // owned by m_sink
    bool m_connected = false;
};

void Speaker::Private::reset()
{
    m_events.clear();
    m_nextEvent = 0;
    m_received = 0;
    m_complete = false;
    m_heard = 0;
    m_mouth = Mouth::Closed;
}

void Speaker::Private::begin(const QString &taggedText)
{
    const quint64 generation = ++m_generation;
    reset();
    m_speaking = true;
    m_started = false;
    if (taggedText.size() <= kParseInlineChars) {
        proceed(generation, tags::parse(taggedText, m_lastSpeech));
        return;
    }
    // A long text is parsed off the UI thread; started() follows when it is done.
    auto *watcher = new QFutureWatcher<tags::Parsed>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation == m_generation && m_speaking)
            proceed(generation, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(
        [text = taggedText, last = m_lastSpeech] { return tags::parse(text, last); }));
}

void Speaker::Private::proceed(quint64 generation, const tags::Parsed &parsed)
{
    m_lastSpeech = parsed.source;
    m_started = true;
    Q_EMIT q->started(parsed.display);
    if (generation != m_generation)
        return; // stopped or restarted from a slot

    if (!parsed.hasSound()) {
        // Nothing to say: the marks and finished() follow at once, but not from inside speak().
        QList<int> marks;
        for (const auto &s : parsed.segments) {
            if (s.kind == tags::Segment::Kind::Mark)
                marks.append(s.mark);
        }
        QTimer::singleShot(0, this, [this, generation, marks] {
            for (int m : marks) {
                if (generation != m_generation)
                    return;
                Q_EMIT q->bookmark(m);
            }
            if (generation == m_generation)
                end(true);
        });
        return;
    }

    Synthesizer &engine = Synthesizer::instance();
    if (engine.available()) {
        if (!m_connected) {
            connect(&engine, &Synthesizer::chunkReady, this, &Private::onChunk);
            m_connected = true;
        }
        m_rate = engine.sampleRate();
        SynthRequest request;
        request.voice = m_voice;
        request.segments = parsed.segments;
        request.speedPercent = g_options.speedPercent;
        m_job = engine.start(request);
    }
    if (!m_job)
        fallbackTimeline(parsed);

    if (g_options.spokenOutput && m_job)
        openSink();
    m_clock.start();
    m_lastTickNs = 0;
    m_sinceProgress.start();
    m_sinceChunk.start();
    m_poll.start();
}

// Without an engine the speech is paced by the voice's rate, word by word.
void Speaker::Private::fallbackTimeline(const tags::Parsed &parsed)
{
    m_rate = kFallbackRate;
    qint64 t = 0;
    for (const auto &s : parsed.segments) {
        switch (s.kind) {
        case tags::Segment::Kind::Speech: {
            const int wpm = std::clamp(s.settings.rate > 0 ? s.settings.rate : m_voice.rate, 80, 450)
                            * g_options.speedPercent / 100;
            const qint64 perWord = qint64(m_rate) * 60 / std::max(1, wpm);
            for (const auto &w : s.words) {
                m_events.push_back({SynthEvent::Type::Word, t, w.displayStart, w.displayLength});
                m_events.push_back({SynthEvent::Type::Mouth, t, int(Mouth::Open), 0});
                m_events.push_back({SynthEvent::Type::Mouth, t + perWord / 2, int(Mouth::Small), 0});
                t += perWord;
            }
            m_events.push_back({SynthEvent::Type::Mouth, t, int(Mouth::Closed), 0});
            break;
        }
        case tags::Segment::Kind::Pause:
            m_events.push_back({SynthEvent::Type::Mouth, t, int(Mouth::Closed), 0});
            t += qint64(s.pauseMs) * m_rate / 1000;
            break;
        case tags::Segment::Kind::Mark:
            m_events.push_back({SynthEvent::Type::Mark, t, s.mark, 0});
            break;
        }
    }
    m_received = t;
    m_complete = true;
}

bool Speaker::Private::openSink()
{
    QAudioDevice device;
    QAudioFormat format;
    QString unsupported;
    if (!monoOutput(m_rate, &device, &format, &unsupported)) {
        if (!unsupported.isEmpty())
            qCWarning(lcVoice, "the audio device %s cannot play %d Hz mono; speaking silently",
                      qUtf8Printable(unsupported), m_rate);
        return false;
    }
    auto *sink = new QAudioSink(device, format);
    m_source = new PcmSource(m_rate, sink);
    m_source->open(QIODevice::ReadOnly);
    sink->setBufferSize(qsizetype(m_rate) / 5 * 2); // 200 ms: a prompt stop
    sink->setVolume(g_options.volumePercent / 100.0);
    m_sink = sink;
    sink->start(m_source);
    if (sink->state() == QAudio::StoppedState || sink->error() != QAudio::NoError) {
        qCInfo(lcVoice, "no sound (audio error %d); speaking silently", int(sink->error()));
        closeSink();
        return false;
    }
    return true;
}

void Speaker::Private::closeSink()
{
    if (!m_sink)
        return;
    QAudioSink *sink = m_sink;
    m_sink = nullptr;
    m_source = nullptr;
    sink->disconnect(this);
    sink->stop();
    // Deleted later: destroying a sink can run the event loop.
    sink->deleteLater();
}

void Speaker::Private::onChunk(quint64 job, const SynthChunk &chunk)
{
    if (!m_speaking || job != m_job)
        return;
    m_sinceChunk.start();
    const qint64 samples = chunk.pcm.size() / 2;
    if (m_sink && m_source)
        m_source->append(chunk.pcm);
    m_received += samples;
    for (const SynthEvent &e : chunk.events)
        m_events.push_back(e);
    if (chunk.last) {
        m_complete = true;
        m_job = 0; // the engine has forgotten it
    }
    // Words at the very start need not wait for the next tick.
    if (m_nextEvent < m_events.size() && m_events[m_nextEvent].sample <= qint64(m_heard))
        tick();
}

void Speaker::Private::advanceClock()
{
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 delta = now - m_lastTickNs;
    m_lastTickNs = now;
    const double before = m_heard;
    if (m_sink) {
        if (m_sink->state() == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
            qCInfo(lcVoice, "the sound went away (audio error %d); speaking on silently", int(m_sink->error()));
            closeSink();
        } else {
            // processedUSecs() is what the server has played, its own latency taken off.
            const qint64 device = m_sink->processedUSecs() * m_rate / 1000000;
            m_heard = std::max(m_heard, double(m_source->speechSamplesAt(device)));
            if (m_heard <= before && m_heard < m_received && m_sinceProgress.elapsed() > kStalledSinkMs) {
                qCInfo(lcVoice, "the audio device stopped playing; speaking on silently");
                closeSink();
            }
        }
    }
    if (!m_sink)
        m_heard += double(delta) * m_rate / 1e9;
    m_heard = std::min(m_heard, double(m_received));
    if (m_heard > before)
        m_sinceProgress.start();
}

bool Speaker::Private::emitMouth(Mouth m)
{
    if (m == m_mouth)
        return true;
    m_mouth = m;
    const quint64 generation = m_generation;
    Q_EMIT q->mouthChanged(m);
    return generation == m_generation;
}

// Emits what has been heard; false when a slot stopped or restarted the speech.
bool Speaker::Private::emitDue()
{
    const quint64 generation = m_generation;
    while (m_nextEvent < m_events.size() && m_events[m_nextEvent].sample <= qint64(m_heard)) {
        const SynthEvent e = m_events[m_nextEvent++];
        switch (e.type) {
        case SynthEvent::Type::Word:
            Q_EMIT q->wordReached(e.a, e.b);
            break;
        case SynthEvent::Type::Mouth:
            if (!emitMouth(Mouth(e.a)))
                return false;
            break;
        case SynthEvent::Type::Mark:
            Q_EMIT q->bookmark(e.a);
            break;
        }
        if (generation != m_generation)
            return false;
    }
    if (m_nextEvent > 4096) {
        m_events.erase(m_events.begin(), m_events.begin() + qsizetype(m_nextEvent));
        m_nextEvent = 0;
    }
    return true;
}

void Speaker::Private::tick()
{
    if (!m_speaking)
        return;
    advanceClock();
    if (m_job)
        Synthesizer::instance().setConsumed(m_job, qint64(m_heard));
    if (!emitDue())
        return;
    if (m_complete && m_heard >= m_received) {
        end(true);
        return;
    }
    if (!m_complete && m_heard >= m_received && m_sinceChunk.elapsed() > kStalledEngineMs) {
        qCWarning(lcVoice, "the speech engine stopped answering; the speech is cut short");
        end(true);
    }
}

// Ends the speech: `complete` reports what is still due (a speech that ran out), otherwise
// (stop()) nothing more is reported but the closed mouth and finished().
void Speaker::Private::end(bool complete)
{
    if (!m_speaking)
        return;
    const quint64 generation = ++m_generation;
    m_poll.stop();
    if (m_job) {
        Synthesizer::instance().cancel(m_job);
        m_job = 0;
    }
    closeSink();
    if (complete) {
        m_heard = 1e18;
        // emitDue() compares against the generation it starts with.
        if (!emitDue())
            return;
    }
    m_events.clear();
    m_nextEvent = 0;
    m_speaking = false;
    if (!m_started) {
        // Stopped while a long text was still being read: the pair stays a pair.
        m_started = true;
        Q_EMIT q->started(QString());
        if (generation != m_generation)
            return;
    }
    if (!emitMouth(Mouth::Closed) || generation != m_generation)
        return;
    Q_EMIT q->finished();
}

Speaker::Speaker(QObject *parent) : QObject(parent), d(std::make_unique<Private>(this)) {}

Speaker::~Speaker() = default;

void Speaker::setVoice(const Voice &voice) { d->m_voice = voice; }
Voice Speaker::voice() const { return d->m_voice; }

void Speaker::speak(const QString &taggedText)
{
    if (d->m_speaking)
        stop();
    d->begin(taggedText);
}

void Speaker::stop()
{
    d->end(false);
}

bool Speaker::isSpeaking() const { return d->m_speaking; }

} // namespace chimewell::voice
