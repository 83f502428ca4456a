#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QPoint>
#include <QSet>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// The pictures of a loaded character: held compressed, decoded on demand into a
// bounded cache, on the asking thread or ahead of need on one worker thread.
// No widgets here, so the fuzzer and the unit tests run it headless.
namespace chimewell::agent {

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

// The size a PNG declares in its header, without decoding anything.
std::optional<QSize> pngSize(const QByteArray &data);
// Premultiplied, ready to paint; or, with raw, the bytes as stored (a patch that adds).
QImage decodePng(const QByteArray &data, const QSize &expected, bool raw = false);

// Stops the worker: queued decodes are dropped and the one under way is waited
// for. Later prefetches decode nothing ahead (image() still decodes on the
// asking thread). Runs by itself before the application object goes.
void stopFrameDecoding();

} // namespace chimewell::agent
