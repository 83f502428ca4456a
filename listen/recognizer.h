#pragma once

#include "listen/decoder.h"
#include "listen/grammar.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>

class QThread;

// Listening off the UI thread: a worker thread owns the decoder and, only while
// listening, the microphone (the default input, 16 kHz mono through Qt Multimedia).
// Every call returns at once; results come back as signals in the caller's thread.
namespace chimewell::listen {

class ListenWorker;

class Recognizer final : public QObject
{
    Q_OBJECT
public:
    explicit Recognizer(QObject *parent = nullptr);
    ~Recognizer() override;

    // The commands to listen for from now on (prepares the decoder in the background).
    void setGrammar(const Grammar &grammar);
    // Starts listening for `owner` (the listening character). `once`: the first
    // utterance ends it by itself; otherwise it lasts until stop().
    void start(const QString &owner, bool once);
    // Stops listening; what was heard arrives as heard().
    void stop();
    // Listens for one command in recorded audio (16 kHz mono) as though the
    // microphone heard it, piece by piece on the recogniser's thread; the answer
    // comes as heard(). For measuring the recogniser (tests, bench).
    void hear(const QVector<qint16> &samples, const QString &owner);
    // While muted (a character speaks) what the microphone hears is dropped.
    void setMuted(bool muted);
    bool isListening() const { return m_listening; }

    // Listening stops by itself after this long in silence.
    static constexpr int kSilenceTimeoutMs = 8000;

Q_SIGNALS:
    // Listening is over: what was heard, `entry` -1 when it was not understood.
    void heard(const chimewell::listen::Heard &heard, const QString &owner);
    // Listening cannot work (no microphone, no sound server, no model); `first`
    // is true the first time, so a message is shown once.
    void unavailable(const QString &reason, bool first);
    // Commands of the grammar that cannot be spoken, and why.
    void grammarProblems(const QStringList &problems);

private:
    void finished(const Heard &h, const QString &owner);
    QThread *m_thread = nullptr;
    ListenWorker *m_worker = nullptr;
    bool m_listening = false;
    bool m_reported = false;
};

} // namespace chimewell::listen

Q_DECLARE_METATYPE(chimewell::listen::Heard)
