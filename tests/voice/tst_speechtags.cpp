#include "voice/speechtags.h"

#include <QRandomGenerator>
#include <QTest>

using namespace chimewell::voice::tags;

// The speech tag parser: what the balloon shows, what the engine hears, and how the two
// line up, for well-formed, odd and hostile texts.
class TstSpeechTags final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void displayText_data();
    void displayText();
    void spokenText_data();
    void spokenText();
    void settingsLastToTheEnd();
    void whisperInTheMiddleWhispersOnlyWhatFollows();
    void resetRestoresTheDefaults();
    void emphasisTakesTheNextWordOnly();
    void pausesAndMarksAreSegments();
    void mapLinesSpokenWordsUpWithShownWords();
    void lastSpeechIsRepeated();
    void wordsPointAtTheirDisplayText();
    void randomTextsKeepTheInvariants();

private:
    static QString spokenOf(const Parsed &p);
    static void checkInvariants(const QString &input, const Parsed &p);
};

QString TstSpeechTags::spokenOf(const Parsed &p)
{
    QStringList parts;
    for (const Segment &s : p.segments) {
        if (s.kind == Segment::Kind::Speech)
            parts << s.spoken.simplified();
        else if (s.kind == Segment::Kind::Pause)
            parts << QStringLiteral("<%1ms>").arg(s.pauseMs);
        else
            parts << QStringLiteral("<mark %1>").arg(s.mark);
    }
    return parts.join(QLatin1Char('|'));
}

void TstSpeechTags::displayText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("display");
    auto row = [](const char *name, const char *text, const char *display) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(display);
    };
    row("plain", "The time is half past 5", "The time is half past 5");
    row("blanks collapse and trim", "  two \t\n words  ", "two words");
    row("tags vanish", "\\Chr=\"Whisper\"\\We will \\Emp\\whisper \\Pau=200\\now", "We will whisper now");
    row("tag names in any case", "\\cHR=\"wHISPER\"\\a \\SPD=200\\b \\pit=120\\c", "a b c");
    row("tag between letters joins them", "Hel\\Pau=100\\lo", "Hello");
    row("double backslash is a backslash", "C:\\\\temp", "C:\\temp");
    row("backslashes in a row", "a \\\\\\\\ b", "a \\\\ b");
    row("backslash pair then tag", "a\\\\\\Spd=100\\b", "a\\b");
    row("unknown tags dropped", "a \\Foo\\ b \\Bar=7\\ c \\\\", "a b c \\");
    row("empty tag", "a \\\\ \\ \\b", "a \\ b");
    row("malformed value dropped", "a \\Spd=fast\\b \\Pau=-5\\c \\Vol\\d", "a b c d");
    row("tag with blank before equals", "a \\Pau 5\\b", "a b");
    row("unfinished known tag drops the rest", "hello \\Spd=200 world", "hello");
    row("stray backslash dropped", "a \\ b", "a b");
    row("map shows its second text", "It is \\Map=\"twelve o'clock\"=\"12:00\"\\ now", "It is 12:00 now");
    row("map with backslash inside quotes", "\\Map=\"back slash\"=\"a\\b\"\\!", "a\\b!");
    row("map malformed dropped", "x \\Map=\"a\"\\ y \\Map=a=b\\ z \\Map=\"a\"=\"b\"junk\\", "x y z");
    row("ctx accepted", "\\Ctx=\"Email\"\\hi", "hi");
    row("control characters are blanks", "a\x01\x02" "b\x07" "c", "a b c");
    row("markup stays text", "<b>&amp;\"</b>", "<b>&amp;\"</b>");
    row("only tags", "\\Rst\\\\Emp\\", "");
    row("nothing", "", "");
}

void TstSpeechTags::displayText()
{
    QFETCH(QString, text);
    QFETCH(QString, display);
    QCOMPARE(parse(text).display, display);
}

void TstSpeechTags::spokenText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spoken");
    auto row = [](const char *name, const char *text, const char *spoken) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(spoken);
    };
    row("plain", "Hello there", "Hello there");
    row("map speaks its first text", "It is \\Map=\"twelve o'clock\"=\"12:00\"\\", "It is twelve o'clock");
    row("control characters never reach the engine", "a\x01" "5S\x1b[0m b", "a 5S [0m b");
    row("pause", "a \\Pau=250\\ b", "a|<250ms>|b");
    row("zero pause is nothing", "a \\Pau=0\\ b", "a|b");
    row("huge pause is bounded", "a\\Pau=99999999\\", "a|<30000ms>");
    row("overflowing number dropped", "a\\Pau=99999999999999999999\\b", "ab");
    row("marks", "\\Mrk=1\\a\\Mrk=-2\\", "<mark 1>|a|<mark -2>");
    row("settings alone split nothing", "\\Spd=150\\\\Pit=100\\a b", "a b");
    row("same setting twice splits nothing", "a \\Spd=150\\ b \\Spd=150\\ c", "a|b c");
}

