// Any stored Launch value split into a program and its arguments as the alarm
// starts it: no crash, no undefined behaviour, and words that could not have
// come from the text (longer than it, or more of them than it has characters).
#include "common/launcher.h"

#include <cstddef>
#include <cstdint>

using namespace chimewell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList words = commandLineWords(line);
    if (words.size() > line.size())
        __builtin_trap();
    for (const QString &w : words) {
        if (w.size() > line.size())
            __builtin_trap();
    }
    // The same text always gives the same words.
    if (commandLineWords(line) != words)
        __builtin_trap();
    return 0;
}
