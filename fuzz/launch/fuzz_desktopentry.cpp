// Any desktop entry read for the web browser's command line: no crash, no
// undefined behaviour; the address is passed once, whole, as (part of) one
// argument; nothing longer than the entry and the address together comes out.
#include "common/desktopentry.h"

#include <cstddef>
#include <cstdint>

using namespace chimewell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 8192)
        return 0;
    const QByteArray entry(reinterpret_cast<const char *>(data), qsizetype(size));
    // An address no entry can spell, so it is found only where it was placed.
    const QString address = QStringLiteral("https://example.org/\u2603?a=1&b=%u");
    const QStringList command = desktopEntryCommand(entry, address);
    int found = 0;
    for (const QString &arg : command) {
        if (arg.size() > entry.size() + address.size())
            __builtin_trap();
        found += arg.count(address);
    }
    if (!command.isEmpty() && found != 1 && !entry.contains("\u2603"))
        __builtin_trap();
    return 0;
}
