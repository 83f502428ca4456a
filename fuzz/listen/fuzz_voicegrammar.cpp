// Any text as a command's voice: no crash, no hang, and what comes out agrees with
// itself (a valid phrase has words and a grammar; a refused one matches nothing; the
// grammar of several holds exactly the valid ones).
#include "listen/grammar.h"
#include "listen/pronunciation.h"

#include <QString>

#include <cstddef>
#include <cstdint>

using namespace chimewell::listen;

namespace {
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const Phrase p = Phrase::parse(text);
    check(!(p.isValid() && p.isEmpty()));
    if (p.isValid()) {
        check(!p.words().isEmpty());
        check(!p.jsgf().isEmpty());
        // An all-optional text is made required: silence is never a command.
        check(!p.matches({}));
        // Its first word alone either matches or not, but the check must finish.
        (void)p.matches({p.words().first()});
        for (const QString &w : p.words())
            check(!w.isEmpty() && w == w.toLower());
    } else {
        check(p.jsgf().isEmpty());
        check(!p.matches({QStringLiteral("a")}));
    }
    const Grammar g({{"a", "one", text}, {"b", "two", QStringLiteral("what is the [date]")}});
    check(g.errors().at(1).isEmpty());
    check(g.jsgf().contains(QLatin1String("what is the date")));
    check(g.match({"what", "is", "the"}, QStringLiteral("b")) >= 0);
    (void)arpabetFromEspeak(text);
    return 0;
}
