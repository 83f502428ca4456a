#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Voice texts of commands ("[Move Me]Home", "(Introduction | Introduce)") turned into
// something a recogniser understands: one JSGF grammar for every command of every
// character, and the way back from the words heard to the command they belong to.
// Plain Qt Core, so the fuzzer can build it on its own.
namespace chimewell::listen {

// One parsed voice text.
class Phrase
{
public:
    struct Node
    {
        enum Kind { Word, Sequence, Choice, Optional };
        Kind kind = Sequence;
        QString word; // Word: lower case
        std::vector<Node> children;
    };

    // Parses `voice`. An empty text (or one of blanks and punctuation) is no spoken
    // command: isEmpty(), no error. Malformed text: error() says why, nothing matches.
    static Phrase parse(const QString &voice);

    bool isValid() const { return m_error.isEmpty() && !m_words.isEmpty(); }
    bool isEmpty() const { return m_error.isEmpty() && m_words.isEmpty(); }
    QString error() const { return m_error; }
    // The JSGF expansion ("[character] properties"); empty unless valid.
    QString jsgf() const;
    // Every distinct word, in order of first use.
    QStringList words() const { return m_words; }
    // Whether the words heard (lower case) are a whole sentence of this phrase.
    bool matches(const QStringList &heard) const;

    // Longest voice text taken, and deepest nesting of brackets.
    static constexpr int kMaxLength = 500;
    static constexpr int kMaxDepth = 16;
    // Up to this many sentences, the JSGF spells each one out.
    static constexpr int kMaxVariants = 64;

private:
    Node m_root;
    QString m_error;
    QStringList m_words;
};

// All commands that may be spoken, in one grammar.
class Grammar
{
public:
    struct Entry
    {
        QString owner; // who registered it (the listening character wins ties)
        QString name;  // the command's name
        QString voice; // its voice text
        bool operator==(const Entry &o) const { return owner == o.owner && name == o.name && voice == o.voice; }
    };

    // Compiles every entry; a malformed one is left out (see errors()), the rest still compile.
    explicit Grammar(const QList<Entry> &entries = {});

    const QList<Entry> &entries() const { return m_entries; }
    // For each entry: empty when it compiled (or has no voice), otherwise why not.
    const QStringList &errors() const { return m_errors; }
    // The grammar's text; empty when no entry can be spoken.
    QString jsgf() const;
    // Every word the grammar may hear.
    QStringList words() const;
    // The entry the words heard belong to, -1 for none; among several, the first
    // whose owner is `preferredOwner`, else the first.
    int match(const QStringList &heard, const QString &preferredOwner = QString()) const;
    bool isEmpty() const;

    // Splits a recogniser's hypothesis into lower-case words.
    static QStringList splitWords(const QString &hypothesis);

private:
    QList<Entry> m_entries;
    QStringList m_errors;
    std::vector<Phrase> m_phrases;
};

} // namespace chimewell::listen
