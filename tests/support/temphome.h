#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace chimewell::testing {

// A private home for one test: XDG_CONFIG_HOME, XDG_DATA_HOME (with an empty
// character folder), XDG_DATA_DIRS (empty, so no system-wide characters) and
// XDG_RUNTIME_DIR point into a fresh temporary folder for the object's
// lifetime; the previous values come back when it goes.
class TempHome final
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    QString root() const { return m_dir->path(); }
    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    QString configHome() const { return path(QStringLiteral("config")); }
    QString characterFolder() const { return path(QStringLiteral("data/chimewell/chars")); }
    // A folder that stands for the program folder (see platform_dummy.h).
    QString programFolder() const { return path(QStringLiteral("program")); }
    // Puts a small character file named `id`.acs into the character folder.
    bool addCharacter(const QString &id, const QString &name = QString(), const QString &description = QString());

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    struct Saved
    {
        const char *name;
        QByteArray ours;
        QByteArray value;
        bool set;
    };
    QList<Saved> m_saved;
};

} // namespace chimewell::testing
