#pragma once

#include <QList>
#include <QString>

namespace chimewell {

// The per-user store every program shares: string values addressed by
// application, section and key, names matched without regard to case.
// One INI file per application under $XDG_CONFIG_HOME/<application>/settings.ini.
namespace store {

inline constexpr char kApplication[] = "ChimewellIIV";

struct Entry
{
    QString section;
    QString key;
    QString value;
};

// The stored text, or `defaultValue` when the value does not exist.
QString read(const QString &application, const QString &section, const QString &key,
             const QString &defaultValue = QString());
// Creates or replaces the value: atomic and on disk when it returns. A write that
// cannot be done is skipped with a warning; it never fails visibly.
// Returns whether the value was stored.
bool write(const QString &application, const QString &section, const QString &key,
           const QString &value);
// Every value of the application, in file order.
QList<Entry> list(const QString &application);
// The file that holds the application's values.
QString filePath(const QString &application);
// Why the application's file cannot be read (too big, not a file, no
// permission, an I/O error), or nothing when it can or is not there yet. While
// it cannot be read, read() gives the defaults, list() nothing, and write()
// never replaces the file.
QString problem(const QString &application);
// The text as the file writes it, on one line: backslashes, line breaks, tabs
// and other control characters as escapes; `name` also escapes '=' and '"',
// as a key needs.
QString escaped(const QString &text, bool name = false);

// Shorthands for the main application "ChimewellIIV".
inline QString value(const QString &section, const QString &key, const QString &defaultValue = QString())
{
    return read(QString::fromLatin1(kApplication), section, key, defaultValue);
}
inline bool setValue(const QString &section, const QString &key, const QString &text)
{
    return write(QString::fromLatin1(kApplication), section, key, text);
}

} // namespace store
} // namespace chimewell
