#include "agent/framestore.h"
#include "agent/archive.h"

#include "common/backgroundwork.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QThreadPool>
#include <QtEndian>

#include <lzma.h>
#include <sys/mman.h>

#include <functional>
#include <utility>

namespace chimewell::agent {

namespace {
void limitImageAllocations()
{
    // Our largest picture is a 1024x1024 2x frame (4 MiB); 64 MiB leaves room for
    // the rest of the program while stopping absurd images before they allocate.
    static const bool done = [] {
        const int current = QImageReader::allocationLimit();
        if (current == 0 || current > 64)
            QImageReader::setAllocationLimit(64);
        return true;
    }();
    Q_UNUSED(done);
}
} // namespace

std::optional<QSize> pngSize(const QByteArray &data)
{
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    if (data.size() < 33 || !data.startsWith(QByteArray::fromRawData(signature, 8))
        || data.mid(12, 4) != "IHDR")
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const quint32 w = qFromBigEndian<quint32>(p + 16);
    const quint32 h = qFromBigEndian<quint32>(p + 20);
    if (w == 0 || h == 0 || w > 65535 || h > 65535)
        return std::nullopt;
    return QSize(int(w), int(h));
}

QImage decodePng(const QByteArray &data, const QSize &expected, bool raw)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, "png");
    reader.setDecideFormatFromContent(false);
    if (reader.size() != expected)
        return {};
    QImage image;
    if (!reader.read(&image) || image.size() != expected)
        return {};
    return image.convertToFormat(raw ? QImage::Format_RGBA8888 : QImage::Format_ARGB32_Premultiplied);
}

// --- FrameImage -------------------------------------------------------------

QImage FrameImage::image() const { return m_store ? m_store->image(m_index, 1) : QImage(); }

QImage FrameImage::image2x() const { return m_store && m_store->has2x(m_index) ? m_store->image(m_index, 2) : QImage(); }

bool FrameImage::has2x() const { return m_store && m_store->has2x(m_index); }

QSize FrameImage::size() const
{
    if (!m_store)
        return {};
    // A patch shows as the whole picture under it; chains were checked at load.
    int at = m_index;
    for (int depth = 0; m_store->entry(at).base >= 0 && depth < limits::patchDepth; ++depth)
        at = m_store->entry(at).base;
    return m_store->entry(at).size;
}

// --- FrameStore -------------------------------------------------------------

namespace {
// One worker decodes ahead for every character: the machine's other core stays
// free for the clock, and the frames are tiny next to their durations. Made on
// first use; stopped, with the program's other threads, before the application
// object goes, since a decode paints with QPainter.
QMutex g_poolMutex;
QThreadPool *g_pool = nullptr;
bool g_poolStopped = false;

bool startDecoding(std::function<void()> task)
{
    bool made = false;
    {
        QMutexLocker lock(&g_poolMutex);
        if (g_poolStopped)
            return false;
        if (!g_pool) {
            g_pool = new QThreadPool;
            g_pool->setMaxThreadCount(1);
            g_pool->setExpiryTimeout(5000);
            made = true;
        }
        g_pool->start(std::move(task));
    }
    if (made)
        onStopBackgroundWork(stopFrameDecoding);
    return true;
}

quint32 cacheKey(int index, int scale) { return quint32(index) * 2 + (scale == 2 ? 1 : 0); }
} // namespace

FrameStore::FrameStore(QList<Entry> entries, std::shared_ptr<Archive> archive, QList<Pack> packs)
    : m_entries(std::move(entries)), m_packs(std::move(packs)), m_archive(std::move(archive))
{
    limitImageAllocations();
}

bool FrameStore::has2x(int index) const
{
    // A patch has a 2x picture only when everything under it has one too.
    for (int depth = 0; index >= 0 && index < count() && depth <= limits::patchDepth; ++depth) {
        const Entry &e = m_entries.at(index);
        if (e.png2x.isEmpty() && !(e.lazy2x && m_archive) && !(e.pack >= 0 && m_packs.at(e.pack).has2x))
            return false;
        index = m_entries.at(index).base;
    }
    return index < 0;
}

