// Repairs what the first run found missing: the standard characters and the
// speech engine. Started as "chimewell-setup agent|speech [/Q:A]".
#include "common/dialogs.h"
#include "common/platform.h"
#include "voice/speaker.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

using namespace chimewell;

namespace {

void tell(const QString &text)
{
    QTextStream(stderr) << text << '\n';
    dialogs::message(nullptr, QStringLiteral("Chimewell"), text, QMessageBox::Ok, QMessageBox::Warning);
}

int repairCharacters()
{
    const QString target = platform::characterFolder();
    if (!QDir().mkpath(target)) {
        tell(QStringLiteral("Chimewell could not create its character folder %1.").arg(target));
        return 1;
    }
    const QDir shipped(platform::shippedCharacterFolder());
    const QStringList files = shipped.entryList({QStringLiteral("*.acs")}, QDir::Files);
    int copied = 0;
    for (const QString &f : files) {
        const QString to = target + QLatin1Char('/') + f;
        if (QFile::exists(to) || QFile::copy(shipped.filePath(f), to))
            ++copied;
    }
    if (platform::findCharacterFile(QStringLiteral("max")).isEmpty()
        || platform::findCharacterFile(QStringLiteral("plany")).isEmpty()) {
        tell(QStringLiteral("Chimewell's characters are missing from %1. Please reinstall Chimewell.")
                 .arg(shipped.path()));
        return 1;
    }
    return 0;
}

int repairSpeech()
{
    if (voice::engineAvailable())
        return 0;
    tell(QStringLiteral("Chimewell's characters need the espeak-ng speech engine to talk. Please install it, "
                        "for example with: sudo apt install espeak-ng-data libespeak-ng1"));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("agent")))
        return repairCharacters();
    if (args.contains(QStringLiteral("speech")))
        return repairSpeech();
    QTextStream(stderr) << "usage: chimewell-setup agent|speech [/Q:A]\n";
    return 2;
}
