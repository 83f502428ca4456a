#pragma once

#include "agent/characterlimits.h"
#include "agent/framestore.h"
#include "voice/speaker.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPoint>
#include <QString>

#include <array>
#include <memory>
#include <optional>

// The character file loader: a .acs zip archive (docs/character-format.md) parsed
// into memory. Loading checks everything the manifest and the PNG headers say but
// decodes no picture: FrameStore (framestore.h) does that on demand. No widgets
// here, so the fuzzer and the unit tests run it headless.
namespace chimewell::agent {

struct Branch
{
    int frame = 0;
    int probability = 0; // percent
};

struct Frame
{
    int image = -1;      // index into CharacterData::images
    int duration = 100;  // ms
    int sound = -1;      // index into CharacterData::sounds
    int exit = -1;       // frame to jump to when cut short
    bool mouth = false;  // the mouth overlay is drawn on this frame while speaking
    QList<Branch> branches;
};

struct Animation
{
    QString name;        // as the file spells it
    QList<Frame> frames;
    int returnAnimation = -1;
};

// A PCM sound effect, ready for an audio sink.
struct Sound
{
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    QByteArray pcm;
};

// The states the service plays its own animations for.
enum class State {
    Showing, Hiding, Speaking, MovingLeft, MovingRight, MovingUp, MovingDown, Idling, Rest, Listening, Hearing,
    Dozing, Waking, Count
};

class CharacterData
{
public:
    QString name;
    QString description;
    int width = 0;
    int height = 0;
    voice::Voice voice;

    bool hasMouth = false;
    QPoint mouthPos;
    // Indexed by voice::Mouth; entries that the file lacks fall back as the format says.
    std::array<FrameImage, 5> mouth;

    // Every picture the file names, by index; all share `store`.
    std::shared_ptr<FrameStore> store;
    QList<FrameImage> images;
    QList<Sound> sounds;
    QList<Animation> animations;
    QHash<QString, int> animationIndex; // lower-case name -> index
    std::array<QList<int>, int(State::Count)> states;

    // The animation of that name (any case), or -1.
    int findAnimation(const QString &name) const;
};

// Reads a RIFF WAVE of PCM samples (8 or 16 bit, mono or stereo); false with the reason in *why.
bool parseWaveSound(const QByteArray &data, Sound *out, QString *why);

// Parses the bytes of a character file. Returns nothing, with the reason in
// *error, when the file breaks the format or one of its limits. Needs no
// QGuiApplication and is safe on any thread (the fuzzer and file checks use it).
std::optional<CharacterData> parseCharacterFile(const QByteArray &bytes, QString *error);

struct ParseOptions
{
    // false: the 2x pictures are not even read (no screen would show them).
    bool hiDpi = true;
    // true: pictures are read from the archive when first decoded, so loading
    // reads only their headers; the bytes given stay referenced meanwhile, and
    // loadCharacterFile keeps the file open instead of reading it.
    bool lazy = false;
};
std::optional<CharacterData> parseCharacterFile(const QByteArray &bytes, QString *error, const ParseOptions &options);

// Reads and parses a file from disk (size checked before reading).
std::optional<CharacterData> loadCharacterFile(const QString &path, QString *error);
std::optional<CharacterData> loadCharacterFile(const QString &path, QString *error, const ParseOptions &options);

} // namespace chimewell::agent