QImage FrameStore::image(int index, int scale)
{
    // A missing 2x picture is no fault: the 1x one stands in.
    if (index < 0 || index >= count() || (scale != 1 && scale != 2) || (scale == 2 && !has2x(index)))
        return {};
    const quint32 key = cacheKey(index, scale);
    {
        QMutexLocker lock(&m_mutex);
        auto it = m_cache.find(key);
        if (it != m_cache.end()) {
            it->used = ++m_clock;
            return it->image;
        }
        // Tried once is enough: a window repainting must not decode a bad picture again and again.
        if (m_broken.contains(key))
            return {};
    }
    // Decoded outside the lock, so a worker and the UI thread never wait on each
    // other; at worst one picture is decoded twice.
    const QImage img = decode(index, scale);
    if (img.isNull()) {
        QMutexLocker lock(&m_mutex);
        m_broken.insert(key);
        return {};
    }
    insert(key, img);
    return img;
}

QByteArray FrameStore::compressed(int index, int scale)
{
    const Entry &e = m_entries.at(index);
    const QByteArray &held = scale == 2 ? e.png2x : e.png;
    if (!held.isEmpty() || !m_archive || !(scale == 2 ? e.lazy2x : e.lazy))
        return held;
    QMutexLocker lock(&m_archiveMutex);
    // A damaged entry (its checksum, its size) gives nothing: the picture is broken.
    return m_archive->read(scale == 2 ? QStringLiteral("2x/") + e.name : e.name, limits::imageBytes, nullptr)
        .value_or(QByteArray());
}

QImage FrameStore::decode(int index, int scale)
{
    // A patch decodes its base through image(); chains were checked at load, so
    // this recursion is at most limits::patchDepth deep.
    const Entry &e = m_entries.at(index);
    QImage own;
    if (e.pack >= 0) {
        const std::shared_ptr<const MappedBytes> raw = unpacked(e.pack, scale);
        const QSize size = e.size * scale;
        const qint64 bytes = qint64(size.width()) * size.height() * 4;
        const qint64 at = e.offset * scale * scale;
        // The list was checked against the pack's size at load; the unpacked bytes are exactly that size.
        if (!raw || at + bytes > raw->size())
            return {};
        own = QImage(raw->data() + at, size.width(), size.height(),
                     size.width() * 4, QImage::Format_RGBA8888)
                  .convertToFormat(e.add ? QImage::Format_RGBA8888 : QImage::Format_ARGB32_Premultiplied);
    } else {
        const QByteArray png = compressed(index, scale);
        if (png.isEmpty())
            return {};
        own = decodePng(png, e.size * scale, e.add);
    }
    {
        QMutexLocker lock(&m_mutex);
        ++m_decodes;
    }
    if (own.isNull() || e.base < 0) {
        if (!own.isNull() && scale == 2)
            own.setDevicePixelRatio(2.0);
        return own;
    }
    // The base comes through the cache: the frames of an animation mostly share one.
    QImage whole = image(e.base, scale);
    if (whole.isNull())
        return {};
    whole.detach();
    // Painted in device pixels: the 2x base's ratio would scale the patch twice.
    whole.setDevicePixelRatio(1.0);
    if (e.add) {
        // Each byte of the patch is added to the premultiplied pixel under it, modulo 256.
        const QPoint at = e.at * scale;
        for (int y = 0; y < own.height(); ++y) {
            const uchar *d = own.constScanLine(y);
            auto *px = reinterpret_cast<QRgb *>(whole.scanLine(at.y() + y)) + at.x();
            for (int x = 0; x < own.width(); ++x, d += 4) {
                const QRgb b = px[x];
                px[x] = qRgba((qRed(b) + d[0]) & 0xff, (qGreen(b) + d[1]) & 0xff, (qBlue(b) + d[2]) & 0xff,
                              (qAlpha(b) + d[3]) & 0xff);
            }
        }
    } else {
        QPainter p(&whole);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(e.at * scale, own);
    }
    whole.setDevicePixelRatio(scale);
    return whole;
}

