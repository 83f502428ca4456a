// The helper the small programs speak through: a stored character by slot,
// requests dropped while nothing is loaded, and the character gone with it.
#include "agent/speakingcharacter.h"

#include "common/settingsstore.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/warnings.h"

#include <QTest>

using namespace chimewell;
using agent::SpeakingCharacter;

class TestSpeakingCharacter final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testing::startLogCapture(); }
    void init()
    {
        testing::failOnUnexpectedWarnings();
        testing::capturedLog().clear();
    }

    void storedCharacterBySlot_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("stored");   // LastCharacter / LastCharacter2; empty: none
        QTest::addColumn<QString>("expected"); // the id loaded; empty: none
        QTest::newRow("character 1") << int(CharacterSlot::One) << "max" << "max";
        QTest::newRow("character 2") << int(CharacterSlot::Two) << "plany" << "plany";
        QTest::newRow("nothing stored: the fallback") << int(CharacterSlot::Two) << "" << "merlin";
        QTest::newRow("a name that does not load") << int(CharacterSlot::One) << "nobody" << "";
    }
    void storedCharacterBySlot()
    {
        QFETCH(int, slot);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        testing::TempHome home;
        for (const char *id : {"max", "plany", "merlin"})
            QVERIFY(home.addCharacter(QLatin1String(id)));
        const auto s = CharacterSlot(slot);
        if (!stored.isEmpty())
            store::setValue(QStringLiteral("Data"), QLatin1String(nameKey(s)), stored);
        if (expected.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot load")));
        {
            SpeakingCharacter c(QStringLiteral("Agent1"));
            QCOMPARE(c.loadStored(s, QStringLiteral("merlin")), !expected.isEmpty());
            QCOMPARE(c.id(), expected);
            // Requests reach the loaded character, or are dropped with 0.
            QCOMPARE(c.speak(QStringLiteral("Hello")) > 0, !expected.isEmpty());
            QCOMPARE(c.play(QStringLiteral("Greet")) > 0, !expected.isEmpty());
        }
        QStringList expectedLines;
        if (!expected.isEmpty())
            expectedLines = QStringList{expected + QStringLiteral(" Load ") + expected + QStringLiteral(".acs"),
                                        expected + QStringLiteral(" Speak Hello"), expected + QStringLiteral(" Play Greet"),
                                        expected + QStringLiteral(" Unload")};
        else
            expectedLines = QStringList{QStringLiteral("nobody Load nobody.acs")};
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.agent")), expectedLines);
    }
};

QTEST_MAIN(TestSpeakingCharacter)
#include "tst_speakingcharacter.moc"
