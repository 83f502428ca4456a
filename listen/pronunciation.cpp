#include "listen/pronunciation.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace chimewell::listen {

namespace {

const QHash<QString, QString> &table()
{
    static const QHash<QString, QString> t = [] {
        QHash<QString, QString> h;
        const char *const pairs[][2] = {
            // consonants
            {"p", "P"}, {"b", "B"}, {"t", "T"}, {"d", "D"}, {"k", "K"}, {"g", "G"}, {"f", "F"}, {"v", "V"},
            {"T", "TH"}, {"D", "DH"}, {"s", "S"}, {"z", "Z"}, {"S", "SH"}, {"Z", "ZH"}, {"h", "HH"},
            {"m", "M"}, {"n", "N"}, {"N", "NG"}, {"l", "L"}, {"r", "R"}, {"w", "W"}, {"j", "Y"},
            {"tS", "CH"}, {"dZ", "JH"}, {"x", "K"}, {"C", "HH"}, {"l-", "AH L"}, {"n-", "AH N"}, {"m-", "AH M"},
            {"r-", "R"}, {"?", ""}, {"t2", "T"}, {"d2", "D"},
            // vowels and diphthongs
            {"a", "AE"}, {"aa", "AE"}, {"A:", "AA"}, {"A", "AA"}, {"0", "AA"}, {"O:", "AO"}, {"O", "AO"},
            {"V", "AH"}, {"@", "AH"}, {"3", "ER"}, {"3:", "ER"}, {"E", "EH"}, {"e", "EH"}, {"I", "IH"},
            {"i", "IY"}, {"i:", "IY"}, {"U", "UH"}, {"u:", "UW"}, {"u", "UW"}, {"aI", "AY"}, {"aU", "AW"},
            {"eI", "EY"}, {"oU", "OW"}, {"o", "OW"}, {"OI", "OY"}, {"e@", "EH R"}, {"i@", "IH R"},
            {"U@", "UH R"}, {"A@", "AA R"}, {"O@", "AO R"}, {"o@", "AO R"}, {"aI@", "AY ER"}, {"aI3", "AY ER"},
            {"aU@", "AW ER"}, {"@L", "AH L"}, {"@r", "ER"}, {"IR", "IH R"}, {"VR", "AH R"}, {"ER", "EH R"},
            {"0r", "AA R"}, {"i@3", "IH R"}, {"a#", "AH"}, {"I#", "IH"}, {"E#", "EH"}, {"@#", "AH"},
        };
        for (const auto &p : pairs)
            h.insert(QString::fromLatin1(p[0]), QString::fromLatin1(p[1]));
        return h;
    }();
    return t;
}

} // namespace

QString arpabetFromEspeak(const QString &phonemes)
{
    QStringList phones;
    const QStringList names = phonemes.split(QRegularExpression(QStringLiteral("[_\\s]+")), Qt::SkipEmptyParts);
    for (QString n : names) {
        // Stress marks and pause markers carry no phone.
        n.remove(QLatin1Char('\'')).remove(QLatin1Char(',')).remove(QLatin1Char('%')).remove(QLatin1Char('='));
        if (n.isEmpty() || n.startsWith(QLatin1Char(':')) || n == QLatin1String("||") || n == QLatin1String("|"))
            continue;
        auto it = table().constFind(n);
        // Variants ("@2", "t#", "i@3") fall back to their base phoneme.
        while (it == table().constEnd() && n.size() > 1
               && (n.back().isDigit() || n.back() == QLatin1Char('#') || n.back() == QLatin1Char(';'))) {
            n.chop(1);
            it = table().constFind(n);
        }
        if (it == table().constEnd())
            return QString();
        if (!it->isEmpty())
            phones.append(*it);
    }
    return phones.join(QLatin1Char(' '));
}

} // namespace chimewell::listen
