#include "tests/support/temphome.h"

#include "tests/support/characterfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace chimewell::testing {

namespace {

struct Shared
{
    QTemporaryDir dir;
    quint64 newest = 0;
};

Shared &shared()
{
    static Shared s;
    return s;
}

void empty(const QString &folder)
{
    // removeRecursively removes links without following them.
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

} // namespace

TempHome::TempHome() : m_generation(++shared().newest)
{
    empty(root());
    const std::pair<const char *, QString> vars[] = {
        {"XDG_CONFIG_HOME", configHome()},
        {"XDG_DATA_HOME", path(QStringLiteral("data"))},
        {"XDG_DATA_DIRS", path(QStringLiteral("datadirs"))},
        {"XDG_RUNTIME_DIR", path(QStringLiteral("run"))},
    };
    for (const auto &[name, value] : vars) {
        QDir().mkpath(value);
        const QByteArray encoded = QFile::encodeName(value);
        if (qgetenv(name) != encoded)
            qputenv(name, encoded);
    }
    QFile::setPermissions(path(QStringLiteral("run")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(characterFolder());
    QDir().mkpath(programFolder());
}

TempHome::~TempHome()
{
    // An older home that goes after a newer one was made leaves the newer's files.
    if (m_generation == shared().newest)
        empty(root());
}

QString TempHome::root() const
{
    return shared().dir.path();
}

bool TempHome::addCharacter(const QString &id, const QString &name, const QString &description)
{
    return writeCharacterFile(characterFolder() + QLatin1Char('/') + id + QStringLiteral(".acs"),
                              name.isEmpty() ? id : name,
                              description.isEmpty() ? QStringLiteral("A test character.") : description);
}

} // namespace chimewell::testing
