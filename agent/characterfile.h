#pragma once

#include "voice/speaker.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

// The character file loader: a .acs zip archive (docs/character-format.md) parsed
// into memory. No widgets here, so the fuzzer and the unit tests run it headless.
namespace chimewell::agent {

// Every limit the format sets, in one place.
namespace limits {
inline constexpr qint64 archiveBytes = 64 * 1024 * 1024;
inline constexpr qint64 entries = 8192;
inline constexpr qint64 uncompressedTotal = 128 * 1024 * 1024;
inline constexpr qint64 manifestBytes = 1024 * 1024;
inline constexpr qint64 soundBytes = 4 * 1024 * 1024;
// A PNG of at most 1024x1024 (the 2x image of the largest frame) never needs more.
inline constexpr qint64 imageBytes = 16 * 1024 * 1024;
inline constexpr int nameChars = 256;
inline constexpr int descriptionChars = 4096;
inline constexpr int minSide = 16;
inline constexpr int maxSide = 512;
inline constexpr int animations = 256;
inline constexpr int framesPerAnimation = 256;
inline constexpr int framesTotal = 4096;
inline constexpr int minDuration = 10;
inline constexpr int maxDuration = 10000;
} // namespace limits

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
enum class State { Showing, Hiding, Speaking, MovingLeft, MovingRight, MovingUp, MovingDown, Idling, Rest, Count };

// One frame image: the scale-1 picture, decoded at load, and the scale-2 one,
// kept compressed and decoded the first time a HiDPI screen asks for it.
class FrameImage
{
public:
    QImage image; // premultiplied ARGB, width x height
    // The 2x picture, decoded on first use; null when the file has none or it does not decode.
    QImage image2x() const;
    bool has2x() const { return bool(m_hi); }
    void set2x(const QByteArray &png, const QSize &size);

private:
    struct Lazy
    {
        QByteArray png;
        QSize size;
        QImage decoded;
        bool tried = false;
    };
    std::shared_ptr<Lazy> m_hi; // shared by copies, so one decode serves them all
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

    QList<FrameImage> images;
    QList<Sound> sounds;
    QList<Animation> animations;
    QHash<QString, int> animationIndex; // lower-case name -> index
    std::array<QList<int>, int(State::Count)> states;

    // The animation of that name (any case), or -1.
    int findAnimation(const QString &name) const;
};

// Parses the bytes of a character file. Returns nothing, with the reason in
// *error, when the file breaks the format or one of its limits. Needs no
// QGuiApplication and is safe on any thread (the fuzzer and file checks use it).
std::optional<CharacterData> parseCharacterFile(const QByteArray &bytes, QString *error);

struct ParseOptions
{
    // false: the 2x pictures are not even read (no screen would show them).
    bool hiDpi = true;
};
std::optional<CharacterData> parseCharacterFile(const QByteArray &bytes, QString *error, const ParseOptions &options);

// Reads and parses a file from disk (size checked before reading).
std::optional<CharacterData> loadCharacterFile(const QString &path, QString *error);
std::optional<CharacterData> loadCharacterFile(const QString &path, QString *error, const ParseOptions &options);

} // namespace chimewell::agent
