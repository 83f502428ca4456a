#include "listen/grammar.h"

#include <algorithm>
#include <vector>

namespace chimewell::listen {

namespace {

using Node = Phrase::Node;

struct Token
{
    enum Kind { Word, Open, Close, OpenOptional, CloseOptional, Bar, End };
    Kind kind = End;
    QString word;
    int at = 0; // position in the text, for messages
};

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('\''); }

QList<Token> tokenize(const QString &text)
{
    QList<Token> tokens;
    for (int i = 0; i < text.size();) {
        const QChar c = text.at(i);
        Token t;
        t.at = i;
        if (isWordChar(c)) {
            int j = i;
            while (j < text.size() && isWordChar(text.at(j)))
                ++j;
            // Quotes around a word are punctuation, within it ("don't") part of it.
            QString w = text.mid(i, j - i);
            while (w.startsWith(QLatin1Char('\'')))
                w.remove(0, 1);
            while (w.endsWith(QLatin1Char('\'')))
                w.chop(1);
            i = j;
            if (w.isEmpty())
                continue;
            t.kind = Token::Word;
            t.word = w.toLower();
        } else {
            ++i;
            switch (c.unicode()) {
            case '(': t.kind = Token::Open; break;
            case ')': t.kind = Token::Close; break;
            case '[': t.kind = Token::OpenOptional; break;
            case ']': t.kind = Token::CloseOptional; break;
            case '|': t.kind = Token::Bar; break;
            default: continue; // blanks and punctuation separate words and are otherwise ignored
            }
        }
        tokens.append(t);
    }
    Token end;
    end.at = int(text.size());
    tokens.append(end);
    return tokens;
}

class Parser
{
public:
    explicit Parser(QList<Token> tokens) : m_tokens(std::move(tokens)) {}

    // The whole text: alternatives up to the end.
    bool parse(Node &root)
    {
        if (!choice(root, 0))
            return false;
        if (peek().kind != Token::End)
            return fail(QStringLiteral("unbalanced \"%1\" at %2").arg(closeText(peek().kind)).arg(peek().at + 1));
        return true;
    }

    QString error() const { return m_error; }

private:
    static QString closeText(Token::Kind k) { return k == Token::Close ? QStringLiteral(")") : QStringLiteral("]"); }

    const Token &peek() const { return m_tokens.at(m_pos); }

    bool fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = why;
        return false;
    }

    bool choice(Node &out, int depth)
    {
        if (depth > Phrase::kMaxDepth)
            return fail(QStringLiteral("brackets nested more than %1 deep").arg(Phrase::kMaxDepth));
        out.kind = Node::Choice;
        const int start = peek().at;
        for (;;) {
            Node seq;
            if (!sequence(seq, depth))
                return false;
            if (seq.children.empty())
                return fail(QStringLiteral("an empty alternative at %1").arg(start + 1));
            out.children.push_back(seq.children.size() == 1 ? std::move(seq.children.front()) : std::move(seq));
            if (peek().kind != Token::Bar)
                break;
            ++m_pos;
        }
        if (out.children.size() == 1) {
            Node only = std::move(out.children.front());
            out = std::move(only);
        }
        return true;
    }

    bool sequence(Node &out, int depth)
    {
        out.kind = Node::Sequence;
        for (;;) {
            const Token t = peek();
            switch (t.kind) {
            case Token::Word: {
                Node w;
                w.kind = Node::Word;
                w.word = t.word;
                out.children.push_back(std::move(w));
                ++m_pos;
                break;
            }
            case Token::Open:
            case Token::OpenOptional: {
                ++m_pos;
                const Token::Kind close = t.kind == Token::Open ? Token::Close : Token::CloseOptional;
                if (peek().kind == close)
                    return fail(QStringLiteral("empty brackets at %1").arg(t.at + 1));
                Node inner;
                if (!choice(inner, depth + 1))
                    return false;
                if (peek().kind != close)
                    return fail(QStringLiteral("\"%1\" at %2 is not closed").arg(t.kind == Token::Open ? QStringLiteral("(") : QStringLiteral("[")).arg(t.at + 1));
                ++m_pos;
                if (t.kind == Token::OpenOptional) {
                    Node opt;
                    opt.kind = Node::Optional;
                    opt.children.push_back(std::move(inner));
                    out.children.push_back(std::move(opt));
                } else {
                    out.children.push_back(std::move(inner));
                }
                break;
            }
            default:
                return true; // "|", a closing bracket or the end: the caller decides
            }
        }
    }

