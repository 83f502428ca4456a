#include "voice/synthesizer.h"

#include "common/backgroundwork.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcVoice, "chimewell.voice", QtWarningMsg)

namespace chimewell::voice {

Mouth mouthForPhoneme(const char *name)
{
    if (!name || !*name || name[0] == '_')
        return Mouth::Closed; // pauses
    // The mnemonic without stress marks, length marks and the engine's variant digits.
    char base[9] = {};
    int n = 0;
    for (int i = 0; i < 8 && name[i] && n < 8; ++i) {
        const char c = name[i];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '@' || c == '&' || c == '0' || c == '3')
            base[n++] = c;
        else if (c >= '1' && c <= '9' && n > 0)
            break; // "t2", "@2": variants of the same sound
    }
    if (n == 0)
        return Mouth::Small;
    const char first = base[0];
    switch (first) {
    case 'p':
    case 'b':
    case 'm':
        return n == 1 ? Mouth::Closed : Mouth::Small;
    case 'f':
    case 'v':
        return Mouth::Small;
    case 'a':
    case 'A':
    case '&':
    case 'V':
        return Mouth::Open;
    case 'i':
    case 'e':
    case 'E':
    case 'I':
        return Mouth::Wide;
    case 'o':
    case 'O':
    case 'u':
    case 'U':
    case 'w':
    case '0':
        return Mouth::Round;
    default:
        return Mouth::Small;
    }
}

int espeakPitchForHz(int hz)
{
    if (hz <= 0)
        return 50;
    const double p = 50.0 + 50.0 * std::log2(double(hz) / 100.0);
    return std::clamp(int(std::lround(p)), 0, 100);
}

namespace {

using tags::Segment;

// Long texts are spoken in pieces of about a sentence so the first audio is ready at
// once and the engine never holds more than a few seconds ahead.
constexpr int kMaxPieceChars = 220;
constexpr int kMinPieceChars = 40;
constexpr int kPauseStepMs = 500;

qsizetype pieceEnd(const QString &text, qsizetype from)
{
    const qsizetype n = text.size();
    if (n - from <= kMaxPieceChars)
        return n;
    const qsizetype limit = from + kMaxPieceChars;
    qsizetype blank = -1;
    for (qsizetype i = limit; i > from + kMinPieceChars; --i) {
        const QChar c = text[i - 1];
        const bool atBlank = text[i] == QLatin1Char(' ');
        if (atBlank && (c == QLatin1Char('.') || c == QLatin1Char('!') || c == QLatin1Char('?')
                        || c == QLatin1Char(';') || c == QLatin1Char(':')))
            return i;
        if (atBlank && blank < 0)
            blank = i;
    }
    if (blank > 0)
        return blank;
    qsizetype cut = limit;
    if (text[cut - 1].isHighSurrogate())
        --cut;
    return cut;
}

bool endsSentence(QStringView piece)
{
    piece = piece.trimmed();
    if (piece.isEmpty())
        return false;
    const QChar c = piece.back();
    return c == QLatin1Char('.') || c == QLatin1Char('!') || c == QLatin1Char('?');
}

} // namespace

class Synthesizer::Engine
{
public:
    Engine()
    {
        s_current = this;
        m_initFuture = m_initPromise.get_future().share();
        m_thread = std::thread([this] { run(); });
    }
    ~Engine()
    {
        shutdown();
        s_current = nullptr;
    }

    bool stopped()
    {
        std::lock_guard lock(m_mutex);
        return m_quit;
    }

