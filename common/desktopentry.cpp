#include "common/desktopentry.h"

namespace chimewell {

namespace {

// The first Exec value of the main group, as the file spells it.
QString execValue(const QByteArray &entry)
{
    bool inMain = false;
    for (const QByteArray &raw : entry.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMain = line == "[Desktop Entry]";
            continue;
        }
        const int eq = line.indexOf('=');
        // Blanks around the '=' do not count; "Exec[de]" is another key.
        if (inMain && eq > 0 && line.left(eq).trimmed() == "Exec")
            return QString::fromUtf8(line.mid(eq + 1).trimmed());
    }
    return {};
}

// The escapes of every string value: \s \n \t \r \\, applied before the quoting.
QString unescapeString(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        switch (value.at(i + 1).unicode()) {
        case 's': out += QLatin1Char(' '); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '\\': out += QLatin1Char('\\'); break;
        default: out += c; continue; // not an escape: the backslash stays, the next character is read as usual
        }
        ++i;
    }
    return out;
}

struct Word
{
    QString text;
    bool quoted = false; // field codes mean nothing inside quotes
};

// Arguments at blanks; double quotes group, and inside them a backslash
// escapes ", `, $ and itself.
QList<Word> splitExec(const QString &exec)
{
    QList<Word> words;
    Word word;
    bool inWord = false, inQuotes = false;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size()
                && QStringLiteral("\"`$\\").contains(exec.at(i + 1))) {
                word.text += exec.at(++i);
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                word.text += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = inWord = word.quoted = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inWord)
                words << word;
            word = Word();
            inWord = false;
        } else {
            word.text += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

} // namespace

QStringList desktopEntryCommand(const QByteArray &entry, const QString &address)
{
    const QList<Word> words = splitExec(unescapeString(execValue(entry)));
    QStringList out;
    bool placed = false;
    for (const Word &w : words) {
        if (w.quoted) {
            out << w.text;
            continue;
        }
        // Field codes may stand alone or inside a word ("--url=%u").
        QString arg;
        bool dropped = false;
        for (int i = 0; i < w.text.size(); ++i) {
            const QChar c = w.text.at(i);
            if (c != QLatin1Char('%') || i + 1 >= w.text.size()) {
                arg += c;
                continue;
            }
            const QChar code = w.text.at(++i);
            if (code == QLatin1Char('%')) {
                arg += c;
            } else if (QStringLiteral("fFuU").contains(code)) {
                if (!placed)
                    arg += address;
                placed = true;
                dropped = dropped || arg.isEmpty();
            } else {
                dropped = true; // %i, %c, %k and the deprecated codes
            }
        }
        if (!arg.isEmpty() || !dropped)
            out << arg;
    }
    if (!out.isEmpty() && !placed)
        out << address;
    return out;
}

} // namespace chimewell
