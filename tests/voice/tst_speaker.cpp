#include "voice/speaker.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace chimewell::voice;

// Speakers end to end, on the silent clock (no sound device in the test environment).
class TstSpeaker final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void speaksWordsInOrderAndFinishes();
    void speakReturnsAtOnce();
    void emptyTextFinishesAtOnce_data();
    void emptyTextFinishesAtOnce();
    void twoSpeakersAtOnce();
    void stopEndsAtOnce();
    void speakWhileSpeakingFinishesTheFirst();
    void pauseAndSpeedChangeTheDuration();
    void mapShowsOneTextAndSpeaksTheOther();
    void bookmarksArriveInOrder();
    void lastSpeechRepeats();
    void hugeTextDoesNotBlock();
    void hostileTextIsSpokenSafely();
    void silentOutputKeepsThePace();
    void mouthMovesAndEndsClosed();

private:
    static qint64 timeToFinish(Speaker &s, const QString &text, int timeoutMs = 20000);
};

void TstSpeaker::initTestCase()
{
    // These tests pin the silent clock (as in CI, where there is no sound server); a
    // desktop running them keeps quiet unless asked otherwise.
    if (qEnvironmentVariableIsEmpty("CHIMEWELL_VOICE_TEST_SOUND"))
        qputenv("PULSE_SERVER", "unix:/nonexistent/chimewell-voice-test");
    QVERIFY(engineAvailable());
}

qint64 TstSpeaker::timeToFinish(Speaker &s, const QString &text, int timeoutMs)
{
    QSignalSpy finished(&s, &Speaker::finished);
    QElapsedTimer t;
    t.start();
    s.speak(text);
    if (!finished.wait(timeoutMs))
        return -1;
    return t.elapsed();
}

void TstSpeaker::speaksWordsInOrderAndFinishes()
{
    Speaker s;
    QSignalSpy started(&s, &Speaker::started);
    QSignalSpy words(&s, &Speaker::wordReached);
    QSignalSpy finished(&s, &Speaker::finished);
    s.speak(QStringLiteral("The time is \\Emp\\half past 5"));
    QVERIFY(s.isSpeaking());
    QCOMPARE(started.count(), 1);
    const QString shown = started.at(0).at(0).toString();
    QCOMPARE(shown, QStringLiteral("The time is half past 5"));
    QVERIFY(finished.wait(10000));
    QVERIFY(!s.isSpeaking());
    QCOMPARE(finished.count(), 1);
    QStringList heard;
    for (const auto &w : words)
        heard << shown.mid(w.at(0).toInt(), w.at(1).toInt());
    QCOMPARE(heard, shown.split(QLatin1Char(' ')));
}

void TstSpeaker::speakReturnsAtOnce()
{
    Speaker s;
    QElapsedTimer t;
    t.start();
    s.speak(QStringLiteral("The time is half past 5"));
    QVERIFY2(t.elapsed() < 50, qPrintable(QString::number(t.elapsed())));
    s.stop();
}

void TstSpeaker::emptyTextFinishesAtOnce_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("one blank") << QStringLiteral(" ");
    QTest::newRow("only tags") << QStringLiteral("\\Spd=200\\\\Chr=\"Whisper\"\\");
    QTest::newRow("only control characters") << QStringLiteral("\x01\x02\t\n");
}

void TstSpeaker::emptyTextFinishesAtOnce()
{
    QFETCH(QString, text);
    Speaker s;
    QSignalSpy started(&s, &Speaker::started);
    QSignalSpy words(&s, &Speaker::wordReached);
    const qint64 ms = timeToFinish(s, text);
    QVERIFY(ms >= 0);
    QVERIFY2(ms < 200, qPrintable(QString::number(ms)));
    QCOMPARE(started.count(), 1);
    QCOMPARE(started.at(0).at(0).toString(), QString());
    QCOMPARE(words.count(), 0);
}

void TstSpeaker::twoSpeakersAtOnce()
{
    Speaker a, b;
    b.setVoice(Voice{QStringLiteral("en-gb"), QStringLiteral("f2"), 60, 180});
    QSignalSpy fa(&a, &Speaker::finished), fb(&b, &Speaker::finished);
    QSignalSpy wa(&a, &Speaker::wordReached), wb(&b, &Speaker::wordReached);
    QElapsedTimer t;
    t.start();
    a.speak(QStringLiteral("It is ten o'clock in the morning."));
    b.speak(QStringLiteral("And I am here too, speaking at the same time."));
    QTRY_VERIFY_WITH_TIMEOUT(fa.count() == 1 && fb.count() == 1, 15000);
    const qint64 together = t.elapsed();
    QCOMPARE(wa.count(), 7);
    QCOMPARE(wb.count(), 10);
    // Side by side, not one after the other: together about as long as the longer one alone.
    const qint64 alone = timeToFinish(b, QStringLiteral("And I am here too, speaking at the same time."));
    QVERIFY2(together < alone * 1.3 + 300, qPrintable(QStringLiteral("%1 vs %2").arg(together).arg(alone)));
}

