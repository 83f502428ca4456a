#include "tests/support/temphome.h"

#include "tests/support/characterfile.h"

#include <QDir>
#include <QFile>

namespace chimewell::testing {

TempHome::TempHome() : m_dir(std::make_unique<QTemporaryDir>())
{
    const std::pair<const char *, QString> vars[] = {
        {"XDG_CONFIG_HOME", configHome()},
        {"XDG_DATA_HOME", path(QStringLiteral("data"))},
        {"XDG_DATA_DIRS", path(QStringLiteral("datadirs"))},
        {"XDG_RUNTIME_DIR", path(QStringLiteral("run"))},
    };
    for (const auto &[name, value] : vars) {
        m_saved.append({name, QFile::encodeName(value), qgetenv(name), qEnvironmentVariableIsSet(name)});
        QDir().mkpath(value);
        qputenv(name, QFile::encodeName(value));
    }
    QFile::setPermissions(path(QStringLiteral("run")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(characterFolder());
    QDir().mkpath(programFolder());
}

TempHome::~TempHome()
{
    for (const Saved &s : std::as_const(m_saved)) {
        // A newer home made before this one went keeps its own values.
        if (qgetenv(s.name) != s.ours)
            continue;
        if (s.set)
            qputenv(s.name, s.value);
        else
            qunsetenv(s.name);
    }
}

bool TempHome::addCharacter(const QString &id, const QString &name, const QString &description)
{
    return writeCharacterFile(characterFolder() + QLatin1Char('/') + id + QStringLiteral(".acs"),
                              name.isEmpty() ? id : name,
                              description.isEmpty() ? QStringLiteral("A test character.") : description);
}

} // namespace chimewell::testing
