#include "listen/recognizer.h"

#include "voice/synthesizer.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QMediaDevices>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>

namespace chimewell::listen {

// How much audio the microphone hands over at a time.
constexpr int kReadMs = 40;

// Lives on the recogniser's thread; everything here runs there.
class ListenWorker final : public QObject
{
    Q_OBJECT
public:
    explicit ListenWorker(std::atomic<bool> *muted)
        : m_muted(muted), m_decoder([](const QString &word) { return voice::Synthesizer::instance().phonemes(word); })
    {
        m_silence.setSingleShot(true);
        connect(&m_silence, &QTimer::timeout, this, [this] { finish(); });
    }

    // The model (tens of megabytes) is loaded when listening is first asked
    // for, not when commands are registered: most users never speak to the clock.
    void setGrammar(const Grammar &grammar)
    {
        m_pending = grammar;
        m_ready = false;
        if (m_decoder.isStarted())
            applyGrammar();
    }

    void applyGrammar()
    {
        if (!m_pending)
            return;
        const Grammar grammar = *std::exchange(m_pending, std::nullopt);
        QStringList problems;
        for (int i = 0; i < grammar.entries().size(); ++i)
            if (!grammar.errors().at(i).isEmpty())
                problems.append(grammar.entries().at(i).name + QStringLiteral(": ") + grammar.errors().at(i));
        m_ready = m_decoder.setGrammar(grammar, &problems);
        if (!problems.isEmpty())
            Q_EMIT grammarProblems(problems);
    }

    void start(const QString &owner, bool once)
    {
        if (m_source)
            finish();
        if (!begin(owner, once))
            return;
        const QAudioDevice device = QMediaDevices::defaultAudioInput();
        if (device.isNull()) {
            fail(QStringLiteral("there is no microphone"));
            return;
        }
        m_format = decoderFormat();
        if (!device.isFormatSupported(m_format))
            m_format = device.preferredFormat();
        m_source = std::make_unique<QAudioSource>(device, m_format);
        // Small reads: the end of speech is noticed within one of them.
        m_source->setBufferSize(m_format.bytesForDuration(qint64(kReadMs) * 1000));
        connect(m_source.get(), &QAudioSource::stateChanged, this, [this](QAudio::State) {
            if (m_source && m_source->error() != QAudio::NoError && m_source->error() != QAudio::UnderrunError)
                fail(QStringLiteral("the microphone stopped working"));
        });
        m_io = m_source->start();
        if (!m_io || m_source->error() != QAudio::NoError) {
            fail(QStringLiteral("the microphone cannot be opened"));
            return;
        }
        connect(m_io, &QIODevice::readyRead, this, [this] { read(); });
        m_silence.start(Recognizer::kSilenceTimeoutMs);
    }

    void stop()
    {
        if (m_source)
            finish();
    }

    // Recorded audio taken as the microphone would give it: in its pieces, ending
    // where listening for one command would.
    void hearRecording(const QVector<qint16> &samples, const QString &owner)
    {
        if (m_source)
            finish();
        if (!begin(owner, true))
            return;
        m_format = decoderFormat();
        const auto bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(samples.constData()),
                                                   samples.size() * qsizetype(sizeof(qint16)));
        const qsizetype piece = m_format.bytesForDuration(qint64(kReadMs) * 1000);
        m_recording = true;
        for (qsizetype at = 0; m_recording && at < bytes.size(); at += piece)
            take(bytes.mid(at, piece));
        if (m_recording)
            finish();
    }

Q_SIGNALS:
    void heard(const chimewell::listen::Heard &heard, const QString &owner);
    void unavailable(const QString &reason);
    void grammarProblems(const QStringList &problems);

private:
    static QAudioFormat decoderFormat()
    {
        QAudioFormat f;
        f.setSampleRate(Decoder::kSampleRate);
        f.setChannelCount(1);
        f.setSampleFormat(QAudioFormat::Int16);
        return f;
    }

    bool ensureDecoder()
    {
        if (m_decoder.isStarted())
            return true;
        if (m_failedToStart)
            return false;
        QString why;
        if (!m_decoder.start(&why)) {
            m_failedToStart = true;
            Q_EMIT unavailable(why);
            return false;
        }
        return true;
    }

    // Everything listening needs before the first sound; false (with the answer
    // given) when nothing can be heard.
    bool begin(const QString &owner, bool once)
    {
        m_owner = owner;
        m_once = once;
        m_resampleAt = 0;
        if (!ensureDecoder())
            return false;
        applyGrammar();
        if (!m_ready || !m_decoder.begin()) {
            Q_EMIT heard(Heard{}, owner);
            return false;
        }
        return true;
    }

    void read()
    {
        if (m_io)
            take(m_io->readAll());
    }

