#include "voice/synthesizer.h"
#include <QTest>
using namespace chimewell::voice;
class TstSynthesizer final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(Synthesizer::instance().available()); }
};
QTEST_GUILESS_MAIN(TstSynthesizer)
#include "tst_synthesizer.moc"
