#include "voice/speechtags.h"
#include <QTest>
using namespace chimewell::voice::tags;
class TstSpeechTags final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QCOMPARE(parse(QStringLiteral("a \\Spd=100\\ b")).display, QStringLiteral("a b")); }
};
QTEST_GUILESS_MAIN(TstSpeechTags)
#include "tst_speechtags.moc"