namespace {
// A picture's straight RGBA bytes, row after row, as a pack's dictionary holds them.
QByteArray straightBytes(const QByteArray &png, const QSize &size)
{
    const QImage image = decodePng(png, size, true);
    if (image.isNull())
        return {};
    QByteArray out;
    out.reserve(qsizetype(size.width()) * size.height() * 4);
    for (int y = 0; y < image.height(); ++y)
        out.append(reinterpret_cast<const char *>(image.constScanLine(y)), qsizetype(size.width()) * 4);
    return out;
}
} // namespace

// Large blocks in mappings of their own: an unpacked pack and the decoder's
// window are megabytes used for a moment, and freed into the heap they would
// stay resident as free space.
namespace {
constexpr size_t mappedFrom = 64 * 1024;
constexpr size_t blockHeader = 16; // the block's size, keeping the rest aligned

void *allocateBlock(size_t bytes)
{
    const size_t total = bytes + blockHeader;
    if (total < bytes)
        return nullptr;
    void *block = nullptr;
    if (total >= mappedFrom) {
        block = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED)
            return nullptr;
    } else {
        block = std::malloc(total);
        if (!block)
            return nullptr;
    }
    *static_cast<size_t *>(block) = total;
    return static_cast<char *>(block) + blockHeader;
}

void freeBlock(void *p)
{
    if (!p)
        return;
    char *block = static_cast<char *>(p) - blockHeader;
    const size_t total = *reinterpret_cast<size_t *>(block);
    if (total >= mappedFrom)
        munmap(block, total);
    else
        std::free(block);
}

const lzma_allocator blockAllocator = {
    [](void *, size_t count, size_t size) -> void * {
        return size && count > SIZE_MAX / size ? nullptr : allocateBlock(count * size);
    },
    [](void *, void *p) { freeBlock(p); },
    nullptr,
};
} // namespace

MappedBytes::MappedBytes(qint64 size)
    : m_data(size > 0 ? static_cast<uchar *>(allocateBlock(size_t(size))) : nullptr), m_size(m_data ? size : 0)
{
}

MappedBytes::~MappedBytes() { freeBlock(m_data); }

std::shared_ptr<const MappedBytes> FrameStore::unpacked(int index, int scale)
{
    {
        QMutexLocker lock(&m_packMutex);
        if (m_unpacked.index == index && m_unpacked.scale == scale)
            return m_unpacked.bytes;
    }
    // Unpacked outside the lock: the UI thread never waits for the worker's unpack
    // (at worst both unpack one pack).
    const Pack &pack = m_packs.at(index);
    QByteArray data = scale == 2 ? pack.data2x : pack.data;
    if (data.isEmpty() && m_archive) {
        QMutexLocker archiveLock(&m_archiveMutex);
        const QString name = scale == 2 ? QStringLiteral("2x/") + pack.name : pack.name;
        data = m_archive->read(name, limits::archiveBytes, nullptr).value_or(QByteArray());
    }
    QByteArray dictionary;
    if (!pack.dictionary.isEmpty()) {
        const QSize size = pack.dictionarySize * scale;
        dictionary = straightBytes(scale == 2 ? pack.dictionary2x : pack.dictionary, size);
        if (dictionary.size() != qint64(size.width()) * size.height() * 4)
            return {};
    }
    const qint64 rawSize = pack.rawSize * scale * scale;
    if (data.isEmpty() || rawSize <= 0 || rawSize > limits::packBytes)
        return {};
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6))
        return {};
    // The window spans everything the pack can refer to; the output buffer, the
    // size its list gives, bounds what a damaged pack can make us allocate.
    options.dict_size = std::max<uint32_t>(LZMA_DICT_SIZE_MIN, uint32_t(rawSize + dictionary.size()));
    options.preset_dict = dictionary.isEmpty() ? nullptr : reinterpret_cast<const uint8_t *>(dictionary.constData());
    options.preset_dict_size = uint32_t(dictionary.size());
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    auto raw = std::make_shared<MappedBytes>(rawSize);
    if (raw->size() != rawSize)
        return {};
    size_t in = 0, out = 0;
    const lzma_ret ret = lzma_raw_buffer_decode(filters, &blockAllocator, reinterpret_cast<const uint8_t *>(data.constData()),
                                                &in, size_t(data.size()), raw->data(), &out, size_t(raw->size()));
    if (ret != LZMA_OK || out != size_t(raw->size()) || in != size_t(data.size()))
        return {};
    QMutexLocker lock(&m_packMutex);
    m_unpacked = Unpacked{index, scale, raw};
    return raw;
}

