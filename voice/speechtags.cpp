#include "voice/speechtags.h"

#include <algorithm>

namespace chimewell::voice::tags {

bool Parsed::hasSound() const
{
    return std::any_of(segments.cbegin(), segments.cend(), [](const Segment &s) {
        return s.kind == Segment::Kind::Speech || (s.kind == Segment::Kind::Pause && s.pauseMs > 0);
    });
}

namespace {

enum class Tag { Unknown, Chr, Emp, Pau, Spd, Pit, Vol, Rst, Map, Mrk, Ctx, Lst };

Tag tagFor(QStringView name)
{
    static const struct
    {
        const char *name;
        Tag tag;
    } known[] = {{"chr", Tag::Chr}, {"emp", Tag::Emp}, {"pau", Tag::Pau}, {"spd", Tag::Spd},
                 {"pit", Tag::Pit}, {"vol", Tag::Vol}, {"rst", Tag::Rst}, {"map", Tag::Map},
                 {"mrk", Tag::Mrk}, {"ctx", Tag::Ctx}, {"lst", Tag::Lst}};
    for (const auto &k : known) {
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            return k.tag;
    }
    return Tag::Unknown;
}

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// The tag name at the start of `s` (the letters up to '=', '\' or a blank).
QStringView leadingName(QStringView s)
{
    qsizetype n = 0;
    while (n < s.size() && isAsciiLetter(s[n]))
        ++n;
    return s.left(n);
}

QStringView unquoted(QStringView s)
{
    s = s.trimmed();
    if (s.startsWith(QLatin1Char('"')))
        s = s.mid(1);
    if (s.endsWith(QLatin1Char('"')))
        s.chop(1);
    return s.trimmed();
}

bool toInt(QStringView s, int *value)
{
    bool ok = false;
    const int v = unquoted(s).toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

// A quoted string at the start of `s`; the rest after it in `rest`.
bool takeQuoted(QStringView s, QStringView *text, QStringView *rest)
{
    s = s.trimmed();
    if (!s.startsWith(QLatin1Char('"')))
        return false;
    const qsizetype end = s.indexOf(QLatin1Char('"'), 1);
    if (end < 0)
        return false;
    *text = s.mid(1, end - 1);
    *rest = s.mid(end + 1);
    return true;
}

enum class CharClass { Blank, Visible, Dropped };

// Characters the engine must never see: control characters (the engine's own inline
// commands start with one) become blanks; private-use code points and non-characters go.
CharClass classify(char32_t c)
{
    if (c < 0x20 || (c >= 0x7f && c < 0xa0))
        return CharClass::Blank;
    if (c == 0x2028 || c == 0x2029 || QChar::isSpace(c))
        return CharClass::Blank;
    if ((c >= 0xe000 && c <= 0xf8ff) || (c >= 0xfdd0 && c <= 0xfdef) || (c & 0xfffe) == 0xfffe
        || c >= 0xf0000 || (c >= 0xd800 && c <= 0xdfff))
        return CharClass::Dropped;
    return CharClass::Visible;
}

class Parser
{
public:
    explicit Parser(const QString &lastSpeech) : m_last(lastSpeech) {}

    Parsed run(const QString &text)
    {
        m_out.display.reserve(text.size());
        m_out.source.reserve(text.size());
        feed(text, 0);
        flush();
        return std::move(m_out);
    }

private:
    void feed(QStringView text, int depth)
    {
        qsizetype copied = 0; // of `text`, into m_out.source (depth 0 only)
        const qsizetype n = text.size();
        qsizetype i = 0;
        while (i < n) {
            const QChar c = text[i];
            if (c == QLatin1Char('\\')) {
                if (i + 1 < n && text[i + 1] == QLatin1Char('\\')) {
                    visible(QStringView(text.data() + i, 1));
                    i += 2;
                    continue;
                }
                const qsizetype close = closingBackslash(text, i);
                if (close < 0) {
                    // An unfinished tag is dropped to the end if it names a tag, so
                    // "\Spd=200 hello" never reads out "Spd"; a stray backslash alone goes.
                    if (tagFor(leadingName(text.mid(i + 1))) != Tag::Unknown)
                        break;
                    ++i;
                    continue;
                }
                const QStringView body = text.mid(i + 1, close - i - 1);
                if (depth == 0 && tagFor(leadingName(body.trimmed())) == Tag::Lst) {
                    m_out.source += text.mid(copied, i - copied);
                    m_out.source += m_last;
                    copied = close + 1;
                }
                tag(body, depth);
                i = close + 1;
                continue;
            }
            if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
                character(QChar::surrogateToUcs4(c, text[i + 1]), text.mid(i, 2));
                i += 2;
                continue;
            }
            character(c.unicode(), text.mid(i, 1));
            ++i;
        }
        if (depth == 0)
            m_out.source += text.mid(copied);
    }

    // The backslash that ends the tag opened at `open`, or -1. A \Map\'s quoted texts
    // may hold backslashes.
    static qsizetype closingBackslash(QStringView text, qsizetype open)
    {
        const qsizetype first = text.indexOf(QLatin1Char('\\'), open + 1);
        if (first < 0 || tagFor(leadingName(text.mid(open + 1).trimmed())) != Tag::Map)
            return first;
        bool quoted = false;
        for (qsizetype j = open + 1; j < text.size(); ++j) {
            if (text[j] == QLatin1Char('"'))
                quoted = !quoted;
            else if (text[j] == QLatin1Char('\\') && !quoted)
                return j;
        }
        return first;
    }

    void tag(QStringView body, int depth)
    {
        body = body.trimmed();
        const QStringView name = leadingName(body);
        QStringView rest = body.mid(name.size()).trimmed();
        bool hasArg = false;
        if (!rest.isEmpty()) {
            if (rest[0] != QLatin1Char('='))
                return; // "\Pau 5\": malformed
            rest = rest.mid(1).trimmed();
            hasArg = true;
        }
        int value = 0;
        Settings next = m_settings;
        switch (tagFor(name)) {
        case Tag::Unknown:
            return;
        case Tag::Ctx:
            return;
        case Tag::Emp:
            if (!hasArg)
                m_empPending = true;
            return;
        case Tag::Rst:
            if (hasArg)
                return;
            m_empPending = false;
            setSettings(Settings());
            return;
        case Tag::Lst:
            if (!hasArg && depth == 0)
                feed(m_last, depth + 1);
            return;
        case Tag::Chr: {
            const QStringView v = unquoted(rest);
            if (v.compare(QLatin1String("normal"), Qt::CaseInsensitive) == 0)
                next.style = Style::Normal;
            else if (v.compare(QLatin1String("monotone"), Qt::CaseInsensitive) == 0)
                next.style = Style::Monotone;
            else if (v.compare(QLatin1String("whisper"), Qt::CaseInsensitive) == 0)
                next.style = Style::Whisper;
            else
                return;
            setSettings(next);
            return;
        }
        case Tag::Spd:
            if (!toInt(rest, &value) || value <= 0)
                return;
            next.rate = std::clamp(value, 1, 1000);
            setSettings(next);
            return;
        case Tag::Pit:
            if (!toInt(rest, &value) || value <= 0)
                return;
            next.pitchHz = std::clamp(value, 1, 2000);
            setSettings(next);
            return;
        case Tag::Vol:
            if (!toInt(rest, &value))
                return;
            next.volume = std::clamp(value, 0, 65535);
            setSettings(next);
            return;
        case Tag::Pau:
            if (!toInt(rest, &value) || value < 0)
                return;
            flush();
            if (value > 0) {
                Segment s;
                s.kind = Segment::Kind::Pause;
                s.pauseMs = std::min(value, kMaxPauseMs);
                m_out.segments.append(s);
            }
            return;
        case Tag::Mrk: {
            if (!toInt(rest, &value))
                return;
            flush();
            Segment s;
            s.kind = Segment::Kind::Mark;
            s.mark = value;
            m_out.segments.append(s);
            return;
        }
        case Tag::Map: {
            QStringView spoken, shown, after;
            if (!takeQuoted(rest, &spoken, &after))
                return;
            after = after.trimmed();
            if (!after.startsWith(QLatin1Char('=')) || !takeQuoted(after.mid(1), &shown, &after)
                || !after.trimmed().isEmpty())
                return;
            map(spoken, shown);
            return;
        }
        }
    }

    void setSettings(const Settings &s)
    {
        if (s == m_settings)
            return;
        flush();
        m_settings = s;
    }

    // --- plain text ---------------------------------------------------------

    void character(char32_t c, QStringView units)
    {
        switch (classify(c)) {
        case CharClass::Dropped:
            return;
        case CharClass::Blank:
            blank();
            return;
        case CharClass::Visible:
            visible(units);
            return;
        }
    }

    void blank()
    {
        endWord();
        m_pendingSpace = !m_out.display.isEmpty();
        if (!m_spoken.isEmpty() && !m_spoken.endsWith(QLatin1Char(' ')))
            m_spoken += QLatin1Char(' ');
    }

    void visible(QStringView units)
    {
        const bool first = !m_inWord;
        if (first)
            beginWord();
        const int at = appendDisplay(units);
        if (first)
            m_word.displayStart = at;
        m_spoken += units;
        m_word.spokenLength = int(m_spoken.size()) - m_word.spokenStart;
        m_word.displayLength = at + int(units.size()) - m_word.displayStart;
    }

    int appendDisplay(QStringView units)
    {
        if (m_pendingSpace && !m_out.display.isEmpty())
            m_out.display += QLatin1Char(' ');
        m_pendingSpace = false;
        const int at = int(m_out.display.size());
        m_out.display += units;
        return at;
    }

    void startEmphasisIfPending()
    {
        if (!m_empPending)
            return;
        flush();
        m_empPending = false;
        m_empSegment = true;
    }

    void beginWord()
    {
        startEmphasisIfPending();
        m_inWord = true;
        m_word = Word();
        m_word.spokenStart = int(m_spoken.size());
    }

    void endWord()
    {
        if (!m_inWord)
            return;
        m_inWord = false;
        m_words.append(m_word);
        if (m_empSegment)
            flush();
    }

    // \Map="spoken"="shown"\: the engine hears one text, the balloon shows the other.
    // Spoken words stand for the shown words in order; the last one for all that are left.
    void map(QStringView spoken, QStringView shown)
    {
        endWord();
        startEmphasisIfPending();

        QList<QPair<int, int>> shownWords; // display [start, end)
        bool inShown = false;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            char32_t c = shown[i].unicode();
            qsizetype len = 1;
            if (shown[i].isHighSurrogate() && i + 1 < shown.size() && shown[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(shown[i], shown[i + 1]);
                len = 2;
            }
            const CharClass cls = classify(c);
            if (cls == CharClass::Blank) {
                inShown = false;
                m_pendingSpace = !m_out.display.isEmpty();
            } else if (cls == CharClass::Visible) {
                const int at = appendDisplay(shown.mid(i, len));
                if (!inShown)
                    shownWords.append({at, at});
                shownWords.last().second = at + int(len);
                inShown = true;
            }
            i += len - 1;
        }

        if (!m_spoken.isEmpty() && !m_spoken.endsWith(QLatin1Char(' ')))
            m_spoken += QLatin1Char(' ');
        QList<Word> words;
        bool inSpoken = false;
        for (qsizetype i = 0; i < spoken.size(); ++i) {
            char32_t c = spoken[i].unicode();
            qsizetype len = 1;
            if (spoken[i].isHighSurrogate() && i + 1 < spoken.size() && spoken[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(spoken[i], spoken[i + 1]);
                len = 2;
            }
            const CharClass cls = classify(c);
            if (cls == CharClass::Blank) {
                inSpoken = false;
                if (!m_spoken.endsWith(QLatin1Char(' ')))
                    m_spoken += QLatin1Char(' ');
            } else if (cls == CharClass::Visible) {
                if (!inSpoken) {
                    Word w;
                    w.spokenStart = int(m_spoken.size());
                    words.append(w);
                }
                m_spoken += spoken.mid(i, len);
                words.last().spokenLength = int(m_spoken.size()) - words.last().spokenStart;
                inSpoken = true;
            }
            i += len - 1;
        }
        for (int k = 0; k < words.size(); ++k) {
            Word &w = words[k];
            if (shownWords.isEmpty()) {
                w.displayStart = int(m_out.display.size());
                w.displayLength = 0;
                continue;
            }
            const int s = std::min(k, int(shownWords.size()) - 1);
            const int end = k == words.size() - 1 ? shownWords.last().second : shownWords[s].second;
            w.displayStart = shownWords[s].first;
            w.displayLength = end - shownWords[s].first;
        }
        m_words += words;
        if (!m_spoken.isEmpty() && !m_spoken.endsWith(QLatin1Char(' ')))
            m_spoken += QLatin1Char(' ');
        if (m_empSegment)
            flush();
    }

    void flush()
    {
        if (m_inWord) {
            m_inWord = false;
            m_words.append(m_word);
        }
        if (!m_words.isEmpty()) {
            Segment s;
            s.kind = Segment::Kind::Speech;
            s.settings = m_settings;
            s.emphasis = m_empSegment;
            s.spoken = m_spoken;
            s.words = m_words;
            m_out.segments.append(std::move(s));
        }
        m_spoken.clear();
        m_words.clear();
        m_empSegment = false;
    }

    const QString m_last;
    Parsed m_out;
    Settings m_settings;
    QString m_spoken;
    QList<Word> m_words;
    Word m_word;
    bool m_inWord = false;
    bool m_pendingSpace = false;
    bool m_empPending = false;
    bool m_empSegment = false;
};

} // namespace

Parsed parse(const QString &text, const QString &lastSpeech)
{
    return Parser(lastSpeech).run(text);
}

} // namespace chimewell::voice::tags
