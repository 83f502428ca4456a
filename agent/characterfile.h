#pragma once

#include "voice/speaker.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

// The character file loader: a .acs zip archive (docs/character-format.md) parsed
// into memory. Loading checks everything the manifest and the PNG headers say but
// decodes no picture: FrameStore does that on demand. No widgets here, so the fuzzer and the unit tests run it headless.
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
// What one pack may unpack to, at scale 2 (a quarter of it at scale 1).
inline constexpr qint64 packBytes = 32 * 1024 * 1024;
// A patch may lie over a patch, at most this deep, so a picture is at most this many decodes.
inline constexpr int patchDepth = 8;
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
enum class State { Showing, Hiding, Speaking, MovingLeft, MovingRight, MovingUp, MovingDown, Idling, Rest, Listening, Hearing, Count };

class FrameStore;
class Archive;

// One picture of the character, decoded when it is first asked for. A cheap
// handle: copies share the character's FrameStore.
class FrameImage
{
public:
    FrameImage() = default;
    FrameImage(std::shared_ptr<FrameStore> store, int index) : m_store(std::move(store)), m_index(index) {}

    // Premultiplied ARGB at scale 1; null when the picture does not decode.
    QImage image() const;
    // The 2x picture (device pixel ratio 2); null when the file has none or it does not decode.
    QImage image2x() const;
    bool has2x() const;
    // The size at scale 1, known without decoding.
    QSize size() const;
    int index() const { return m_index; }

private:
    std::shared_ptr<FrameStore> m_store;
    int m_index = -1;
};

// Bytes in a block of their own, given back to the system when destroyed.
class MappedBytes final
{
public:
    explicit MappedBytes(qint64 size); // size() is 0 when the memory is not there
    ~MappedBytes();
    MappedBytes(const MappedBytes &) = delete;
    MappedBytes &operator=(const MappedBytes &) = delete;
    uchar *data() const { return m_data; }
    qint64 size() const { return m_size; }

private:
    uchar *const m_data;
    const qint64 m_size;
};

// The compressed pictures of one character and a bounded cache of decoded ones.
// Pictures are decoded on first use, on the asking thread, or ahead of need on
// the worker pool (prefetch). Safe to use from any thread.
class FrameStore final : public std::enable_shared_from_this<FrameStore>
{
public:
    struct Entry
    {
        QString name;
        QByteArray png;   // scale 1
        QByteArray png2x; // scale 2, empty when the file has none that fits
        // Read from the archive when first decoded, instead of held here.
        bool lazy = false;
        bool lazy2x = false;
        QSize size;       // of the PNG at scale 1
        int base = -1;    // a patch: drawn over this picture at `at`
        QPoint at;
        bool add = false; // the patch's bytes are added to the base's premultiplied pixels
        int pack = -1;    // held in this pack instead, at `offset` (four times that in the 2x pack)
        qint64 offset = 0;
    };

    // Pictures compressed together, one scale to an entry; a pack is unpacked
    // whole when one of its pictures is first decoded at that scale.
    struct Pack
    {
        QString name;     // the 1x entry; the 2x twin is "2x/" + name
        QByteArray data, data2x; // empty when read from the archive on demand
        qint64 rawSize = 0; // unpacked, at scale 1
        bool has2x = false; // its 2x twin is there and to be shown
        // The dictionary the pack was compressed against, as PNG at both scales, or none.
        QByteArray dictionary, dictionary2x;
        QSize dictionarySize;
    };

    // With an archive, entries marked lazy are read from it when decoded.
    explicit FrameStore(QList<Entry> entries, std::shared_ptr<Archive> archive = {}, QList<Pack> packs = {});

    int count() const { return int(m_entries.size()); }
    bool hasPacks() const { return !m_packs.isEmpty(); }
    const Entry &entry(int index) const { return m_entries.at(index); }
    // The whole picture at scale 1 or 2; null when it (or a picture it is drawn over) does not decode.
    QImage image(int index, int scale);
    bool has2x(int index) const;
    // Starts decoding these pictures on the worker pool, those not cached yet.
    void prefetch(const QList<int> &indices, int scale);
    bool isCached(int index, int scale) const;
    // Whether a decode of this picture at 1x has failed already.
    bool isBroken(int index) const;

    // The cache keeps at most this many bytes of decoded pictures (but always the
    // last two used), dropping the least recently used first.
    void setBudget(qint64 bytes);
    qint64 budget() const;
    qint64 cachedBytes() const;
    // How many pictures were decoded so far, for the tests and the figures.
    int decodes() const;

    static constexpr qint64 defaultBudget = 6 * 1024 * 1024;

private:
    QImage decode(int index, int scale);
    void insert(quint32 key, const QImage &image);

    QByteArray compressed(int index, int scale);
    std::shared_ptr<const MappedBytes> unpacked(int pack, int scale);

    const QList<Entry> m_entries;
    const QList<Pack> m_packs;
    QMutex m_packMutex;
    // The pack unpacked last: an animation's frames are decoded one after another,
    // and the decoded cache covers going back to what played before.
    struct Unpacked
    {
        int index = -1;
        int scale = 1;
        std::shared_ptr<const MappedBytes> bytes;
    };
    Unpacked m_unpacked;
    const std::shared_ptr<Archive> m_archive;
    QMutex m_archiveMutex; // the archive reads through one file position
    mutable QMutex m_mutex;
    struct Slot
    {
        QImage image;
        quint64 used = 0;
    };
    QHash<quint32, Slot> m_cache;  // index * 2 + (scale == 2)
    QSet<quint32> m_pending;       // queued on the pool
    QSet<quint32> m_broken;        // keys whose decode failed
    quint64 m_clock = 0;
    qint64 m_bytes = 0;
    qint64 m_budget = defaultBudget;
    int m_decodes = 0;
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