    void take(const QByteArray &bytes)
    {
        if (bytes.isEmpty())
            return;
        if (m_muted->load())
            return; // a character is speaking: it must not hear itself
        const QVector<qint16> pcm = toDecoderFormat(bytes);
        m_decoder.feed(pcm.constData(), pcm.size());
        // Listening for one command: it ends when the speaker pauses after saying one.
        if (m_decoder.inSpeech()) {
            m_silence.start(Recognizer::kSilenceTimeoutMs);
        } else if (m_once && m_decoder.utteranceOver()) {
            finish();
        }
    }

    // The microphone's samples as the decoder wants them: 16 kHz mono 16-bit.
    QVector<qint16> toDecoderFormat(const QByteArray &bytes)
    {
        const int channels = qMax(1, m_format.channelCount());
        const int bps = qMax(1, m_format.bytesPerSample());
        const qsizetype frames = bytes.size() / (bps * channels);
        QVector<qint16> mono(frames);
        for (qsizetype i = 0; i < frames; ++i) {
            double sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += m_format.normalizedSampleValue(bytes.constData() + (i * channels + c) * bps);
            mono[i] = qint16(qBound(-32768.0, sum / channels * 32767.0, 32767.0));
        }
        const int rate = m_format.sampleRate();
        if (rate == Decoder::kSampleRate || rate <= 0)
            return mono;
        QVector<qint16> out;
        const double step = double(rate) / Decoder::kSampleRate;
        for (; m_resampleAt < frames - 1; m_resampleAt += step) {
            const auto i = qsizetype(m_resampleAt);
            const double f = m_resampleAt - double(i);
            out.append(qint16(mono[i] * (1 - f) + mono[i + 1] * f));
        }
        m_resampleAt -= double(frames);
        if (m_resampleAt < 0)
            m_resampleAt = 0;
        return out;
    }

    void closeSource()
    {
        m_silence.stop();
        if (m_source) {
            m_source->disconnect(this);
            m_source->stop();
            m_source.reset(); // nothing records while not listening
        }
        m_io = nullptr;
    }

    void finish()
    {
        if (m_io)
            read();
        closeSource();
        m_recording = false;
        Q_EMIT heard(m_decoder.end(m_owner), m_owner);
    }

    void fail(const QString &why)
    {
        closeSource();
        m_decoder.end();
        Q_EMIT unavailable(why);
        Q_EMIT heard(Heard{}, m_owner);
    }

    std::atomic<bool> *m_muted;
    Decoder m_decoder;
    std::optional<Grammar> m_pending; // registered, not yet given to the decoder
    bool m_ready = false;
    bool m_failedToStart = false;
    std::unique_ptr<QAudioSource> m_source;
    QPointer<QIODevice> m_io;
    QAudioFormat m_format;
    double m_resampleAt = 0;
    QTimer m_silence{this}; // a child, so it moves to the worker's thread with it
    QString m_owner;
    bool m_once = false;
    bool m_recording = false; // hearRecording() is feeding the decoder
};

namespace {
std::atomic<bool> g_muted{false};
}

Recognizer::Recognizer(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<Heard>();
    (void)voice::Synthesizer::instance(); // made here, in the UI thread, not on first use by the worker
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("listen"));
    m_worker = new ListenWorker(&g_muted);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &ListenWorker::heard, this, &Recognizer::finished);
    connect(m_worker, &ListenWorker::unavailable, this, [this](const QString &reason) {
        const bool first = !m_reported;
        m_reported = true;
        Q_EMIT unavailable(reason, first);
    });
    connect(m_worker, &ListenWorker::grammarProblems, this, &Recognizer::grammarProblems);
    m_thread->start(QThread::LowPriority);
}

Recognizer::~Recognizer()
{
    m_thread->quit();
    m_thread->wait();
}

void Recognizer::setGrammar(const Grammar &grammar)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, grammar] { w->setGrammar(grammar); }, Qt::QueuedConnection);
}

void Recognizer::start(const QString &owner, bool once)
{
    m_listening = true;
    QMetaObject::invokeMethod(m_worker, [w = m_worker, owner, once] { w->start(owner, once); }, Qt::QueuedConnection);
}

void Recognizer::stop()
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->stop(); }, Qt::QueuedConnection);
}

void Recognizer::hear(const QVector<qint16> &samples, const QString &owner)
{
    m_listening = true;
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, samples, owner] { w->hearRecording(samples, owner); }, Qt::QueuedConnection);
}

void Recognizer::setMuted(bool muted) { g_muted = muted; }

void Recognizer::finished(const Heard &h, const QString &owner)
{
    m_listening = false;
    Q_EMIT heard(h, owner);
}

} // namespace chimewell::listen

#include "recognizer.moc"
