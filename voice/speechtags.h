#pragma once

#include <QList>
#include <QString>

// The inline speech tags of a speech text (\Spd=200\, \Chr="Whisper"\, \Map="a"="b"\ ...):
// a pure parser, no engine, so the balloon text and the speech agree and it can be fuzzed.
// Tags are case-insensitive and last to the end of one speech; "\\" is a backslash;
// unknown and malformed tags are dropped, never spoken.
namespace chimewell::voice::tags {

enum class Style { Normal, Monotone, Whisper };

// How a segment is spoken; zero or negative values mean "as the voice is set".
struct Settings
{
    Style style = Style::Normal;
    int rate = 0;    // words per minute (\Spd\)
    int pitchHz = 0; // base pitch in Hz (\Pit\)
    int volume = -1; // 0-65535 (\Vol\)

    bool operator==(const Settings &o) const
    {
        return style == o.style && rate == o.rate && pitchHz == o.pitchHz && volume == o.volume;
    }
    bool operator!=(const Settings &o) const { return !(*this == o); }
};

// One word of a segment's spoken text and the part of the display text it stands for.
struct Word
{
    int spokenStart = 0;
    int spokenLength = 0;
    int displayStart = 0;
    int displayLength = 0;
};

struct Segment
{
    enum class Kind { Speech, Pause, Mark };
    Kind kind = Kind::Speech;
    Settings settings;
    bool emphasis = false; // \Emp\: this segment is the one emphasised word
    QString spoken;        // Speech: plain text for the engine, control characters removed
    QList<Word> words;     // Speech: its words in order (never empty)
    int pauseMs = 0;       // Pause
    int mark = 0;          // Mark
};

struct Parsed
{
    QList<Segment> segments;
    QString display; // what the balloon shows: no tags, blanks collapsed, trimmed
    QString source;  // the text with \Lst\ replaced: what a later \Lst\ repeats

    // Whether anything takes time to say (speech or a pause).
    bool hasSound() const;
};

inline constexpr int kMaxPauseMs = 30000;

// Parses `text`; `lastSpeech` (the `source` of the speaker's previous speech) is what \Lst\ says.
Parsed parse(const QString &text, const QString &lastSpeech = QString());

} // namespace chimewell::voice::tags