    void shutdown()
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_quit)
                return;
            m_quit = true;
            for (auto &j : m_jobs)
                j->cancelled = true;
        }
        m_cv.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    int sampleRate() { return m_initFuture.get(); }

    struct Job
    {
        quint64 id = 0;
        SynthRequest request;
        std::function<void(quint64, SynthChunk &&)> deliver;
        std::function<void(bool available)> task; // a job that only runs this on the engine's thread
        bool unbounded = false;
        std::atomic<bool> cancelled{false};
        std::atomic<qint64> produced{0};
        std::atomic<qint64> consumed{0};
        // Progress, engine thread only.
        int segment = 0;
        qsizetype offset = 0; // Speech: characters done; Pause: milliseconds done
        int lastWord = -1;
        int lastMouth = -1;
        qint64 lastEventSample = 0;
        SynthChunk pending;
        qint64 pendingSamples = 0;
    };

    quint64 addTask(std::function<void(bool)> task)
    {
        auto job = std::make_shared<Job>();
        job->task = std::move(task);
        job->unbounded = true;
        return enqueue(std::move(job));
    }

    quint64 add(SynthRequest request, std::function<void(quint64, SynthChunk &&)> deliver, bool unbounded)
    {
        auto job = std::make_shared<Job>();
        job->request = std::move(request);
        job->deliver = std::move(deliver);
        job->unbounded = unbounded;
        return enqueue(std::move(job));
    }

    // The job's id, or 0 when the engine's thread is ending.
    quint64 enqueue(std::shared_ptr<Job> job)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_quit)
                return 0;
            job->id = ++m_nextId;
            m_jobs.push_back(job);
        }
        m_cv.notify_all();
        return job->id;
    }

    void cancel(quint64 id)
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it) {
            if ((*it)->id == id) {
                (*it)->cancelled = true;
                m_jobs.erase(it);
                return;
            }
        }
    }

    void setConsumed(quint64 id, qint64 samples)
    {
        {
            std::lock_guard lock(m_mutex);
            for (auto &j : m_jobs) {
                if (j->id == id) {
                    if (samples <= j->consumed)
                        return;
                    j->consumed = samples;
                    break;
                }
            }
        }
        m_cv.notify_all();
    }