    QList<Token> m_tokens;
    int m_pos = 0;
    QString m_error;
};

bool nullable(const Node &n)
{
    switch (n.kind) {
    case Node::Word: return false;
    case Node::Optional: return true;
    case Node::Choice:
        for (const Node &c : n.children)
            if (nullable(c))
                return true;
        return false;
    case Node::Sequence:
        for (const Node &c : n.children)
            if (!nullable(c))
                return false;
        return true;
    }
    return false;
}

// A text whose every word is optional ("[Future]") would be heard in silence and
// noise: its optional parts become required, so at least the words must be spoken.
void makeRequired(Node &n)
{
    if (!nullable(n))
        return;
    switch (n.kind) {
    case Node::Optional: {
        Node inner = std::move(n.children.front());
        n = std::move(inner);
        makeRequired(n);
        return;
    }
    case Node::Choice:
    case Node::Sequence:
        for (Node &c : n.children)
            makeRequired(c);
        return;
    case Node::Word: return;
    }
}

void collectWords(const Node &n, QStringList &words)
{
    if (n.kind == Node::Word) {
        if (!words.contains(n.word))
            words.append(n.word);
        return;
    }
    for (const Node &c : n.children)
        collectWords(c, words);
}

QString emit(const Node &n)
{
    switch (n.kind) {
    case Node::Word: return n.word;
    case Node::Optional: return QLatin1Char('[') + emit(n.children.front()) + QLatin1Char(']');
    case Node::Choice: {
        QStringList parts;
        for (const Node &c : n.children)
            parts.append(emit(c));
        return QLatin1Char('(') + parts.join(QLatin1String(" | ")) + QLatin1Char(')');
    }
    case Node::Sequence: {
        QStringList parts;
        for (const Node &c : n.children)
            parts.append(emit(c));
        return parts.join(QLatin1Char(' '));
    }
    }
    return QString();
}

// Every word sequence `n` stands for; false when there are more than `limit`.
bool expand(const Node &n, QList<QStringList> &out, int limit)
{
    switch (n.kind) {
    case Node::Word: out = {QStringList{n.word}}; return true;
    case Node::Optional: {
        if (!expand(n.children.front(), out, limit))
            return false;
        out.prepend(QStringList());
        return out.size() <= limit;
    }
    case Node::Choice: {
        QList<QStringList> all;
        for (const Node &c : n.children) {
            QList<QStringList> one;
            if (!expand(c, one, limit))
                return false;
            for (const QStringList &v : std::as_const(one))
                if (!all.contains(v))
                    all.append(v);
            if (all.size() > limit)
                return false;
        }
        out = all;
        return true;
    }
    case Node::Sequence: {
        QList<QStringList> acc{QStringList()};
        for (const Node &c : n.children) {
            QList<QStringList> one;
            if (!expand(c, one, limit) || qint64(one.size()) * acc.size() > limit)
                return false;
            QList<QStringList> next;
            for (const QStringList &a : std::as_const(acc))
                for (const QStringList &b : std::as_const(one))
                    next.append(a + b);
            acc = next;
        }
        out = acc;
        return true;
    }
    }
    return false;
}

// Which positions in the heard words can be reached: reachable[i] when the
// first i words can be matched. One byte a position: hypotheses are a few words.
using Reachable = std::vector<char>;

bool none(const Reachable &r) { return std::find(r.begin(), r.end(), 1) == r.end(); }

void include(Reachable &into, const Reachable &more)
{
    for (size_t i = 0; i < into.size(); ++i)
        into[i] |= more[i];
}

