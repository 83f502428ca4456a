// libFuzzer target: any bytes as a character file. The parser must refuse or
// accept them without crashing, hanging or taking unbounded memory.
#include "agent/characterfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const auto character = chimewell::agent::parseCharacterFile(bytes, &error);
    if (!character)
        return 0;
    // Touch what the service uses later, the lazily decoded 2x pictures included.
    qint64 pixels = 0;
    for (const auto &image : character->images) {
        pixels += image.image.width() * image.image.height();
        pixels += image.image2x().width();
    }
    for (const auto &a : character->animations) {
        for (const auto &f : a.frames) {
            if (f.image < 0 || f.image >= character->images.size())
                __builtin_trap();
        }
    }
    return pixels > 0 ? 0 : 0;
}
