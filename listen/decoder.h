#pragma once

#include "listen/grammar.h"
#include "listen/noisefloor.h"

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
    // How far the command's fit to the sounds heard lies above what this room asks
    // for (see kQuietThreshold): 0 or more is understood.
    double confidence = 0;
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
    // Whether someone listening for one command would stop here: the speaker has
    // paused after saying one. A pause after sounds that held no words (a cough, a
    // door, the room's own noise while the voice detector finds its level) ends
    // nothing, and one after words that make no command yet waits kUnfinishedPauseMs
    // for the rest ("exit ... Chimewell"). The best path so far may be the beginning
    // of a longer command where the whole search holds a short one ("tell" taken so
    // far for the "to" of "to be quiet"), so at such a pause both searches finish and,
    // when that is no command either, hear the utterance again from its start.
    bool utteranceOver();

    static constexpr int kSampleRate = 16000;
    // How sure the recogniser is: how well the command's sounds fit the audio against
    // how well the best run of any phones fits it, per 10 ms frame, in the decoder's
    // scaled log units; less kSilencePenalty for every 100 frames beyond
    // kSilenceAllowance that the command could only put down to silence while the
    // phones heard sounds there (the rest of a longer sentence around a command word).
    // The allowance is the same for a short command and a long one: it is the breath
    // and the room around any utterance, not a share of it.
    static constexpr double kSilencePenalty = 5.0;
    static constexpr int kSilenceAllowance = 50;
    // What it must reach to be a command: kQuietThreshold where the speech stands
    // kQuietSnrDb or more above the room's noise, kNoisyThreshold at kNoisySnrDb or
    // less, sliding between. In noise the phones explain what is heard less well, and
    // a sentence comes nearer a command. Chosen on speech from people's recordings
    // and espeak-ng in rooms of each kind (tests/listen), one for all commands.
    static constexpr double kQuietThreshold = -9.0;
    static constexpr double kNoisyThreshold = -6.0;
    static constexpr double kQuietSnrDb = 45;
    static constexpr double kNoisySnrDb = 25;
    static double threshold(double snrDb);
    // Longer utterances are no command.
    static constexpr int kMaxUtteranceSeconds = 20;
    // The pause after speech that ends an utterance (inSpeech() turns false): long
    // enough for the gaps between a command's words, short for a quick answer.
    static constexpr int kEndSilenceMs = 150;
    // After words that make no command yet, how much longer the pause must last.
    static constexpr int kUnfinishedPauseMs = 600;
    // How often one utterance may be finished and heard again (see utteranceOver()):
    // each time decodes all of it once more.
    static constexpr int kMostLookAheads = 3;

private:
    QString pronounce(const QString &word);
    ps_decoder_s *makeDecoder(const QByteArray &dict, bool commands, cmd_ln_s **config);
    // Frees both decoders and their configurations; start() may then begin afresh.
    void release();
    // One word (or silence, or phone) of a best path, with its frames and the
    // acoustic part of its score: how well its sounds fit, without the grammar's and
    // the word penalties, so a grammar and a phone loop compare fairly.
    struct Segment
    {
        QByteArray word;
        int first = 0, last = -1;
        int score = 0;
    };
    using Path = QVector<Segment>;
    // The best path of `ps` so far (its words and silences, no empty links).
    Path path(ps_decoder_s *ps) const;
    // See kSilencePenalty; `phones` is the yardstick's path over the same frames.
    static double confidence(const Path &commands, const Path &phones);
    // Ends both searches, keeping the best path so far (see end()).
    void finishSearches();
    // What the ended searches heard.
    Heard answer(const QString &preferredOwner) const;
    // At a pause after words that make no command: whether the finished search holds
    // one; when not, both searches hear the utterance again and go on.
    bool finishesOnCommand();
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
    bool m_spoke = false;  // the voice detector has heard speech in it
    qint64 m_quiet = 0;    // samples fed since it last heard speech
    bool m_inUtterance = false;
    bool m_finished = false;  // both searches have ended; end() gives their answer
    bool m_phonesOk = false;  // the yardstick's search ended well
    int m_lookAheads = 0;     // times this utterance was finished and heard again
    bool m_lookedAhead = false; // in this pause
    QStringList m_soFar;      // the words of the best path before the searches ended
    Path m_soFarPath;
    QVector<qint16> m_heard;  // this utterance as fed, floor and all, to hear it again
    int m_searchCount = 0;
    NoiseFloor m_floor;       // of this utterance
    QVector<qint16> m_buffer; // what was fed, with the floor added
};

} // namespace chimewell::listen
