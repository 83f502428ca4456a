// Any text through the speech tag parser: no crash, no hang, and what comes out is
// consistent (words inside their texts, in order; nothing the engine must not see).
#include "voice/speechtags.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace chimewell::voice::tags;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void checkParsed(const Parsed &p)
{
    check(p.display == p.display.trimmed());
    int lastEnd = 0;
    for (const Segment &s : p.segments) {
        if (s.kind == Segment::Kind::Pause)
            check(s.pauseMs > 0 && s.pauseMs <= kMaxPauseMs);
        if (s.kind != Segment::Kind::Speech)
            continue;
        check(!s.words.isEmpty());
        for (QChar c : s.spoken)
            check(c.unicode() >= 0x20 && c.category() != QChar::Other_Control);
        for (const Word &w : s.words) {
            check(w.spokenStart >= 0 && w.spokenLength > 0 && w.spokenStart + w.spokenLength <= s.spoken.size());
            check(w.displayStart >= 0 && w.displayLength >= 0
                  && w.displayStart + w.displayLength <= p.display.size());
            check(w.displayLength == 0 || w.displayStart + w.displayLength >= lastEnd);
            if (w.displayStart + w.displayLength > lastEnd)
                lastEnd = w.displayStart + w.displayLength;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 64 * 1024)
        return 0;
    // First byte: how to read the rest. Odd: UTF-16 as it comes (lone surrogates and all);
    // even: UTF-8 (invalid sequences become replacement characters, as the app gets them).
    const bool utf16 = data[0] & 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const size_t n = size - 1;
    // A zero byte splits the speech from the speaker's last speech (for \Lst\).
    const void *zero = std::memchr(bytes, 0, n);
    const size_t textBytes = zero ? size_t(static_cast<const char *>(zero) - bytes) : n;
    auto decode = [utf16](const char *b, size_t len) {
        if (!utf16)
            return QString::fromUtf8(b, qsizetype(len));
        QString s(qsizetype(len / 2), Qt::Uninitialized); // aligned, unlike the input
        std::memcpy(s.data(), b, len / 2 * 2);
        return s;
    };
    const QString text = decode(bytes, textBytes);
    const QString last = zero ? decode(bytes + textBytes + 1, n - textBytes - 1) : QString();

    const Parsed p = parse(text, last);
    checkParsed(p);
    // What a later \Lst\ repeats parses the same way.
    const Parsed again = parse(QStringLiteral("\\Lst\\"), parse(last).source);
    checkParsed(again);
    return 0;
}
