// libFuzzer target: genuine version 2 Agent characters and their picture
// compression. Input that starts with the character signature is loaded as a
// file; anything else is two bytes of expected size (little-endian) and a
// compressed stream for the decompressor alone. Either must fail or succeed
// without crashing, hanging or taking unbounded memory.
#include "agent/acsv2reader.h"
#include "agent/characterfile.h"

#include <QtEndian>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    if (chimewell::agent::acsv2::identify(bytes.left(8)) == chimewell::agent::acsv2::Kind::V2) {
        const auto c = chimewell::agent::parseCharacterFile(bytes, &error);
        // Every picture a loaded character names must decode.
        if (c) {
            for (const auto &image : c->images)
                if (image.image().isNull())
                    __builtin_trap();
        } else if (error.isEmpty()) {
            __builtin_trap();
        }
        return 0;
    }
    if (size < 2)
        return 0;
    const qint64 expected = qFromLittleEndian<quint16>(data) * 16;
    const auto out = chimewell::agent::acsv2::decompress(data + 2, qint64(size - 2), expected, &error);
    if (out && out->size() != expected)
        __builtin_trap();
    return 0;
}
