#include "agent/characterfile.h"
#include "listen/decoder.h"
#include "listen/recognizer.h"
#include "voice/synthesizer.h"

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>

using namespace chimewell;
using namespace chimewell::listen;

// The recogniser as a person at a microphone meets it: every phrase of every command
// the clock's two characters register, said by flite's voices (made from recordings
// of people) at three speeds, in a quiet room and with room noise, handed to the
// recogniser's thread in the microphone's pieces; sentences that are no command must
// be turned away. espeak-ng's voices, and the characters' own, are measured beside them.
// CI hears a sample that has every phrase, sentence, voice and level in it;
// CHIMEWELL_LISTEN_ALL=1 (scripts/listen-accuracy.sh) hears everything.
class TstListenAccuracy final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void commands_data();
    void commands();
    void rejection_data();
    void rejection();
    void characterVoices_data();
    void characterVoices();
    void endOfSpeech();
};

namespace {

constexpr int kRate = Decoder::kSampleRate;
// How far the room's noise lies below the speech, in dB: a quiet room (a microphone
// never gives exact zeros), a busy one and a noisy one.
constexpr int kQuiet = 60;
const int kLevels[] = {kQuiet, 20, 10};

struct Speaker
{
    QString name;
    QString flite; // flite's voice; empty for espeak-ng
    double stretch = 1;
    voice::Voice espeak;
    int turn = -1; // its place among its kind, for the sample; -1: hears everything
};

// The clock's commands: character 1 ("max") and character 2 ("plany").
QList<Grammar::Entry> clockCommands()
{
    const QString one = QStringLiteral("max"), two = QStringLiteral("plany");
    QList<Grammar::Entry> e;
    for (const QString &owner : {one, two}) {
        e.append({owner, QStringLiteral("Properties"), QStringLiteral("[Character] Properties")});
        e.append({owner, QStringLiteral("Introduce"), QStringLiteral("(Introduction | Introduce)")});
        e.append({owner, QStringLiteral("default"), QStringLiteral("[Move Me]Home ")});
        e.append({owner, QStringLiteral("Date"), QStringLiteral("What is the [date]?")});
        e.append({owner, QStringLiteral("Shut"), owner == one ? QStringLiteral("tell [Shut Up]") : QStringLiteral("[Tell] to be quiet")});
        if (owner == one)
            e.append({owner, QStringLiteral("Future"), QStringLiteral("[Future]")});
        e.append({owner, QStringLiteral("exit"), QStringLiteral("[Exit] Chimewell")});
    }
    return e;
}

// Every way to say each command: (words, the command's name). The sentences that
// are none have no name.
const QList<QPair<QString, QString>> kPhrases = {
    {"character properties", "Properties"}, {"properties", "Properties"},
    {"introduction", "Introduce"}, {"introduce", "Introduce"},
    {"move me home", "default"}, {"home", "default"},
    {"what is the date", "Date"}, {"what is the", "Date"},
    {"tell shut up", "Shut"}, {"tell", "Shut"},
    {"tell to be quiet", "Shut"}, {"to be quiet", "Shut"},
    {"future", "Future"},
    {"exit chimewell", "exit"}, {"chimewell", "exit"},
};
const QList<QPair<QString, QString>> kSentences = {
    {"the weather is nice today", {}}, {"I would like a cup of coffee", {}}, {"please open the window", {}},
    {"where did I leave my keys", {}}, {"the cat sat on the mat", {}}, {"turn left at the next street", {}},
    {"my brother plays the guitar", {}}, {"how much does this cost", {}}, {"good night and sleep well", {}},
    {"the train was late again", {}}, {"she reads a book every week", {}}, {"we are going to the beach", {}},
    {"can you help me with this", {}}, {"it is raining outside", {}}, {"the children are playing football", {}},
    {"I forgot my password", {}}, {"lunch is ready", {}}, {"call me tomorrow morning", {}},
    {"that was a great movie", {}}, {"put the milk in the fridge", {}},
};

const double kStretches[] = {0.8, 1.0, 1.25}; // quicker, as the voice speaks, slower

QList<Speaker> fliteSpeakers()
{
    QList<Speaker> s;
    for (const char *v : {"kal16", "awb", "rms", "slt"})
        for (const double stretch : kStretches)
            s.append({QStringLiteral("flite %1 x%2").arg(QLatin1String(v)).arg(stretch), QLatin1String(v), stretch, {},
                      int(s.size())});
    return s;
}

// espeak-ng's default voice first: the characters' voices are held against it.
QList<Speaker> espeakSpeakers()
{
    QList<Speaker> s;
    for (const auto &[name, variant, pitch, rate] : {std::tuple{"default", "", 50, 160}, {"f2", "f2", 70, 160},
                                                     {"m3 quick", "m3", 35, 220}, {"f4 slow", "f4", 60, 120}}) {
        voice::Voice v;
        v.variant = QLatin1String(variant);
        v.pitch = pitch;
        v.rate = rate;
        s.append({QStringLiteral("espeak-ng ") + QLatin1String(name), {}, 1, v, int(s.size())});
    }
    return s;
}

// CI's sample. Each flite voice says each phrase once per level, its three speeds
// taking turns; each sentence is said once per level, by the voices in turn.
bool sampled(const Speaker &s, int item, bool sentence)
{
    if (s.turn < 0 || qEnvironmentVariableIntValue("CHIMEWELL_LISTEN_ALL") == 1)
        return true;
    const int kinds = s.flite.isEmpty() ? 4 : 12;
    if (sentence)
        return item % kinds == s.turn;
    return s.flite.isEmpty() || (item + s.turn / 3) % 3 == s.turn % 3;
}

struct Tally
{
    int right = 0, of = 0;
    double percent() const { return of ? 100.0 * right / of : 0; }
    QString text() const { return QStringLiteral("%1/%2 = %3 %").arg(right).arg(of).arg(percent(), 0, 'f', 1); }
    Tally &operator+=(const Tally &t) { return right += t.right, of += t.of, *this; }
};

// Runs a program with `input` on its standard input: its standard output, and whether it succeeded.
QByteArray run(const QString &program, const QStringList &args, const QByteArray &input = {}, bool *ok = nullptr)
{
    QProcess p;
    p.start(program, args);
    bool done = p.waitForStarted();
    if (done) {
        p.write(input);
        p.closeWriteChannel();
        done = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    if (ok)
        *ok = done;
    return done ? p.readAllStandardOutput() : QByteArray();
}

QVector<qint16> samplesOf(const QByteArray &bytes)
{
    QVector<qint16> v(bytes.size() / 2);
    std::memcpy(v.data(), bytes.constData(), size_t(v.size()) * 2);
    return v;
}

const QStringList kRaw16k = {"-t", "raw", "-r", "16000", "-e", "signed", "-b", "16", "-c", "1"};

// Mean power of the speech proper: its 10 ms pieces within 30 dB of the loudest.
double speechPower(const QVector<qint16> &s)
{
    QVector<double> pieces;
    for (qsizetype at = 0; at + 160 <= s.size(); at += 160) {
        double e = 0;
        for (qsizetype i = at; i < at + 160; ++i)
            e += double(s[i]) * s[i];
        pieces.append(e / 160);
    }
    const double loudest = pieces.isEmpty() ? 0 : *std::max_element(pieces.begin(), pieces.end());
    double sum = 0;
    int n = 0;
    for (const double e : std::as_const(pieces))
        if (e > loudest / 1000)
            sum += e, ++n;
    return n ? sum / n : 0;
}

// Speech, and the room it is heard in, as the microphone gives it: 16 kHz mono.
class Studio
{
public:
    bool open(QString *why)
    {
        // A room's hum: pink and brown noise with a little reverb; -R makes it the same every run.
        m_room = samplesOf(run("sox", QStringList{"-R", "-n"} + kRaw16k.mid(2) + QStringList{"-t", "raw", "-", "synth", "60",
                                "pinknoise", "synth", "60", "brownnoise", "mix", "reverb", "30", "gain", "-n", "-20"}));
        for (const qint16 x : std::as_const(m_room))
            m_roomPower += double(x) * x / double(m_room.size());
        *why = QStringLiteral("sox cannot make the room's noise");
        return m_room.size() >= 30 * kRate && m_dir.isValid();
    }

    // The words as the speaker says them, made once; empty when the voice cannot speak.
    QVector<qint16> speak(const Speaker &s, const QString &text)
    {
        const QString key = s.name + QLatin1Char('|') + text;
        if (!m_spoken.contains(key))
            m_spoken.insert(key, s.flite.isEmpty() ? espeak(s.espeak, text) : flite(s, text));
        return m_spoken.value(key);
    }

    // The speech in the room, `snr` dB above its noise, with the room heard for a
    // moment before (the speaker starts once listening has) and after; `silent`:
    // the room alone, as loud as it would be beside that speech.
    QVector<qint16> inRoom(const QVector<qint16> &speech, int snr, quint32 seed, bool silent = false) const
    {
        QVector<qint16> out(kRate / 2, 0);
        out += silent ? QVector<qint16>(speech.size(), 0) : speech;
        out += QVector<qint16>(kRate, 0);
        const double gain = std::sqrt(speechPower(speech) / std::pow(10.0, snr / 10.0) / m_roomPower);
        const qsizetype from = qsizetype(seed * 2654435761u % quint32(m_room.size() - out.size()));
        for (qsizetype i = 0; i < out.size(); ++i)
            out[i] = qint16(qBound(-32768.0, out[i] + gain * m_room[from + i], 32767.0));
        return out;
    }

private:
    QVector<qint16> flite(const Speaker &s, QString text)
    {
        // flite reads the made-up name as "chim well"; people say it as it is spelt.
        text.replace(QLatin1String("chimewell"), QLatin1String("chime well"));
        const QString wav = m_dir.filePath(QStringLiteral("said.wav"));
        bool ok = false;
        run("flite", {"-voice", s.flite, "--setf", QStringLiteral("duration_stretch=%1").arg(s.stretch), "-t", text, "-o", wav},
            {}, &ok);
        return ok ? samplesOf(run("sox", QStringList{"-R", wav} + kRaw16k + QStringList{"-"})) : QVector<qint16>();
    }

    static QVector<qint16> espeak(const voice::Voice &v, const QString &text)
    {
        voice::SynthRequest r;
        r.voice = v;
        r.segments = voice::tags::parse(text).segments;
        const auto audio = voice::Synthesizer::instance().render(r);
        // The sound server turns espeak-ng's 22050 Hz into the microphone's 16 kHz
        // (-R: sox's dither the same every run, so a run's figures can be repeated).
        const QByteArray pcm(reinterpret_cast<const char *>(audio.samples.constData()), audio.samples.size() * 2);
        const QString rate = QString::number(voice::Synthesizer::instance().sampleRate());
        return samplesOf(run("sox", QStringList{"-R", "-t", "raw", "-r", rate, "-e", "signed", "-b", "16", "-c", "1", "-"}
                                        + kRaw16k + QStringList{"-"},
                             pcm));
    }

    QTemporaryDir m_dir;
    QVector<qint16> m_room;
    double m_roomPower = 0;
    QHash<QString, QVector<qint16>> m_spoken;
};

// The recogniser, what it heard, and the table of it.
struct Listener
{
    Grammar grammar{clockCommands()};
    Recognizer recognizer;
    Studio studio;
    QHash<QString, Heard> heard; // by speaker, level and text
    QSet<QString> warmed;        // speakers and levels heard once before their count
    // Heard right, by speaker and level: commands, and sentences turned away.
    QMap<QString, QMap<int, Tally>> commands, sentences;
    // The one-word commands by themselves, by kind of voice and level: whether each
    // speaker and text was heard right.
    QMap<QString, QMap<int, QHash<QString, bool>>> oneWord;

    Heard listen(const QVector<qint16> &audio)
    {
        QSignalSpy spy(&recognizer, &Recognizer::heard);
        recognizer.hear(audio, QStringLiteral("max"));
        return spy.wait(30000) ? spy.first().first().value<Heard>() : Heard{};
    }

    // How many of `items` the speaker is heard right saying at `level`: as their
    // command, or, for sentences, as none. What went wrong is added to `wrong`.
    Tally tally(const Speaker &s, int level, const QList<QPair<QString, QString>> &items, QStringList *wrong)
    {
        const bool areSentences = items.first().second.isEmpty();
        // The recogniser keeps the mean of the sounds it heard last (as a microphone
        // and a voice stay the same from one command to the next): each speaker says
        // something first, as someone at the clock has, and is not heard in the mean
        // of the voice before.
        const QString session = QStringLiteral("%1|%2").arg(s.name).arg(level);
        if (!warmed.contains(session)) {
            warmed.insert(session);
            listen(studio.inRoom(studio.speak(s, QStringLiteral("good morning, I hope you slept well, it looks like a fine day today")), level, 7));
        }
        Tally t;
        for (int i = 0; i < items.size(); ++i) {
            if (!sampled(s, i, areSentences))
                continue;
            const auto &[text, name] = items.at(i);
            const QString key = QStringLiteral("%1|%2|%3").arg(s.name).arg(level).arg(text);
            if (!heard.contains(key))
                heard.insert(key, listen(studio.inRoom(studio.speak(s, text), level, quint32(i * 31 + level))));
            const Heard h = heard.value(key);
            const bool right = (h.entry >= 0 ? grammar.entries().at(h.entry).name : QString()) == name;
            t.right += right ? 1 : 0;
            if (!areSentences && !text.contains(QLatin1Char(' ')))
                oneWord[s.flite.isEmpty() ? s.name.section(QLatin1Char(' '), 0, 0) : QStringLiteral("flite")][level]
                    .insert(s.name + text, right);
            ++t.of;
            if (!right)
                wrong->append(QStringLiteral("%1 at %2 dB: \"%3\" heard as \"%4\" (%5)")
                                  .arg(s.name)
                                  .arg(level)
                                  .arg(text, h.words)
                                  .arg(h.confidence, 0, 'f', 2));
        }
        (areSentences ? sentences : commands)[s.name][level] = t;
        return t;
    }
};

Listener *g_listener = nullptr;

} // namespace

void TstListenAccuracy::initTestCase()
{
    if (Decoder::modelFolder().isEmpty())
        QSKIP("pocketsphinx's en-us model is not installed");
    if (!voice::Synthesizer::instance().available())
        QSKIP("espeak-ng is not available");
    bool flite = false;
    run("flite", {"-lv"}, {}, &flite);
    if (!flite)
        QSKIP("flite is not installed");
    g_listener = new Listener;
    QString why;
    QVERIFY2(g_listener->studio.open(&why), qPrintable(why));
    QVERIFY2(!g_listener->studio.speak(fliteSpeakers().first(), QStringLiteral("home")).isEmpty(), "flite cannot speak");
    g_listener->recognizer.setGrammar(g_listener->grammar);
}

void TstListenAccuracy::cleanupTestCase()
{
    if (!g_listener)
        return;
    // A line per voice: commands heard right, then sentences turned away, at each level.
    qInfo("%-24s %-20s %-20s %-20s | %-20s %-20s %-20s", "voice", "commands, quiet", "at 20 dB", "at 10 dB",
          "sentences, quiet", "at 20 dB", "at 10 dB");
    QStringList names = g_listener->commands.keys();
    for (const QString &n : g_listener->sentences.keys())
        if (!names.contains(n))
            names.append(n);
    for (const QString &n : std::as_const(names)) {
        QStringList cells;
        for (const auto *table : {&g_listener->commands, &g_listener->sentences})
            for (const int level : kLevels)
                cells.append(table->value(n).contains(level) ? table->value(n).value(level).text() : QStringLiteral("-"));
        qInfo("%-24s %-20s %-20s %-20s | %-20s %-20s %-20s", qPrintable(n), qPrintable(cells[0]), qPrintable(cells[1]),
              qPrintable(cells[2]), qPrintable(cells[3]), qPrintable(cells[4]), qPrintable(cells[5]));
    }
    for (auto kind = g_listener->oneWord.cbegin(); kind != g_listener->oneWord.cend(); ++kind) {
        for (auto level = kind->cbegin(); level != kind->cend(); ++level) {
            Tally t;
            for (const bool right : *level)
                t += {right ? 1 : 0, 1};
            qInfo("one-word commands, %s at %d dB: %s", qPrintable(kind.key()), level.key(), qPrintable(t.text()));
        }
    }
    delete std::exchange(g_listener, nullptr);
}

void TstListenAccuracy::commands_data()
{
    QTest::addColumn<bool>("flite");
    QTest::addColumn<int>("level");
    QTest::addColumn<double>("least"); // per cent heard as the right command
    QTest::newRow("flite, quiet room") << true << kQuiet << 95.0;
    QTest::newRow("flite, noise 20 dB below") << true << 20 << 90.0;
    // No target here; a floor under what is reached.
    QTest::newRow("flite, noise 10 dB below") << true << 10 << 80.0;
    QTest::newRow("espeak-ng, quiet room") << false << kQuiet << 88.0;
}

// Each command is heard as that command, whichever way it is said.
void TstListenAccuracy::commands()
{
    QFETCH(bool, flite);
    QFETCH(int, level);
    QFETCH(double, least);
    Tally all;
    QStringList missed;
    for (const Speaker &s : flite ? fliteSpeakers() : espeakSpeakers())
        all += g_listener->tally(s, level, kPhrases, &missed);
    for (const QString &m : std::as_const(missed))
        qInfo("missed: %s", qPrintable(m));
    qInfo("commands heard right: %s", qPrintable(all.text()));
    QVERIFY2(all.percent() >= least, qPrintable(all.text()));
}

void TstListenAccuracy::rejection_data()
{
    QTest::addColumn<int>("level");
    for (const int level : kLevels)
        QTest::newRow(level == kQuiet ? "quiet room" : level == 20 ? "noise 20 dB below" : "noise 10 dB below") << level;
}

// Sentences that are no command are turned away, and the room's noise alone is never
// taken for one.
void TstListenAccuracy::rejection()
{
    QFETCH(int, level);
    Tally all;
    QStringList accepted;
    QList<Speaker> speakers = fliteSpeakers();
    if (level == kQuiet)
        speakers += espeakSpeakers();
    for (const Speaker &s : std::as_const(speakers))
        all += g_listener->tally(s, level, kSentences, &accepted);
    for (const QString &a : std::as_const(accepted))
        qInfo("accepted: %s", qPrintable(a));
    qInfo("sentences turned away: %s", qPrintable(all.text()));
    QVERIFY2(all.percent() >= 90, qPrintable(all.text()));

    // The room alone, as loud as beside a short word and beside a sentence.
    for (const QString &beside : {QStringLiteral("home"), kSentences.first().first}) {
        const QVector<qint16> speech = g_listener->studio.speak(speakers.first(), beside);
        for (quint32 seed = 0; seed < 3; ++seed) {
            const Heard h = g_listener->listen(g_listener->studio.inRoom(speech, level, seed, true));
            QVERIFY2(h.entry < 0, qPrintable(QStringLiteral("the room's noise heard as \"%1\"").arg(h.words)));
        }
    }
}

void TstListenAccuracy::characterVoices_data()
{
    QTest::addColumn<QString>("id");
    for (const char *id : {"max", "plany", "genie", "peedy", "robby", "merlin", "check"})
        QTest::newRow(id) << QString::fromLatin1(id);
}

// Each shipped character's own voice (from its file) is heard at least as well as
// espeak-ng's default voice saying the same phrases.
void TstListenAccuracy::characterVoices()
{
    QFETCH(QString, id);
    const QString file = QStringLiteral(CHIMEWELL_PROGRAM_DIR "/chars/%1.acs").arg(id);
    QString why;
    agent::ParseOptions lazy;
    lazy.lazy = true;
    lazy.hiDpi = false;
    const auto character = agent::loadCharacterFile(file, &why, lazy);
    QVERIFY2(character, qPrintable(file + QStringLiteral(": ") + why));
    QStringList missed;
    const Tally own = g_listener->tally({id + QStringLiteral(" (own voice)"), {}, 1, character->voice}, kQuiet, kPhrases, &missed);
    const Tally plain = g_listener->tally(espeakSpeakers().first(), kQuiet, kPhrases, &missed);
    for (const QString &m : std::as_const(missed))
        qInfo("missed: %s", qPrintable(m));
    qInfo("%s: %s; espeak-ng's default voice: %s", qPrintable(id), qPrintable(own.text()), qPrintable(plain.text()));
    QVERIFY2(own.right >= plain.right, qPrintable(own.text()));
}

// Audio arriving as from the microphone, a little at a time: the end of a command is
// noticed soon after the speaker stops, and never in the gaps between its words.
void TstListenAccuracy::endOfSpeech()
{
    Decoder decoder([](const QString &w) { return voice::Synthesizer::instance().phonemes(w); });
    QString why;
    QVERIFY2(decoder.start(&why), qPrintable(why));
    QVERIFY(decoder.setGrammar(g_listener->grammar));

    constexpr int kChunk = kRate / 25; // 40 ms
    // The whole wait for an answer is to stay under 300 ms; deciding takes a few of them.
    constexpr int kMostMs = 280;
    // A gap between words taken for the end loses a word; the faint tail of the last
    // sound is no loss.
    constexpr int kTailMs = 50;
    QStringList problems;
    int longestMs = 0;
    QList<Speaker> speakers = espeakSpeakers();
    for (const Speaker &s : fliteSpeakers())
        if (s.flite == QLatin1String("slt"))
            speakers.append(s);
    for (const Speaker &s : std::as_const(speakers)) {
        for (const auto &[text, name] : kPhrases) {
            const QVector<qint16> speech = g_listener->studio.speak(s, text);
            const QVector<qint16> pcm = g_listener->studio.inRoom(speech, kQuiet, 1);
            decoder.begin();
            bool spoke = false, over = false;
            qsizetype fed = 0;
            while (fed < pcm.size() && !over) {
                const qsizetype n = qMin<qsizetype>(kChunk, pcm.size() - fed);
                decoder.feed(pcm.constData() + fed, n);
                fed += n;
                spoke = spoke || decoder.inSpeech();
                over = decoder.utteranceOver();
            }
            decoder.end();
            // The last sound of the words (the voices end their audio with some quiet of their own).
            qsizetype speechEnd = speech.size();
            while (speechEnd > 0 && qAbs(speech[speechEnd - 1]) < 300)
                --speechEnd;
            const int afterMs = int((fed - kRate / 2 - speechEnd) * 1000 / kRate);
            longestMs = qMax(longestMs, afterMs);
            const QString what = s.name + QStringLiteral(" \"") + text + QLatin1Char('"');
            if (!spoke)
                problems.append(what + QStringLiteral(" not heard as speech"));
            else if (afterMs < -kTailMs)
                problems.append(what + QStringLiteral(" cut short %1 ms before its end").arg(-afterMs));
            else if (afterMs > kMostMs)
                problems.append(what + QStringLiteral(" ended %1 ms after the speaker stopped").arg(afterMs));
        }
    }
    qInfo("longest wait for the end of a command: %d ms", longestMs);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1String("; "))));
}

QTEST_GUILESS_MAIN(TstListenAccuracy)
#include "tst_listenaccuracy.moc"