void FrameStore::insert(quint32 key, const QImage &image)
{
    QMutexLocker lock(&m_mutex);
    m_pending.remove(key);
    auto it = m_cache.find(key);
    if (it != m_cache.end()) {
        it->used = ++m_clock;
        return;
    }
    m_cache.insert(key, Slot{image, ++m_clock});
    m_bytes += image.sizeInBytes();
    while (m_bytes > m_budget && m_cache.size() > 2) {
        auto oldest = m_cache.begin();
        for (auto i = m_cache.begin(); i != m_cache.end(); ++i) {
            if (i->used < oldest->used)
                oldest = i;
        }
        m_bytes -= oldest->image.sizeInBytes();
        m_cache.erase(oldest);
    }
}

void FrameStore::prefetch(const QList<int> &indices, int scale)
{
    QList<int> wanted;
    {
        QMutexLocker lock(&m_mutex);
        for (int i : indices) {
            const quint32 key = cacheKey(i, scale);
            if (i < 0 || i >= count() || m_cache.contains(key) || m_pending.contains(key) || m_broken.contains(key)
                || (scale == 2 && !has2x(i)))
                continue;
            m_pending.insert(key);
            wanted.append(i);
        }
    }
    if (wanted.isEmpty())
        return;
    // The task holds the store weakly: an unloaded character's queued work is dropped.
    std::weak_ptr<FrameStore> weak = shared_from_this();
    const bool started = startDecoding([weak, wanted, scale] {
        for (int i : wanted) {
            const std::shared_ptr<FrameStore> store = weak.lock();
            if (!store)
                return;
            store->image(i, scale);
            QMutexLocker lock(&store->m_mutex);
            store->m_pending.remove(cacheKey(i, scale));
        }
    });
    if (!started) {
        // The program is ending: these are decoded when asked for, if ever.
        QMutexLocker lock(&m_mutex);
        for (int i : wanted)
            m_pending.remove(cacheKey(i, scale));
    }
}

void stopFrameDecoding()
{
    QThreadPool *pool = nullptr;
    {
        QMutexLocker lock(&g_poolMutex);
        g_poolStopped = true;
        pool = std::exchange(g_pool, nullptr);
    }
    if (!pool)
        return;
    pool->clear();
    pool->waitForDone();
    delete pool;
}

bool FrameStore::isCached(int index, int scale) const
{
    QMutexLocker lock(&m_mutex);
    return m_cache.contains(cacheKey(index, scale));
}

bool FrameStore::isBroken(int index) const
{
    QMutexLocker lock(&m_mutex);
    return m_broken.contains(cacheKey(index, 1));
}

void FrameStore::setBudget(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_budget = std::max<qint64>(0, bytes);
}

qint64 FrameStore::budget() const
{
    QMutexLocker lock(&m_mutex);
    return m_budget;
}

qint64 FrameStore::cachedBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_bytes;
}

int FrameStore::decodes() const
{
    QMutexLocker lock(&m_mutex);
    return m_decodes;
}

} // namespace chimewell::agent