private:
    bool runnable(const Job &j) const
    {
        if (j.cancelled)
            return false;
        return j.unbounded || j.produced - j.consumed < qint64(kAheadSeconds) * m_rate;
    }

    void run()
    {
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 40, nullptr,
                                           espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
        bool ok = rate > 0;
        if (ok) {
            m_rate = rate;
            espeak_SetSynthCallback(&Engine::callback);
            loadVoiceTables();
            ok = selectVoice(Voice(), tags::Style::Normal);
        }
        if (!ok)
            qCWarning(lcVoice, "the speech engine espeak-ng could not start; speaking silently");
        m_available = ok;
        m_initPromise.set_value(ok ? m_rate : 0);

        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [this] {
                    return m_quit || std::any_of(m_jobs.begin(), m_jobs.end(), [this](const auto &j) { return runnable(*j); });
                });
                if (m_quit)
                    break;
                // Round robin: the first runnable job does one step and goes to the back.
                auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [this](const auto &j) { return runnable(*j); });
                job = *it;
                m_jobs.erase(it);
                m_jobs.push_back(job);
            }
            const bool done = step(*job);
            if (done) {
                std::lock_guard lock(m_mutex);
                m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), job), m_jobs.end());
            }
        }
        if (rate > 0)
            espeak_Terminate();
    }

    // One piece of work of a job; true when the job is over.
    bool step(Job &job)
    {
        if (job.cancelled)
            return true;
        if (job.task) {
            if (m_available)
                selectVoice(Voice(), tags::Style::Normal);
            job.task(m_available);
            return true;
        }
        const auto &segments = job.request.segments;
        if (!m_available || job.segment >= segments.size()) {
            job.pending.last = true;
            job.pending.failed = !m_available;
            deliver(job);
            return true;
        }
        const Segment &s = segments.at(job.segment);
        switch (s.kind) {
        case Segment::Kind::Mark:
            addEvent(job, {SynthEvent::Type::Mark, job.produced + job.pendingSamples, s.mark, 0});
            ++job.segment;
            return false; // delivered with the next audio
        case Segment::Kind::Pause: {
            if (job.offset == 0)
                mouth(job, Mouth::Closed, job.produced + job.pendingSamples);
            const int ms = std::min<int>(kPauseStepMs, s.pauseMs - int(job.offset));
            appendSilence(job, qint64(ms) * m_rate / 1000);
            job.offset += ms;
            if (job.offset >= s.pauseMs) {
                job.offset = 0;
                ++job.segment;
            }
            deliver(job);
            return false;
        }
        case Segment::Kind::Speech:
            speakPiece(job, s);
            if (job.cancelled)
                return true;
            deliver(job);
            return false;
        }
        return true;
    }

    void speakPiece(Job &job, const Segment &s)
    {
        const qsizetype from = job.offset;
        const qsizetype to = pieceEnd(s.spoken, from);
        const QStringView piece = QStringView(s.spoken).mid(from, to - from);
        const bool lastPiece = to >= s.spoken.size();

        applySettings(job.request, s);
        m_job = &job;
        m_pieceStart = job.produced + job.pendingSamples;
        m_pieceOffset = from;
        m_segment = &s;
        m_codePointToUnit.clear();
        bool surrogates = false;
        for (QChar c : piece) {
            if (c.isSurrogate()) {
                surrogates = true;
                break;
            }
        }
        if (surrogates) {
            for (qsizetype i = 0; i < piece.size(); ++i) {
                m_codePointToUnit.push_back(int(i));
                if (piece[i].isHighSurrogate() && i + 1 < piece.size() && piece[i + 1].isLowSurrogate())
                    ++i;
            }
        }
        const QByteArray utf8 = piece.toUtf8();
        unsigned int flags = espeakCHARS_UTF8;
        if (!lastPiece && endsSentence(piece))
            flags |= espeakENDPAUSE;
        const espeak_ERROR err = espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                              flags, nullptr, nullptr);
        m_job = nullptr;
        m_segment = nullptr;
        if (job.cancelled)
            return;
        if (err != EE_OK)
            qCWarning(lcVoice, "espeak_Synth failed (%d); the piece is skipped", int(err));

        job.offset = to;
        if (lastPiece) {
            const qint64 end = job.produced + job.pendingSamples;
            // Words the engine passed over (punctuation only, say) still show in time.
            for (int w = job.lastWord + 1; w < s.words.size(); ++w)
                addEvent(job, {SynthEvent::Type::Word, end, s.words[w].displayStart, s.words[w].displayLength});
            mouth(job, Mouth::Closed, end);
            job.lastWord = -1;
            job.offset = 0;
            ++job.segment;
        }
    }

    static int callback(short *wav, int count, espeak_EVENT *events)
    {
        Engine *self = s_current;
        if (!self || !self->m_job)
            return 1;
        Job &job = *self->m_job;
        if (job.cancelled || self->stopped())
            return 1;
        for (espeak_EVENT *e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e)
            self->engineEvent(job, *e);
        if (wav && count > 0) {
            job.pending.pcm.append(reinterpret_cast<const char *>(wav), qsizetype(count) * 2);
            job.pendingSamples += count;
        }
        // The first audio of a job goes out as soon as there is a little; later ones in
        // bigger chunks.
        const qint64 threshold = job.produced == 0 ? self->m_rate / 10 : self->m_rate / 2;
        if (job.pendingSamples >= threshold)
            self->deliver(job);
        return 0;
    }

    void engineEvent(Job &job, const espeak_EVENT &e)
    {
        const qint64 sample = m_pieceStart + qint64(std::max(0, e.audio_position)) * m_rate / 1000;
        switch (e.type) {
        case espeakEVENT_WORD: {
            int pos = std::max(0, e.text_position - 1); // 1-based, in code points
            if (!m_codePointToUnit.empty())
                pos = m_codePointToUnit[std::min<size_t>(size_t(pos), m_codePointToUnit.size() - 1)];
            const int unit = int(m_pieceOffset) + pos;
            const auto &words = m_segment->words;
            auto it = std::upper_bound(words.begin(), words.end(), unit,
                                       [](int u, const tags::Word &w) { return u < w.spokenStart; });
            const int index = std::max(0, int(it - words.begin()) - 1);
            for (int w = job.lastWord + 1; w <= index && w < words.size(); ++w)
                addEvent(job, {SynthEvent::Type::Word, sample, words[w].displayStart, words[w].displayLength});
            job.lastWord = std::max(job.lastWord, index);
            break;
        }
        case espeakEVENT_PHONEME: {
            char name[9] = {};
            std::memcpy(name, e.id.string, 8);
            mouth(job, mouthForPhoneme(name), sample);
            break;
        }
        default:
            break;
        }
    }

    void mouth(Job &job, Mouth m, qint64 sample)
    {
        if (int(m) == job.lastMouth)
            return;
        job.lastMouth = int(m);
        addEvent(job, {SynthEvent::Type::Mouth, sample, int(m), 0});
    }

    void addEvent(Job &job, SynthEvent e)
    {
        e.sample = std::max(e.sample, job.lastEventSample);
        job.lastEventSample = e.sample;
        job.pending.events.append(e);
    }

    void appendSilence(Job &job, qint64 samples)
    {
        job.pending.pcm.append(QByteArray(samples * 2, '\0'));
        job.pendingSamples += samples;
    }

    void deliver(Job &job)
    {
        if (job.cancelled)
            return;
        if (job.pending.pcm.isEmpty() && job.pending.events.isEmpty() && !job.pending.last)
            return;
        SynthChunk chunk = std::move(job.pending);
        job.pending = SynthChunk();
        job.produced += job.pendingSamples;
        job.pendingSamples = 0;
        job.deliver(job.id, std::move(chunk));
    }

    // --- voices -------------------------------------------------------------

    void loadVoiceTables()
    {
        if (const espeak_VOICE **voices = espeak_ListVoices(nullptr)) {
            QHash<QString, int> best;
            for (const espeak_VOICE **v = voices; *v; ++v) {
                const QString id = QString::fromUtf8((*v)->identifier ? (*v)->identifier : "");
                if (id.isEmpty() || id.startsWith(QLatin1String("mb/")))
                    continue; // MBROLA voices need a program that is not part of the engine
                m_languages.insert(id.toLower(), id);
                if ((*v)->name)
                    m_languages.insert(QString::fromUtf8((*v)->name).toLower(), id);
                // `languages`: a priority byte, a name, a zero; repeated; a zero ends it.
                for (const char *p = (*v)->languages; p && *p;) {
                    const int priority = *p++;
                    const QString lang = QString::fromUtf8(p).toLower();
                    p += std::strlen(p) + 1;
                    if (!best.contains(lang) || priority < best.value(lang)) {
                        best.insert(lang, priority);
                        m_languages.insert(lang, id);
                    }
                }
            }
        }
        espeak_VOICE wanted;
        std::memset(&wanted, 0, sizeof wanted);
        wanted.languages = "variant";
        if (const espeak_VOICE **variants = espeak_ListVoices(&wanted)) {
            for (const espeak_VOICE **v = variants; *v; ++v) {
                QString id = QString::fromUtf8((*v)->identifier ? (*v)->identifier : "");
                const int slash = int(id.lastIndexOf(QLatin1Char('/')));
                id = id.mid(slash + 1);
                if (!id.isEmpty())
                    m_variants.insert(id.toLower(), id);
            }
        }
    }

    bool setVoiceName(const QByteArray &name)
    {
        if (name == m_voiceName)
            return true;
        if (espeak_SetVoiceByName(name.constData()) != EE_OK)
            return false;
        m_voiceName = name;
        return true;
    }

    // The character's voice, or en-us, or the engine's default, with the style's variant.
    bool selectVoice(const Voice &voice, tags::Style style)
    {
        QString variant = style == tags::Style::Whisper ? QStringLiteral("whisper")
                                                        : m_variants.value(voice.variant.trimmed().toLower());
        const QString suffix = variant.isEmpty() ? QString() : QLatin1Char('+') + variant;
        for (const QString &lang : {voice.language.trimmed().toLower(), QStringLiteral("en-us")}) {
            const QString id = m_languages.value(lang);
            if (id.isEmpty())
                continue;
            if (setVoiceName((id + suffix).toUtf8()) || setVoiceName(id.toUtf8()))
                return true;
        }
        if (m_voiceName == "<default>")
            return true;
        espeak_VOICE wanted;
        std::memset(&wanted, 0, sizeof wanted);
        if (espeak_SetVoiceByProperties(&wanted) != EE_OK)
            return false;
        m_voiceName = "<default>";
        return true;
    }

    void applySettings(const SynthRequest &request, const Segment &s)
    {
        const Voice &v = request.voice;
        const tags::Settings &t = s.settings;
        selectVoice(v, t.style);
        double rate = t.rate > 0 ? t.rate : v.rate;
        rate = rate * std::clamp(request.speedPercent, 10, 1000) / 100.0;
        int pitch = t.pitchHz > 0 ? espeakPitchForHz(t.pitchHz) : std::clamp(v.pitch, 0, 100);
        int range = t.style == tags::Style::Monotone ? 0 : 50;
        int volume = t.volume >= 0 ? int(std::lround(t.volume * 100.0 / 65535.0)) : 100;
        if (s.emphasis) {
            rate *= 0.85;
            pitch = std::min(100, pitch + 12);
            if (range > 0)
                range = 85;
            volume = volume * 5 / 4;
        }
        espeak_SetParameter(espeakRATE, std::clamp(int(std::lround(rate)), espeakRATE_MINIMUM, espeakRATE_MAXIMUM), 0);
        espeak_SetParameter(espeakPITCH, pitch, 0);
        espeak_SetParameter(espeakRANGE, range, 0);
        espeak_SetParameter(espeakVOLUME, std::clamp(volume, 0, 200), 0);
    }

    static Engine *s_current;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::shared_ptr<Job>> m_jobs;
    bool m_quit = false;
    quint64 m_nextId = 0;
    std::thread m_thread;
    std::promise<int> m_initPromise;
    std::shared_future<int> m_initFuture;

    // Engine thread only.
    int m_rate = 22050;
    bool m_available = false;
    QHash<QString, QString> m_languages; // language, name or identifier -> identifier
    QHash<QString, QString> m_variants;  // lower case -> file name
    QByteArray m_voiceName;
    Job *m_job = nullptr;
    const Segment *m_segment = nullptr;
    qint64 m_pieceStart = 0;
    qsizetype m_pieceOffset = 0;
    std::vector<int> m_codePointToUnit;
};

