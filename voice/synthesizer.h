#pragma once

#include "voice/speaker.h"
#include "voice/speechtags.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QVector>

// The speech engine behind every Speaker: one thread owns libespeak-ng (which is not
// thread-safe) and serves the speakers' jobs in turn, streaming audio and events back in
// chunks. Internal to voice/; the tests and the bench use it directly.
namespace chimewell::voice {

struct SynthEvent
{
    enum class Type : quint8 { Word, Mouth, Mark };
    Type type = Type::Word;
    qint64 sample = 0; // offset in the job's audio where the event is heard
    int a = 0;         // Word: display position; Mouth: Mouth value; Mark: the mark
    int b = 0;         // Word: display length
};

struct SynthChunk
{
    QByteArray pcm;           // signed 16-bit mono samples, native byte order
    QList<SynthEvent> events; // in sample order, within or before this chunk's audio
    bool last = false;        // the job is complete (or failed) with this chunk
    bool failed = false;      // the engine could not speak; no more audio follows
};

struct SynthRequest
{
    Voice voice;
    QList<tags::Segment> segments;
    int speedPercent = 100;
};

class Synthesizer final : public QObject
{
    Q_OBJECT
public:
    static Synthesizer &instance();
    ~Synthesizer() override;

    // Whether the engine started and a voice could be set (asked once, then cached).
    bool available();
    // The engine's sample rate (22050 with espeak-ng); 0 when it is not available.
    int sampleRate();

    // Queues a job; its audio follows as chunkReady(job, ...) signals, the last with
    // `last` set. The engine stays at most a few seconds ahead of setConsumed().
    quint64 start(const SynthRequest &request);
    // Drops the job at once: no further chunks are sent for it.
    void cancel(quint64 job);
    // How far the job's listener has got, in samples.
    void setConsumed(quint64 job, qint64 samples);

    // Synthesizes a whole request on the engine thread and waits for it (tests, bench).
    struct Rendered
    {
        QVector<qint16> samples;
        QList<SynthEvent> events;
        bool ok = false;
    };
    Rendered render(const SynthRequest &request);

    // espeak-ng's phoneme names for `word` in the default voice, separated by '_'
    // ("tS_'aI_m_w_E_l"); empty when the engine is not there. Waits for the engine's
    // thread: call it from a worker, never from the UI thread.
    QString phonemes(const QString &word);

    // How far ahead of the listener the engine may run.
    static constexpr int kAheadSeconds = 3;

Q_SIGNALS:
    // Emitted from the engine thread; connect with a queued (or automatic) connection.
    void chunkReady(quint64 job, const chimewell::voice::SynthChunk &chunk);

private:
    Synthesizer();
    class Engine;
    Engine *m_engine = nullptr;
};

// The mouth shape for one espeak-ng phoneme mnemonic ("p", "aI", "@2", "_:").
Mouth mouthForPhoneme(const char *name);

// espeak-ng's pitch (0-100) for a base pitch in Hz: 50 is about 100 Hz, one octave is 50.
int espeakPitchForHz(int hz);

} // namespace chimewell::voice

Q_DECLARE_METATYPE(chimewell::voice::SynthChunk)