void TstSpeaker::stopEndsAtOnce()
{
    Speaker s;
    QSignalSpy words(&s, &Speaker::wordReached);
    QSignalSpy finished(&s, &Speaker::finished);
    s.speak(QStringLiteral("This is a rather long sentence that will be broken off in the middle by a stop."));
    QTRY_VERIFY_WITH_TIMEOUT(words.count() >= 2, 5000);
    s.stop();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!s.isSpeaking());
    const int heard = int(words.count());
    QTest::qWait(500);
    QCOMPARE(words.count(), heard);
    QCOMPARE(finished.count(), 1);
    s.stop(); // stopping a silent speaker is nothing
    QCOMPARE(finished.count(), 1);
}

void TstSpeaker::speakWhileSpeakingFinishesTheFirst()
{
    Speaker s;
    QSignalSpy started(&s, &Speaker::started);
    QSignalSpy finished(&s, &Speaker::finished);
    s.speak(QStringLiteral("first speech that is long enough to be cut"));
    s.speak(QStringLiteral("second"));
    QCOMPARE(finished.count(), 1);
    QVERIFY(finished.wait(5000));
    QCOMPARE(started.count(), 2);
    QCOMPARE(finished.count(), 2);
}

void TstSpeaker::pauseAndSpeedChangeTheDuration()
{
    Speaker s;
    const qint64 plain = timeToFinish(s, QStringLiteral("one two three"));
    const qint64 paused = timeToFinish(s, QStringLiteral("one two \\Pau=1000\\ three"));
    const qint64 fast = timeToFinish(s, QStringLiteral("\\Spd=400\\one two three"));
    QVERIFY(plain > 300);
    QVERIFY2(paused - plain > 700 && paused - plain < 1400, qPrintable(QStringLiteral("%1 %2").arg(plain).arg(paused)));
    QVERIFY2(fast < plain * 0.8, qPrintable(QStringLiteral("%1 %2").arg(plain).arg(fast)));
}

void TstSpeaker::mapShowsOneTextAndSpeaksTheOther()
{
    Speaker s;
    QSignalSpy started(&s, &Speaker::started);
    QSignalSpy words(&s, &Speaker::wordReached);
    QVERIFY(timeToFinish(s, QStringLiteral("It is \\Map=\"twelve o'clock\"=\"12:00\"\\ now")) > 0);
    const QString shown = started.at(0).at(0).toString();
    QCOMPARE(shown, QStringLiteral("It is 12:00 now"));
    QStringList heard;
    for (const auto &w : words)
        heard << shown.mid(w.at(0).toInt(), w.at(1).toInt());
    heard.removeDuplicates();
    QCOMPARE(heard, (QStringList{QStringLiteral("It"), QStringLiteral("is"), QStringLiteral("12:00"), QStringLiteral("now")}));
}

void TstSpeaker::bookmarksArriveInOrder()
{
    Speaker s;
    QSignalSpy marks(&s, &Speaker::bookmark);
    QSignalSpy words(&s, &Speaker::wordReached);
    QList<int> order; // -1 for a word
    connect(&s, &Speaker::bookmark, this, [&](int m) { order << m; });
    connect(&s, &Speaker::wordReached, this, [&](int, int) { order << -1; });
    QVERIFY(timeToFinish(s, QStringLiteral("\\Mrk=1\\hello \\Mrk=2\\ world\\Mrk=3\\")) > 0);
    QCOMPARE(order, (QList<int>{1, -1, 2, -1, 3}));
    QVERIFY(timeToFinish(s, QStringLiteral("\\Mrk=7\\")) >= 0);
    QCOMPARE(marks.last().at(0).toInt(), 7);
}

void TstSpeaker::lastSpeechRepeats()
{
    Speaker s;
    QSignalSpy started(&s, &Speaker::started);
    QVERIFY(timeToFinish(s, QStringLiteral("\\Lst\\")) >= 0); // nothing said yet
    QVERIFY(timeToFinish(s, QStringLiteral("good \\Emp\\morning")) > 0);
    QVERIFY(timeToFinish(s, QStringLiteral("\\lst\\")) > 0);
    QCOMPARE(started.last().at(0).toString(), QStringLiteral("good morning"));
    QVERIFY(timeToFinish(s, QStringLiteral("\\Lst\\ again")) > 0);
    QCOMPARE(started.last().at(0).toString(), QStringLiteral("good morning again"));
}

