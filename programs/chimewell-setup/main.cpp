// Repairs what the first run found missing: the standard characters and the
// speech engine. Started as "chimewell-setup agent|speech [/Q:A]".
#include "common/dialogs.h"
#include "common/platform.h"
#include "common/program.h"
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
    const QDir shipped(platform::shippedCharacterFolder());
    const QStringList files = shipped.entryList({QStringLiteral("*.acs")}, QDir::Files);
    for (const QString &f : files) {
        const QString name = f.left(f.size() - 4);
        // A user's own file of the same name is theirs: never replace it.
        if (QFile::exists(platform::characterFolder() + QLatin1Char('/') + f))
            continue;
        const QString error = platform::copyIntoCharacterFolder(shipped.filePath(f), name);
        if (!error.isEmpty())
            QTextStream(stderr) << "chimewell-setup: " << f << ": " << error << '\n';
    }
    if (!platform::standardCharactersFound()) {
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
    GuiProgram program(argc, argv);
    const QStringList args = program.app().arguments().mid(1);
    // The first run starts both repairs, a few seconds apart: one lock each.
    for (const char *what : {"agent", "speech"}) {
        const QString mode = QLatin1String(what);
        if (!args.contains(mode))
            continue;
        if (!program.claimInstance(QStringLiteral("chimewell-setup-") + mode))
            return 0;
        return mode == QLatin1String("agent") ? repairCharacters() : repairSpeech();
    }
    QTextStream(stderr) << "usage: chimewell-setup agent|speech [/Q:A]\n";
    return 2;
}
