#include "listen/decoder.h"

#include "listen/pronunciation.h"
#include "listen/sphinxlibrary.h"

#include <QFile>
#include <QHash>
#include <QTemporaryFile>

#include <algorithm>
#include <utility>

namespace chimewell::listen {

namespace {

const char *const kPhones[] = {"AA", "AE", "AH", "AO", "AW", "AY", "B", "CH", "D", "DH", "EH", "ER", "EY",
                               "F",  "G",  "HH", "IH", "IY", "JH", "K", "L", "M",  "N", "NG", "OW", "OY",
                               "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V", "W",  "Y", "Z",  "ZH"};

// The words of a hypothesis, without its silences and noises.
QStringList spokenWords(const char *hyp)
{
    QStringList words;
    for (const QString &w : Grammar::splitWords(hyp ? QString::fromUtf8(hyp) : QString()))
        if (!w.startsWith(QLatin1Char('<')) && !w.startsWith(QLatin1Char('[')))
            words.append(w);
    return words;
}
} // namespace

Decoder::Decoder(PhonemeSource phonemes) : m_phonemes(std::move(phonemes)) {}

Decoder::~Decoder() { release(); }

void Decoder::release()
{
    if (m_phones)
        m_api->ps_free(std::exchange(m_phones, nullptr));
    if (m_ps)
        m_api->ps_free(std::exchange(m_ps, nullptr));
    if (m_phonesConfig)
        m_api->cmd_ln_free_r(std::exchange(m_phonesConfig, nullptr));
    if (m_config)
        m_api->cmd_ln_free_r(std::exchange(m_config, nullptr));
}

QString Decoder::modelFolder()
{
    const QString folder = QStringLiteral("/usr/share/pocketsphinx/model/en-us");
    if (QFile::exists(folder + QStringLiteral("/en-us/mdef")) && QFile::exists(folder + QStringLiteral("/cmudict-en-us.dict")))
        return folder;
    return QString();
}

// One pocketsphinx decoder on the model, with `dict` for its words.
ps_decoder_t *Decoder::makeDecoder(const QByteArray &dict, bool commands, cmd_ln_t **config)
{
    const QByteArray hmm = (modelFolder() + QStringLiteral("/en-us")).toLocal8Bit();
    const QByteArray endSilence = QByteArray::number(kEndSilenceMs / 10);
    // The commands' search keeps many more paths than pocketsphinx's defaults: with
    // so few words its narrow beams cut off the right command's path for a longer
    // one's beginning ("tell" lost to "to be quiet"), or keep a poor path whose
    // score says little, and a sentence then seems to fit a command.
    const char *beam = commands ? "1e-80" : "1e-48";
    const char *wordBeam = commands ? "1e-60" : "7e-29";
    const char *lastPhoneBeam = commands ? "1e-60" : "1e-40";
    *config = m_api->cmd_ln_init(nullptr, m_api->ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", dict.constData(),
                                 "-logfn", "/dev/null",
                                 // Synthetic and close voices lose their quiet consonants to noise removal.
                                 "-remove_noise", "no", "-vad_postspeech", endSilence.constData(), "-beam", beam,
                                 "-pbeam", beam, "-wbeam", wordBeam, "-lpbeam", lastPhoneBeam, nullptr);
    return *config ? m_api->ps_init(*config) : nullptr;
}

bool Decoder::start(QString *error)
{
    if (m_ps)
        return true;
    if (!m_api && !(m_api = SphinxLibrary::get(error)))
        return false;
    const QString model = modelFolder();
    if (model.isEmpty()) {
        *error = QStringLiteral("the speech model (pocketsphinx-en-us) is not installed");
        return false;
    }
    m_ps = makeDecoder((model + QStringLiteral("/cmudict-en-us.dict")).toLocal8Bit(), true, &m_config);
    // The phone loop's dictionary holds its phones only, which spares a second copy of
    // the large one; pocketsphinx reads it from a file.
    QTemporaryFile phoneDict;
    if (m_ps && phoneDict.open()) {
        for (const char *p : kPhones)
            phoneDict.write("phone_" + QByteArray(p).toLower() + ' ' + p + '\n');
        if (phoneDict.flush())
            m_phones = makeDecoder(QFile::encodeName(phoneDict.fileName()), false, &m_phonesConfig);
    }
    if (!m_ps || !m_phones || !addPhoneLoop()) {
        *error = QStringLiteral("the speech recogniser could not start");
        release(); // a later start() tries afresh
        return false;
    }
    return true;
}

// The yardstick for confidence: any phones in any order, as a grammar of one-phone words.
bool Decoder::addPhoneLoop()
{
    QByteArray grammar = "#JSGF V1.0;\ngrammar phones;\npublic <phones> = (";
    bool first = true;
    for (const char *p : kPhones) {
        grammar += (first ? "phone_" : " | phone_") + QByteArray(p).toLower();
        first = false;
    }
    grammar += ")+;\n";
    return m_api->ps_set_jsgf_string(m_phones, "phones", grammar.constData()) >= 0
           && m_api->ps_set_search(m_phones, "phones") >= 0;
}

QString Decoder::pronounce(const QString &word)
{
    const QByteArray w = word.toUtf8();
    if (char *known = m_api->ps_lookup_word(m_ps, w.constData())) {
        m_api->ckd_free(known);
        return QStringLiteral("known");
    }
    const QString phones = m_phonemes ? arpabetFromEspeak(m_phonemes(word)) : QString();
    if (phones.isEmpty())
        return QString();
    if (m_api->ps_add_word(m_ps, w.constData(), phones.toLatin1().constData(), FALSE) < 0)
        return QString();
    return phones;
}

bool Decoder::setGrammar(const Grammar &grammar, QStringList *skipped)
{
    if (!m_ps)
        return false;
    if (m_inUtterance) {
        m_api->ps_end_utt(m_ps);
        m_api->ps_end_utt(m_phones);
        m_inUtterance = false;
    }
    // Commands whose words cannot all be pronounced are left out; the others stay
    // at their places so that entry numbers keep meaning the same.
    QList<Grammar::Entry> entries = grammar.entries();
    QHash<QString, bool> sayable;
    for (Grammar::Entry &e : entries) {
        const Phrase p = Phrase::parse(e.voice);
        for (const QString &w : p.words()) {
            auto it = sayable.find(w);
            if (it == sayable.end())
                it = sayable.insert(w, !pronounce(w).isEmpty());
            if (!*it) {
                if (skipped)
                    skipped->append(e.name + QStringLiteral(": \"") + w + QStringLiteral("\" cannot be pronounced"));
                e.voice.clear();
                break;
            }
        }
    }
    m_grammar = Grammar(entries);
    const QString text = m_grammar.jsgf();
    if (text.isEmpty())
        return false;
    const QByteArray name = "commands" + QByteArray::number(++m_searchCount);
    if (m_api->ps_set_jsgf_string(m_ps, name.constData(), text.toUtf8().constData()) < 0)
        return false;
    if (!m_search.isEmpty())
        m_api->ps_unset_search(m_ps, m_search.constData());
    m_search = name;
    return m_api->ps_set_search(m_ps, name.constData()) >= 0;
}

bool Decoder::inSpeech() const { return m_inUtterance && m_api->ps_get_in_speech(m_ps); }

bool Decoder::utteranceOver()
{
    if (m_finished)
        return true;
    if (!m_spoke || inSpeech())
        return false;
    int32 score = 0;
    const QStringList words = spokenWords(m_api->ps_get_hyp(m_ps, &score));
    if (words.isEmpty())
        return false;
    if (m_grammar.match(words) >= 0 || m_quiet >= qint64(kUnfinishedPauseMs) * kSampleRate / 1000)
        return true;
    if (m_lookedAhead || m_lookAheads >= kMostLookAheads || m_samples > qint64(kMaxUtteranceSeconds) * kSampleRate)
        return false;
    m_lookedAhead = true;
    ++m_lookAheads;
    return finishesOnCommand();
}

bool Decoder::finishesOnCommand()
{
    finishSearches();
    // Finished on a command that is only a guess, the speaker may well be pausing
    // between its words ("character ... properties" finished as "what is the").
    if (answer(QString()).entry >= 0)
        return true;
    // Both again from the start, so that they keep hearing the same audio in the same steps.
    if (m_api->ps_start_utt(m_ps) < 0)
        return true; // what was heard is all there is
    if (m_api->ps_start_utt(m_phones) < 0) {
        m_api->ps_end_utt(m_ps);
        return true;
    }
    m_finished = false;
    m_api->ps_process_raw(m_ps, m_heard.constData(), size_t(m_heard.size()), FALSE, FALSE);
    m_api->ps_process_raw(m_phones, m_heard.constData(), size_t(m_heard.size()), FALSE, FALSE);
    return false;
}

bool Decoder::begin()
{
    if (!m_ps || m_grammar.isEmpty())
        return false;
    if (m_inUtterance && !m_finished) {
        m_api->ps_end_utt(m_ps);
        m_api->ps_end_utt(m_phones);
    }
    m_samples = 0;
    m_spoke = false;
    m_quiet = 0;
    m_finished = false;
    m_lookAheads = 0;
    m_lookedAhead = false;
    m_heard.clear();
    m_floor.reset();
    m_inUtterance = m_api->ps_set_search(m_ps, m_search.constData()) >= 0 && m_api->ps_start_utt(m_ps) >= 0;
    if (m_inUtterance && m_api->ps_start_utt(m_phones) < 0) {
        m_api->ps_end_utt(m_ps);
        m_inUtterance = false;
    }
    return m_inUtterance;
}

void Decoder::feed(const qint16 *samples, qsizetype count)
{
    if (!m_inUtterance || m_finished || count <= 0)
        return;
    // The command and the yardstick hear the same audio in the same steps, so their
    // scores compare, and nothing is left to decode once the speaker stops.
    m_buffer.resize(count);
    std::copy(samples, samples + count, m_buffer.begin());
    m_floor.add(m_buffer.data(), count);
    samples = m_buffer.constData();
    m_api->ps_process_raw(m_ps, samples, size_t(count), FALSE, FALSE);
    m_api->ps_process_raw(m_phones, samples, size_t(count), FALSE, FALSE);
    m_samples += count;
    if (m_samples <= qint64(kMaxUtteranceSeconds) * kSampleRate)
        m_heard.append(m_buffer);
    if (m_api->ps_get_in_speech(m_ps)) {
        m_spoke = true;
        m_quiet = 0;
        m_lookedAhead = false;
    } else if (m_spoke) {
        m_quiet += count;
    }
}

Decoder::Path Decoder::path(ps_decoder_t *ps) const
{
    Path path;
    for (ps_seg_t *seg = m_api->ps_seg_iter(ps); seg; seg = m_api->ps_seg_next(seg)) {
        Segment s;
        const char *word = m_api->ps_seg_word(seg);
        s.word = word ? QByteArray(word) : QByteArray();
        m_api->ps_seg_frames(seg, &s.first, &s.last);
        int32 acoustic = 0, language = 0, backoff = 0;
        m_api->ps_seg_prob(seg, &acoustic, &language, &backoff);
        s.score = acoustic;
        if (s.last >= s.first && !s.word.isEmpty() && s.word != "(NULL)")
            path.append(s);
    }
    return path;
}

Heard Decoder::end(const QString &preferredOwner)
{
    Heard h;
    if (!m_inUtterance)
        return h;
    if (!m_finished)
        finishSearches();
    m_inUtterance = false;
    m_finished = false;
    return answer(preferredOwner);
}

Heard Decoder::answer(const QString &preferredOwner) const
{
    Heard h;
    QStringList spoken = m_soFar;
    Path commands = m_soFarPath;
    int32 score = 0;
    h.frames = m_api->ps_get_n_frames(m_ps);
    const QStringList finished = spokenWords(m_api->ps_get_hyp(m_ps, &score));
    if (!finished.isEmpty()) {
        spoken = finished;
        commands = path(m_ps);
    } else if (m_grammar.match(spoken) < 0) {
        spoken.clear();
    }
    h.words = spoken.join(QLatin1Char(' '));
    const bool tooLong = m_samples > qint64(kMaxUtteranceSeconds) * kSampleRate;
    if (spoken.isEmpty() || tooLong || h.frames <= 0 || !m_phonesOk || !m_api->ps_get_hyp(m_phones, &score))
        return h;
    const Path phones = path(m_phones);
    h.confidence = confidence(commands, phones) - threshold(m_floor.signalToNoiseDb());
    if (h.confidence >= 0)
        h.entry = m_grammar.match(spoken, preferredOwner);
    return h;
}

void Decoder::finishSearches()
{
    // The best path so far, for when the search cannot finish on the grammar's last
    // word: a short command's path may have been pruned for a longer one's beginning.
    int32 score = 0;
    m_soFar = spokenWords(m_api->ps_get_hyp(m_ps, &score));
    m_soFarPath = m_soFar.isEmpty() ? Path() : path(m_ps);
    m_api->ps_end_utt(m_ps);
    m_phonesOk = m_api->ps_end_utt(m_phones) >= 0;
    m_finished = true;
}

double Decoder::threshold(double snrDb)
{
    const double share = qBound(0.0, (snrDb - kNoisySnrDb) / (kQuietSnrDb - kNoisySnrDb), 1.0);
    return kNoisyThreshold + share * (kQuietThreshold - kNoisyThreshold);
}

double Decoder::confidence(const Path &commands, const Path &phones)
{
    if (phones.isEmpty())
        return 0;
    const int from = phones.first().first;
    const int to = phones.last().last;
    const int frames = to - from + 1;
    // The yardstick's score frame by frame, and where it heard a sound.
    QVector<double> best(frames, 0);
    QVector<bool> sound(frames, false);
    for (const Segment &s : phones) {
        for (int f = qMax(s.first, from); f <= qMin(s.last, to); ++f) {
            best[f - from] = double(s.score) / (s.last - s.first + 1);
            sound[f - from] = s.word.startsWith("phone_");
        }
    }
    double worse = 0;
    int taken = 0;
    for (const Segment &s : commands) {
        double yardstick = 0;
        const bool silence = s.word.startsWith('<') || s.word.startsWith('[') || s.word.startsWith('+');
        for (int f = qMax(s.first, from); f <= qMin(s.last, to); ++f) {
            yardstick += best[f - from];
            if (silence && sound[f - from])
                ++taken;
        }
        worse += s.score - yardstick;
    }
    return worse / frames - kSilencePenalty * qMax(0, taken - kSilenceAllowance) / 100.0;
}

} // namespace chimewell::listen