void TstSpeaker::hugeTextDoesNotBlock()
{
    QString text;
    const QString sentence = QStringLiteral("This is sentence number %1 of a very long text. ");
    for (int i = 0; text.size() < 1024 * 1024; ++i)
        text += sentence.arg(i);
    Speaker s;
    QSignalSpy words(&s, &Speaker::wordReached);
    QSignalSpy finished(&s, &Speaker::finished);
    QElapsedTimer t;
    t.start();
    s.speak(text);
    const qint64 returned = t.elapsed();
    QVERIFY2(returned < 50, qPrintable(QString::number(returned)));
    QVERIFY(words.wait(2000));
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    // The event loop keeps running while it speaks.
    QElapsedTimer loop;
    loop.start();
    QTest::qWait(300);
    QVERIFY(loop.elapsed() < 600);
    QVERIFY(words.count() >= 2);
    s.stop();
    QCOMPARE(finished.count(), 1);

    // Stopped before the text is even read: still one started() and one finished().
    QSignalSpy started(&s, &Speaker::started);
    QSignalSpy words2(&s, &Speaker::wordReached);
    s.speak(text);
    s.stop();
    QCOMPARE(started.count(), 1);
    QCOMPARE(finished.count(), 2);
    QTest::qWait(800);
    QCOMPARE(started.count(), 1);
    QCOMPARE(words2.count(), 0);
    QVERIFY(!s.isSpeaking());
}

void TstSpeaker::hostileTextIsSpokenSafely()
{
    const QString texts[] = {
        QStringLiteral("<speak><break time=\"5s\"/></speak> & &amp; \"quoted\" 'single'"),
        QStringLiteral("[[h@l'oU]] \x01" "5S \x01" "200P bell\x07 tab\t nul") + QChar(0) + QStringLiteral("end"),
        QString::fromUtf8("caf\xc3\xa9 \xff\xfe broken \xed\xa0\x80 utf8 \xf0\x9f\x98\x80 emoji"),
        QStringLiteral("\\\\\\Unknown=5\\ \\Pit=abc\\ \\Map=\"x\\ \\Spd=200"),
    };
    Speaker s;
    for (const QString &text : texts) {
        QSignalSpy started(&s, &Speaker::started);
        QVERIFY(timeToFinish(s, text, 30000) >= 0);
        const QString shown = started.at(0).at(0).toString();
        QVERIFY(!shown.contains(QLatin1String("Unknown")) && !shown.contains(QLatin1String("Spd"))
                && !shown.contains(QLatin1String("Pit")));
    }
    // One endless word: cut into pieces the engine can take, and it starts at once.
    QSignalSpy words(&s, &Speaker::wordReached);
    QSignalSpy finished(&s, &Speaker::finished);
    s.speak(QString(100000, QLatin1Char('a')));
    QVERIFY(words.wait(2000));
    s.stop();
    QCOMPARE(finished.count(), 1);
}

void TstSpeaker::silentOutputKeepsThePace()
{
    Speaker s;
    const qint64 spoken = timeToFinish(s, QStringLiteral("one two three four five"));
    OutputOptions o = outputOptions();
    o.spokenOutput = false;
    setOutputOptions(o);
    const qint64 silent = timeToFinish(s, QStringLiteral("one two three four five"));
    o.spokenOutput = true;
    o.speedPercent = 200;
    setOutputOptions(o);
    const qint64 faster = timeToFinish(s, QStringLiteral("one two three four five"));
    setOutputOptions(OutputOptions());
    QVERIFY2(qAbs(silent - spoken) < spoken / 3, qPrintable(QStringLiteral("%1 %2").arg(spoken).arg(silent)));
    QVERIFY2(faster < spoken * 0.75, qPrintable(QStringLiteral("%1 %2").arg(spoken).arg(faster)));
}

void TstSpeaker::mouthMovesAndEndsClosed()
{
    Speaker s;
    QSignalSpy mouths(&s, &Speaker::mouthChanged);
    QVERIFY(timeToFinish(s, QStringLiteral("Oh, what a wonderful morning. Pop! Bob, see?")) > 0);
    QSet<int> seen;
    for (const auto &m : mouths)
        seen.insert(m.at(0).value<Mouth>() == Mouth::Closed ? 0 : int(m.at(0).value<Mouth>()));
    QVERIFY(seen.size() >= 4);
    QCOMPARE(mouths.last().at(0).value<Mouth>(), Mouth::Closed);
    for (int i = 1; i < mouths.size(); ++i)
        QVERIFY(mouths.at(i).at(0) != mouths.at(i - 1).at(0)); // only changes are reported
}

QTEST_GUILESS_MAIN(TstSpeaker)
#include "tst_speaker.moc"