// The positions reachable after `n`, from each of `from`.
Reachable advance(const Node &n, const Reachable &from, const QStringList &heard)
{
    Reachable to(from.size(), 0);
    switch (n.kind) {
    case Node::Word:
        for (qsizetype p = 0; p < heard.size(); ++p)
            if (from[size_t(p)] && heard.at(p) == n.word)
                to[size_t(p) + 1] = 1;
        return to;
    case Node::Optional:
        to = advance(n.children.front(), from, heard);
        include(to, from);
        return to;
    case Node::Choice:
        for (const Node &c : n.children)
            include(to, advance(c, from, heard));
        return to;
    case Node::Sequence:
        to = from;
        for (const Node &c : n.children) {
            if (none(to))
                break;
            to = advance(c, to, heard);
        }
        return to;
    }
    return to;
}

} // namespace

Phrase Phrase::parse(const QString &voice)
{
    Phrase p;
    if (voice.size() > kMaxLength) {
        p.m_error = QStringLiteral("the voice text is longer than %1 characters").arg(kMaxLength);
        return p;
    }
    const QList<Token> tokens = tokenize(voice);
    if (tokens.size() == 1)
        return p; // nothing to say: not a spoken command
    Parser parser(tokens);
    Node root;
    if (!parser.parse(root)) {
        p.m_error = parser.error();
        return p;
    }
    makeRequired(root);
    p.m_root = std::move(root);
    collectWords(p.m_root, p.m_words);
    return p;
}

QString Phrase::jsgf() const
{
    if (!isValid())
        return QString();
    // The recogniser does better with every sentence spelt out than with optional
    // parts (empty paths through its word graph); large texts keep their shape.
    QList<QStringList> variants;
    if (expand(m_root, variants, kMaxVariants)) {
        QStringList parts;
        for (const QStringList &v : std::as_const(variants))
            if (!v.isEmpty())
                parts.append(v.join(QLatin1Char(' ')));
        return parts.size() == 1 ? parts.front() : QLatin1Char('(') + parts.join(QLatin1String(" | ")) + QLatin1Char(')');
    }
    return emit(m_root);
}

bool Phrase::matches(const QStringList &heard) const
{
    if (!isValid() || heard.isEmpty())
        return false;
    Reachable start(size_t(heard.size()) + 1, 0);
    start[0] = 1;
    return advance(m_root, start, heard).back() != 0;
}

// ---------------------------------------------------------------------------

Grammar::Grammar(const QList<Entry> &entries) : m_entries(entries)
{
    m_phrases.reserve(size_t(entries.size()));
    for (const Entry &e : entries) {
        m_phrases.push_back(Phrase::parse(e.voice));
        m_errors.append(m_phrases.back().error());
    }
}

bool Grammar::isEmpty() const
{
    for (const Phrase &p : m_phrases)
        if (p.isValid())
            return false;
    return true;
}

QStringList Grammar::words() const
{
    QStringList all;
    for (const Phrase &p : m_phrases)
        for (const QString &w : p.words())
            if (!all.contains(w))
                all.append(w);
    return all;
}

QString Grammar::jsgf() const
{
    if (isEmpty())
        return QString();
    QStringList rules;
    QStringList refs;
    QStringList seen; // the same words twice (two characters' "Move me home") are one rule
    for (const Phrase &p : m_phrases) {
        const QString body = p.jsgf();
        if (body.isEmpty() || seen.contains(body))
            continue;
        seen.append(body);
        const QString rule = QStringLiteral("<c%1>").arg(seen.size() - 1);
        refs.append(rule);
        rules.append(rule + QStringLiteral(" = ") + body + QLatin1Char(';'));
    }
    return QStringLiteral("#JSGF V1.0;\ngrammar commands;\npublic <command> = ") + refs.join(QLatin1String(" | "))
           + QStringLiteral(";\n") + rules.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int Grammar::match(const QStringList &heard, const QString &preferredOwner) const
{
    int first = -1;
    for (int i = 0; i < int(m_phrases.size()); ++i) {
        if (!m_phrases[size_t(i)].matches(heard))
            continue;
        if (m_entries.at(i).owner == preferredOwner)
            return i;
        if (first < 0)
            first = i;
    }
    return first;
}

QStringList Grammar::splitWords(const QString &hypothesis)
{
    QStringList out;
    const QStringList parts = hypothesis.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString w : parts) {
        // The decoder marks alternative pronunciations as "word(2)".
        const int paren = int(w.indexOf(QLatin1Char('(')));
        if (paren > 0)
            w.truncate(paren);
        out.append(w);
    }
    return out;
}

} // namespace chimewell::listen