Synthesizer::Engine *Synthesizer::Engine::s_current = nullptr;

Synthesizer &Synthesizer::instance()
{
    static Synthesizer synthesizer;
    return synthesizer;
}

Synthesizer::Synthesizer()
{
    qRegisterMetaType<SynthChunk>();
    m_engine = new Engine;
    // The engine thread must be gone before the application object is.
    onStopBackgroundWork([] { Synthesizer::instance().m_engine->shutdown(); });
}

Synthesizer::~Synthesizer()
{
    delete m_engine;
}

bool Synthesizer::available()
{
    return sampleRate() > 0;
}

int Synthesizer::sampleRate()
{
    return m_engine->sampleRate();
}

quint64 Synthesizer::start(const SynthRequest &request)
{
    return m_engine->add(
        request, [this](quint64 id, SynthChunk &&chunk) { Q_EMIT chunkReady(id, chunk); }, false);
}

void Synthesizer::cancel(quint64 job)
{
    m_engine->cancel(job);
}

void Synthesizer::setConsumed(quint64 job, qint64 samples)
{
    m_engine->setConsumed(job, samples);
}

Synthesizer::Rendered Synthesizer::render(const SynthRequest &request)
{
    struct Shared
    {
        std::mutex mutex;
        Rendered result;
        std::promise<void> done;
    };
    auto shared = std::make_shared<Shared>();
    const quint64 id = m_engine->add(
        request,
        [shared](quint64, SynthChunk &&chunk) {
            std::lock_guard lock(shared->mutex);
            const qint64 at = shared->result.samples.size();
            shared->result.samples.resize(at + chunk.pcm.size() / 2);
            std::memcpy(shared->result.samples.data() + at, chunk.pcm.constData(), size_t(chunk.pcm.size() / 2) * 2);
            shared->result.events += chunk.events;
            if (chunk.last) {
                shared->result.ok = !chunk.failed;
                shared->done.set_value();
            }
        },
        true);
    if (id == 0)
        return {};
    auto done = shared->done.get_future();
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (m_engine->stopped())
            return {};
    }
    std::lock_guard lock(shared->mutex);
    return shared->result;
}

QString Synthesizer::phonemes(const QString &word)
{
    auto result = std::make_shared<std::promise<QString>>();
    const QByteArray utf8 = word.toUtf8();
    const quint64 id = m_engine->addTask([result, utf8](bool available) {
        QString out;
        if (available) {
            const void *text = utf8.constData();
            // Phoneme names separated by '_' so that "aI" and "tS" stay whole.
            while (text) {
                const char *p = espeak_TextToPhonemes(&text, espeakCHARS_UTF8, int('_') << 8);
                if (p && *p)
                    out += (out.isEmpty() ? QString() : QStringLiteral("_")) + QString::fromUtf8(p);
            }
        }
        result->set_value(out);
    });
    if (id == 0)
        return QString();
    auto done = result->get_future();
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (m_engine->stopped())
            return QString();
    }
    return done.get();
}

} // namespace chimewell::voice
