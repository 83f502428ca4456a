#include "fixture.h"

#include "tests/support/logcapture.h"

namespace chimewell::characters::test {

namespace agentlog {

void install() { testing::startLogCapture(); }

void clear() { testing::capturedLog().clear(); }

QStringList all() { return testing::capturedLines(QStringLiteral("chimewell.agent")); }

QStringList of(const QString &id)
{
    QStringList out;
    const QString prefix = id + QLatin1Char(' ');
    for (const QString &line : all()) {
        if (line.startsWith(prefix))
            out << line.mid(prefix.size());
    }
    return out;
}

QStringList speechOf(const QString &id)
{
    QStringList out;
    for (const QString &request : of(id)) {
        if (request.startsWith(QLatin1String("Speak ")) && request != QLatin1String("Speak  "))
            out << request.mid(6);
    }
    return out;
}

} // namespace agentlog

} // namespace chimewell::characters::test
