#include "tests/support/warnings.h"

#include <QRegularExpression>
#include <QTest>

namespace chimewell::testing {

void failOnUnexpectedWarnings()
{
    // The allow-list, one alternative a kind of harmless warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(
        "^(?!This plugin does not support|PulseAudioService|QStandardPaths: XDG_RUNTIME_DIR)")));
}

} // namespace chimewell::testing