void TstSpeechTags::spokenText()
{
    QFETCH(QString, text);
    QFETCH(QString, spoken);
    QCOMPARE(spokenOf(parse(text)), spoken);
}

void TstSpeechTags::settingsLastToTheEnd()
{
    const Parsed p = parse(QStringLiteral("a \\Spd=200\\ b \\Pit=150\\ c \\Vol=30000\\ d \\Chr=Monotone\\ e"));
    QCOMPARE(p.segments.size(), 5);
    QCOMPARE(p.segments[0].settings, Settings());
    QCOMPARE(p.segments[1].settings.rate, 200);
    QCOMPARE(p.segments[2].settings.rate, 200);
    QCOMPARE(p.segments[2].settings.pitchHz, 150);
    QCOMPARE(p.segments[3].settings.volume, 30000);
    QCOMPARE(p.segments[4].settings.style, Style::Monotone);
    QCOMPARE(p.segments[4].settings.volume, 30000);
    // Out-of-range values are bounded, not refused.
    QCOMPARE(parse(QStringLiteral("\\Vol=99999\\a")).segments[0].settings.volume, 65535);
}

void TstSpeechTags::whisperInTheMiddleWhispersOnlyWhatFollows()
{
    const Parsed p = parse(QStringLiteral("Loud words \\chr=\"whisper\"\\quiet words"));
    QCOMPARE(p.segments.size(), 2);
    QCOMPARE(p.segments[0].settings.style, Style::Normal);
    QCOMPARE(p.segments[0].spoken.trimmed(), QStringLiteral("Loud words"));
    QCOMPARE(p.segments[1].settings.style, Style::Whisper);
    QCOMPARE(p.segments[1].spoken.trimmed(), QStringLiteral("quiet words"));
    QCOMPARE(parse(QStringLiteral("\\Chr=\"Shout\"\\a")).segments[0].settings.style, Style::Normal);
}

void TstSpeechTags::resetRestoresTheDefaults()
{
    const Parsed p = parse(QStringLiteral("\\Chr=\"Whisper\"\\\\Spd=300\\a \\Emp\\\\Rst\\b"));
    QCOMPARE(p.segments.size(), 2);
    QCOMPARE(p.segments[0].settings.style, Style::Whisper);
    QCOMPARE(p.segments[1].settings, Settings());
    QVERIFY(!p.segments[1].emphasis); // the reset also drops a pending emphasis
}

void TstSpeechTags::emphasisTakesTheNextWordOnly()
{
    const Parsed p = parse(QStringLiteral("use \\emp\\   special commands"));
    QCOMPARE(p.display, QStringLiteral("use special commands"));
    QCOMPARE(p.segments.size(), 3);
    QVERIFY(!p.segments[0].emphasis);
    QVERIFY(p.segments[1].emphasis);
    QCOMPARE(p.segments[1].spoken.trimmed(), QStringLiteral("special"));
    QVERIFY(!p.segments[2].emphasis);
    QCOMPARE(p.segments[2].spoken.trimmed(), QStringLiteral("commands"));
    // An emphasis with nothing after it is nothing.
    QCOMPARE(parse(QStringLiteral("end \\Emp\\")).segments.size(), 1);
    // A mapped text can be the emphasised word.
    const Parsed m = parse(QStringLiteral("\\Emp\\\\Map=\"twelve\"=\"12\"\\ o'clock"));
    QVERIFY(m.segments[0].emphasis);
    QCOMPARE(m.segments[0].spoken.trimmed(), QStringLiteral("twelve"));
}

void TstSpeechTags::pausesAndMarksAreSegments()
{
    const Parsed p = parse(QStringLiteral("\\Pau=500\\"));
    QCOMPARE(p.segments.size(), 1);
    QCOMPARE(p.segments[0].kind, Segment::Kind::Pause);
    QVERIFY(p.hasSound());
    QCOMPARE(p.display, QString());
    QVERIFY(!parse(QStringLiteral("\\Mrk=3\\ \\Spd=100\\")).hasSound());
}

void TstSpeechTags::mapLinesSpokenWordsUpWithShownWords()
{
    const Parsed p = parse(QStringLiteral("\\Map=\"one two three four\"=\"1 2\"\\"));
    QCOMPARE(p.display, QStringLiteral("1 2"));
    const auto &w = p.segments[0].words;
    QCOMPARE(w.size(), 4);
    QCOMPARE(p.display.mid(w[0].displayStart, w[0].displayLength), QStringLiteral("1"));
    QCOMPARE(p.display.mid(w[1].displayStart, w[1].displayLength), QStringLiteral("2"));
    QCOMPARE(p.display.mid(w[3].displayStart, w[3].displayLength), QStringLiteral("2"));
    // More shown than spoken: the last spoken word reveals the rest.
    const Parsed q = parse(QStringLiteral("\\Map=\"hi\"=\"hello there friend\"\\"));
    QCOMPARE(q.segments[0].words.size(), 1);
    QCOMPARE(q.display.mid(q.segments[0].words[0].displayStart, q.segments[0].words[0].displayLength),
             QStringLiteral("hello there friend"));
    // Spoken but not shown.
    const Parsed r = parse(QStringLiteral("a\\Map=\"secret\"=\"\"\\ b"));
    QCOMPARE(r.display, QStringLiteral("a b"));
    QVERIFY(r.segments[0].spoken.contains(QLatin1String("secret")));
}

