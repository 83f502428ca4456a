#pragma once

#include <QObject>
#include <QString>
#include <memory>

// A character's voice: speaks text with the service's inline speech tags,
// reports each word and mouth shape as it is heard, and never blocks the
// caller. Synthesis and audio run off the UI thread.
namespace chimewell::voice {

// How one character sounds; named by its character file.
struct Voice
{
    QString language = QStringLiteral("en-us"); // espeak-ng voice name
    QString variant;                            // espeak-ng variant, e.g. "m3"
    int pitch = 50;                             // 0-100
    int rate = 160;                             // words per minute
};

// Mouth shapes for lip sync, as the character files name them.
enum class Mouth { Closed, Small, Open, Wide, Round };

// The user's choices from the options window, for every speaker.
struct OutputOptions
{
    bool spokenOutput = true; // false: silent, at the pace of speech
    int speedPercent = 100;   // scales every voice's rate
    int volumePercent = 100;
};
void setOutputOptions(const OutputOptions &options);
OutputOptions outputOptions();

// The text a balloon shows for `taggedText`: tags removed, \Map\ shown texts used.
QString displayText(const QString &taggedText);

// Whether the speech engine can start (the first-run component check).
bool engineAvailable();

class Speaker : public QObject
{
    Q_OBJECT
public:
    explicit Speaker(QObject *parent = nullptr);
    ~Speaker() override;

    void setVoice(const Voice &voice);
    Voice voice() const;

    // Starts speaking; returns at once. started() and finished() always follow,
    // also for an empty or unspeakable text.
    void speak(const QString &taggedText);
    // Breaks off at once; finished() follows.
    void stop();
    bool isSpeaking() const;

Q_SIGNALS:
    // The text the balloon shows for this speech.
    void started(const QString &displayText);
    // The word at [position, position + length) of the display text is heard now.
    void wordReached(int position, int length);
    void mouthChanged(chimewell::voice::Mouth mouth);
    // A \Mrk=n\ tag was reached.
    void bookmark(int mark);
    void finished();

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace chimewell::voice
