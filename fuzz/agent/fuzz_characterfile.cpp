// libFuzzer target: any bytes as a character file. The parser must refuse or
// accept them without crashing, hanging or taking unbounded memory.
//
// Input that starts with '{' is taken as a manifest and packed, with a few valid
// pictures and a sound, into a fresh archive: mutations of the manifest then reach
// the manifest checks instead of dying on the archive's checksums.
#include "agent/characterfile.h"
#include "acsbuilder.h"

#include <cstddef>
#include <cstdint>

namespace {
QByteArray packManifest(const QByteArray &manifest)
{
    using namespace chimewell::agent::test;
    static const QList<ZipEntry> assets = [] {
        QList<ZipEntry> list;
        for (int i = 0; i < 4; ++i)
            list.append({QStringLiteral("frames/f%1.png").arg(i), png(paintFrame(16, 16, QColor::fromHsv(i * 60, 200, 200))), true});
        list.append({QStringLiteral("2x/frames/f0.png"), png(paintFrame(16, 16, Qt::red, 2.0)), true});
        // Parts for patches: a piece and its 2x twin.
        list.append({QStringLiteral("frames/p.png"), png(paintFrame(4, 4, Qt::green)), true});
        list.append({QStringLiteral("2x/frames/p.png"), png(paintFrame(4, 4, Qt::green, 2.0)), true});
        list.append({QStringLiteral("mouth/open.png"), png(paintFrame(4, 2, Qt::black)), true});
        // A pack of a whole 16x16 picture and a 4x4 part, at both scales, over f0 as dictionary.
        const QByteArray dictionary = rgbaBytes(paintFrame(16, 16, QColor::fromHsv(0, 200, 200))) +
                                      rgbaBytes(paintFrame(16, 16, Qt::red, 2.0));
        const QByteArray raw = rgbaBytes(paintFrame(16, 16, Qt::blue)) + rgbaBytes(paintFrame(16, 16, Qt::blue, 2.0)) +
                               rgbaBytes(paintFrame(4, 4, Qt::yellow)) + rgbaBytes(paintFrame(4, 4, Qt::yellow, 2.0));
        list.append({QStringLiteral("packs/k.lzma"), lzmaPack(raw, dictionary), true});
        list.append({QStringLiteral("sounds/s.wav"), wav(5, 8000, 8, 1), true});
        return list;
    }();
    // Everything stored: deflating on every run was most of a run's time, and the
    // inflating reader is reached by the seeds that are whole archives.
    QList<ZipEntry> entries{{QStringLiteral("manifest.json"), manifest, true}};
    entries.append(assets);
    return makeZip(entries);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (size > 0 && data[0] == '{')
        bytes = packManifest(QByteArray(bytes));
    // Odd sizes take the path that reads pictures from the archive on demand; that
    // keeps the bytes, so they are copied out of the fuzzer's buffer first.
    chimewell::agent::ParseOptions options;
    options.lazy = size % 2 == 1;
    if (options.lazy)
        bytes = QByteArray(bytes.constData(), bytes.size());
    QString error;
    const auto character = chimewell::agent::parseCharacterFile(bytes, &error, options);
    if (!character) {
        if (error.isEmpty())
            __builtin_trap(); // every refusal has a reason
        return 0;
    }
    // Decode every picture at both scales, as the service would on demand, with
    // a cache too small to hold them, and check that every index is in range.
    character->store->setBudget(4096);
    for (const auto &image : character->images) {
        const QImage one = image.image();
        if (!one.isNull() && one.size() != image.size())
            __builtin_trap();
        const QImage two = image.image2x();
        if (!two.isNull() && two.size() != image.size() * 2)
            __builtin_trap();
    }
    for (const auto &a : character->animations) {
        if (a.frames.isEmpty() || a.returnAnimation >= character->animations.size())
            __builtin_trap();
        for (const auto &f : a.frames) {
            if (f.image < 0 || f.image >= character->images.size() || f.sound >= character->sounds.size()
                || f.exit >= a.frames.size())
                __builtin_trap();
            for (const auto &b : f.branches) {
                if (b.frame < 0 || b.frame >= a.frames.size())
                    __builtin_trap();
            }
        }
    }
    return 0;
}