void TstSpeechTags::lastSpeechIsRepeated()
{
    const Parsed first = parse(QStringLiteral("good \\Emp\\morning"));
    QCOMPARE(first.source, QStringLiteral("good \\Emp\\morning"));
    const Parsed again = parse(QStringLiteral("\\LST\\, \\lst\\"), first.source);
    QCOMPARE(again.display, QStringLiteral("good morning, good morning"));
    QCOMPARE(again.source, QStringLiteral("good \\Emp\\morning, good \\Emp\\morning"));
    // A repeated text that itself asks to repeat does not repeat forever.
    QCOMPARE(parse(QStringLiteral("\\Lst\\"), QStringLiteral("x \\Lst\\")).display, QStringLiteral("x"));
    QCOMPARE(parse(QStringLiteral("\\Lst\\")).display, QString());
}

void TstSpeechTags::wordsPointAtTheirDisplayText()
{
    const QString text = QStringLiteral("\\Spd=120\\Zoë's   naïve\\Pau=10\\ café \\Map=\"emoji\"=\"😀\"\\ ok\\Emp\\ yes!");
    const Parsed p = parse(text);
    QCOMPARE(p.display, QStringLiteral("Zoë's naïve café 😀 ok yes!"));
    QStringList shown, spoken;
    for (const Segment &s : p.segments) {
        for (const Word &w : s.words) {
            shown << p.display.mid(w.displayStart, w.displayLength);
            spoken << s.spoken.mid(w.spokenStart, w.spokenLength);
        }
    }
    QCOMPARE(shown, (QStringList{"Zoë's", "naïve", "café", "😀", "ok", "yes!"}));
    QCOMPARE(spoken, (QStringList{"Zoë's", "naïve", "café", "emoji", "ok", "yes!"}));
}

void TstSpeechTags::checkInvariants(const QString &input, const Parsed &p)
{
    const QByteArray where = input.toUtf8().toPercentEncoding();
    QVERIFY2(p.display == p.display.trimmed(), where);
    QVERIFY2(!p.display.contains(QLatin1String("  ")), where);
    int lastEnd = 0;
    for (const Segment &s : p.segments) {
        if (s.kind != Segment::Kind::Speech)
            continue;
        QVERIFY2(!s.words.isEmpty(), where);
        for (QChar c : s.spoken)
            QVERIFY2(c.unicode() >= 0x20 && c.category() != QChar::Other_Control, where);
        for (const Word &w : s.words) {
            QVERIFY2(w.spokenStart >= 0 && w.spokenLength > 0 && w.spokenStart + w.spokenLength <= s.spoken.size(), where);
            QVERIFY2(w.displayStart >= 0 && w.displayLength >= 0 && w.displayStart + w.displayLength <= p.display.size(), where);
            QVERIFY2(w.displayStart + w.displayLength >= lastEnd || w.displayLength == 0, where);
            lastEnd = std::max(lastEnd, w.displayStart + w.displayLength);
        }
    }
}

void TstSpeechTags::randomTextsKeepTheInvariants()
{
    const QStringList pieces = {
        QStringLiteral("\\"), QStringLiteral("\\\\"), QStringLiteral("\""), QStringLiteral("="),
        QStringLiteral(" "), QStringLiteral("word"), QStringLiteral("\\Spd=200\\"), QStringLiteral("\\Pau=10\\"),
        QStringLiteral("\\Map=\"a b\"=\"c\"\\"), QStringLiteral("\\Map=\""), QStringLiteral("\\Emp\\"),
        QStringLiteral("\\Chr=\"Whisper\"\\"), QStringLiteral("\\Mrk=4\\"), QStringLiteral("\\Lst\\"),
        QStringLiteral("\\Rst\\"), QStringLiteral("\\Xyz\\"), QStringLiteral("\x01"), QStringLiteral("\n"),
        QString(QChar(0xd800)), QString(QChar(0xdc00)), QStringLiteral("😀"), QString(QChar(0xfffe)),
        QString(QChar(0xe000)), QStringLiteral("Map"), QStringLiteral("Spd"), QStringLiteral("é"),
    };
    QRandomGenerator rng(20261207);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int n = rng.bounded(1, 14);
        for (int i = 0; i < n; ++i)
            text += pieces.at(rng.bounded(int(pieces.size())));
        const Parsed p = parse(text, QStringLiteral("last \\Pau=5\\ one"));
        checkInvariants(text, p);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_GUILESS_MAIN(TstSpeechTags)
#include "tst_speechtags.moc"
