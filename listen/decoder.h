#pragma once

#include "listen/grammar.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

struct ps_decoder_s;
struct cmd_ln_s;

namespace chimewell::listen {
struct SphinxLibrary;
}

// The speech recogniser proper: pocketsphinx with its US English model, deciding
// among the commands of one Grammar. Synchronous and not thread-safe: it lives on
// the listener's worker thread (and in the tests and the bench, which feed it audio).
namespace chimewell::listen {

struct Heard
{
    QString words;        // what the recogniser heard, lower case; may be empty
    int entry = -1;       // the grammar entry understood, -1 when rejected
    int frames = 0;       // 10 ms frames of audio decoded
    double confidence = 0; // how well the command accounts for the sounds heard: higher is better
};

class Decoder
{
public:
    // Where the pronunciations of words the dictionary lacks come from (espeak-ng's
    // phoneme names, see pronunciation.h); empty for none.
    using PhonemeSource = std::function<QString(const QString &word)>;

    explicit Decoder(PhonemeSource phonemes);
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // The model's folder, empty when pocketsphinx-en-us is not installed.
    static QString modelFolder();
    // Starts the engine; false (with a reason) when it cannot.
    bool start(QString *error);
    bool isStarted() const { return m_ps != nullptr; }

    // Makes `grammar` the one listened for; its commands with words that cannot be
    // pronounced are left out and named in `skipped`. False when nothing can be heard.
    bool setGrammar(const Grammar &grammar, QStringList *skipped = nullptr);
    const Grammar &grammar() const { return m_grammar; }

    // One utterance: begin, feed 16 kHz mono samples, end.
    bool begin();
    void feed(const qint16 *samples, qsizetype count);
    Heard end(const QString &preferredOwner = QString());
    bool inUtterance() const { return m_inUtterance; }
    // Whether the last audio fed holds speech (the decoder's own voice detector).
    bool inSpeech() const;

    static constexpr int kSampleRate = 16000;
    // Below this confidence what was heard is no command. The confidence compares how
    // well the command's sounds fit the audio with how well the best run of any
    // phones fits it, per 10 ms frame, in the decoder's scaled log units; from that
    // it takes kSilencePenalty times the share of the speech that the command could
    // only explain as silence (the words of a longer sentence around a command word).
    // Both chosen on synthesized speech (tests/listen), one for all commands.
    static constexpr double kThreshold = -5.0;
    static constexpr double kSilencePenalty = 10.0;
    // Longer utterances are no command.
    static constexpr int kMaxUtteranceSeconds = 20;
    // The pause after speech that ends an utterance (inSpeech() turns false): long
    // enough for the gaps between a command's words, short for a quick answer.
    static constexpr int kEndSilenceMs = 150;

private:
    QString pronounce(const QString &word);
    ps_decoder_s *makeDecoder(const QByteArray &dict, cmd_ln_s **config);
    // Frees both decoders and their configurations; start() may then begin afresh.
    void release();
    // The share of the frames the phone loop heard as speech that the commands'
    // decoder put down to silence or noise.
    double speechTakenForSilence() const;
    bool addPhoneLoop();

    PhonemeSource m_phonemes;
    const SphinxLibrary *m_api = nullptr; // set by start()
    ps_decoder_s *m_ps = nullptr; // the commands
    cmd_ln_s *m_config = nullptr;
    // Beside it, any phones in any order: the best the audio could score, for confidence.
    ps_decoder_s *m_phones = nullptr;
    cmd_ln_s *m_phonesConfig = nullptr;
    Grammar m_grammar;
    QByteArray m_search;
    qint64 m_samples = 0; // fed in this utterance
    bool m_inUtterance = false;
    int m_searchCount = 0;
};

} // namespace chimewell::listen
