// The loader the service uses reads every shipped character the build drew.
#include "agent/characterfile.h"

#include <QtTest>

using namespace chimewell::agent;

class ShippedLoad final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loads_data()
    {
        QTest::addColumn<QString>("id");
        for (const char *id : {"max", "plany", "genie", "peedy", "robby", "merlin", "check"})
            QTest::newRow(id) << QString::fromLatin1(id);
    }
    void loads()
    {
        QFETCH(QString, id);
        const QString path = QStringLiteral(CHIMEWELL_PROGRAM_DIR "/chars/") + id + QStringLiteral(".acs");
        QString error;
        const auto c = loadCharacterFile(path, &error);
        QVERIFY2(c, qPrintable(error));
        QVERIFY(!c->name.isEmpty());
        QVERIFY(c->hasMouth);
        for (const char *state : {"Show", "Hide", "Speak", "Greet", "RestPose"})
            QVERIFY2(c->findAnimation(QString::fromLatin1(state)) >= 0, state);
        for (int s = 0; s < int(State::Count); ++s)
            QVERIFY2(!c->states[size_t(s)].isEmpty(), qPrintable(QString::number(s)));
        // Every picture has its HiDPI twin, and it decodes at twice the size.
        QVERIFY(!c->images.isEmpty());
        for (const FrameImage &img : c->images) {
            QVERIFY(img.has2x());
            QCOMPARE(img.image2x().size(), img.image.size() * 2);
        }
        for (const FrameImage &m : c->mouth)
            QCOMPARE(m.image2x().size(), m.image.size() * 2);
    }
};

QTEST_MAIN(ShippedLoad)
#include "tst_shippedload.moc"
