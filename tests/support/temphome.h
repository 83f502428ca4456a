#pragma once

#include <QString>

namespace chimewell::testing {

// A private home for one test: XDG_CONFIG_HOME, XDG_DATA_HOME (with an empty
// character folder), XDG_DATA_DIRS (empty, so no system-wide characters) and
// XDG_RUNTIME_DIR point into a temporary folder that is empty when the object
// is made and emptied again when it goes.
//
// The variables are set once per process and then left alone: a thread of the
// program under test may read the environment at any moment (the speech
// engine's audio library does as it starts), and glibc frees the old
// environment when a variable is added, so changing it under such a thread
// can crash it. Each home therefore reuses the same folder; the newest home
// owns its contents.
class TempHome final
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    QString root() const;
    QString path(const QString &relative) const { return root() + QLatin1Char('/') + relative; }
    QString configHome() const { return path(QStringLiteral("config")); }
    QString characterFolder() const { return path(QStringLiteral("data/chimewell/chars")); }
    // A folder that stands for the program folder (see platform_dummy.h).
    QString programFolder() const { return path(QStringLiteral("program")); }
    // Puts a small character file named `id`.acs into the character folder.
    bool addCharacter(const QString &id, const QString &name = QString(), const QString &description = QString());

private:
    quint64 m_generation;
};

} // namespace chimewell::testing
