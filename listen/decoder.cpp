#include "listen/decoder.h"

#include "listen/pronunciation.h"
#include "listen/sphinxlibrary.h"

#include <QFile>
#include <QHash>
#include <QTemporaryFile>

#include <utility>

namespace chimewell::listen {

namespace {

const char *const kPhones[] = {"AA", "AE", "AH", "AO", "AW", "AY", "B", "CH", "D", "DH", "EH", "ER", "EY",
                               "F",  "G",  "HH", "IH", "IY", "JH", "K", "L", "M",  "N", "NG", "OW", "OY",
                               "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V", "W",  "Y", "Z",  "ZH"};

// The acoustic part of the best path's score: how well its sounds fit, without the
// grammar's and the word penalties, so a grammar and a phone loop compare fairly.
qint64 acousticScore(const SphinxLibrary *api, ps_decoder_t *ps)
{
    qint64 total = 0;
    for (ps_seg_t *seg = api->ps_seg_iter(ps); seg; seg = api->ps_seg_next(seg)) {
        int32 ascr = 0, lscr = 0, lback = 0;
        api->ps_seg_prob(seg, &ascr, &lscr, &lback);
        total += ascr;
    }
    return total;
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
ps_decoder_t *Decoder::makeDecoder(const QByteArray &dict, cmd_ln_t **config)
{
    const QByteArray hmm = (modelFolder() + QStringLiteral("/en-us")).toLocal8Bit();
    const QByteArray endSilence = QByteArray::number(kEndSilenceMs / 10);
    *config = m_api->cmd_ln_init(nullptr, m_api->ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", dict.constData(),
                                 "-logfn", "/dev/null",
                                 // Synthetic and close voices lose their quiet consonants to noise removal.
                                 "-remove_noise", "no", "-vad_postspeech", endSilence.constData(), nullptr);
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
    m_ps = makeDecoder((model + QStringLiteral("/cmudict-en-us.dict")).toLocal8Bit(), &m_config);
    // The phone loop's dictionary holds its phones only, which spares a second copy of
    // the large one; pocketsphinx reads it from a file.
    QTemporaryFile phoneDict;
    if (m_ps && phoneDict.open()) {
        for (const char *p : kPhones)
            phoneDict.write("phone_" + QByteArray(p).toLower() + ' ' + p + '\n');
        if (phoneDict.flush())
            m_phones = makeDecoder(QFile::encodeName(phoneDict.fileName()), &m_phonesConfig);
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

bool Decoder::begin()
{
    if (!m_ps || m_grammar.isEmpty())
        return false;
    if (m_inUtterance) {
        m_api->ps_end_utt(m_ps);
        m_api->ps_end_utt(m_phones);
    }
    m_samples = 0;
    m_inUtterance = m_api->ps_set_search(m_ps, m_search.constData()) >= 0 && m_api->ps_start_utt(m_ps) >= 0;
    if (m_inUtterance && m_api->ps_start_utt(m_phones) < 0) {
        m_api->ps_end_utt(m_ps);
        m_inUtterance = false;
    }
    return m_inUtterance;
}

void Decoder::feed(const qint16 *samples, qsizetype count)
{
    if (!m_inUtterance || count <= 0)
        return;
    // The command and the yardstick hear the same audio in the same steps, so their
    // scores compare, and nothing is left to decode once the speaker stops.
    m_api->ps_process_raw(m_ps, samples, size_t(count), FALSE, FALSE);
    m_api->ps_process_raw(m_phones, samples, size_t(count), FALSE, FALSE);
    m_samples += count;
}

Heard Decoder::end(const QString &preferredOwner)
{
    Heard h;
    if (!m_inUtterance)
        return h;
    m_inUtterance = false;
    m_api->ps_end_utt(m_ps);
    const bool phonesOk = m_api->ps_end_utt(m_phones) >= 0;
    h.frames = m_api->ps_get_n_frames(m_ps);
    int32 score = 0;
    const char *hyp = m_api->ps_get_hyp(m_ps, &score);
    score = hyp ? int(acousticScore(m_api, m_ps)) : 0;
    QStringList spoken;
    for (const QString &w : Grammar::splitWords(hyp ? QString::fromUtf8(hyp) : QString()))
        if (!w.startsWith(QLatin1Char('<')) && !w.startsWith(QLatin1Char('['))) // silence and noise
            spoken.append(w);
    h.words = spoken.join(QLatin1Char(' '));
    int32 best = 0;
    const bool tooLong = m_samples > qint64(kMaxUtteranceSeconds) * kSampleRate;
    if (spoken.isEmpty() || tooLong || h.frames <= 0 || !phonesOk || !m_api->ps_get_hyp(m_phones, &best))
        return h;
    best = int32(acousticScore(m_api, m_phones));
    h.confidence = double(score - best) / h.frames - kSilencePenalty * speechTakenForSilence();
    if (h.confidence >= kThreshold)
        h.entry = m_grammar.match(spoken, preferredOwner);
    return h;
}

double Decoder::speechTakenForSilence() const
{
    // Frames are counted alike in both decoders: they heard the same audio in the same steps.
    QVector<bool> speech;
    int speechFrames = 0;
    for (ps_seg_t *seg = m_api->ps_seg_iter(m_phones); seg; seg = m_api->ps_seg_next(seg)) {
        int first = 0, last = -1;
        m_api->ps_seg_frames(seg, &first, &last);
        if (first < 0 || last < first || !QByteArray(m_api->ps_seg_word(seg)).startsWith("phone_"))
            continue;
        if (speech.size() <= last)
            speech.resize(last + 1);
        for (int f = first; f <= last; ++f)
            speech[f] = true;
        speechFrames += last - first + 1;
    }
    if (speechFrames == 0)
        return 0;
    int taken = 0;
    for (ps_seg_t *seg = m_api->ps_seg_iter(m_ps); seg; seg = m_api->ps_seg_next(seg)) {
        const char *word = m_api->ps_seg_word(seg);
        int first = 0, last = -1;
        m_api->ps_seg_frames(seg, &first, &last);
        if (!word || (word[0] != '<' && word[0] != '['))
            continue;
        for (int f = qMax(0, first); f <= last && f < speech.size(); ++f)
            taken += speech[f] ? 1 : 0;
    }
    return double(taken) / speechFrames;
}

} // namespace chimewell::listen
