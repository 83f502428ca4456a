// Repairs what the first run found missing: the standard characters and the
// speech engine. Started as "chimewell-setup agent|speech [/Q:A]".
#include "common/dialogs.h"
#include "common/platform.h"
#include "common/program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

using namespace chimewell;

namespace {

// Run by hand, the repair says what is still missing in a box; run quietly
// ("/Q:A", by the first run's wait) only on stderr, since the wait tells the
// user itself, once.
bool g_quiet = false;

int tellMissing(platform::Component component)
{
    const QString text = platform::missingAdvice(component);
    if (text.isEmpty())
        return 0;
    QTextStream(stderr) << text << '\n';
    if (!g_quiet)
        dialogs::message(nullptr, QStringLiteral("Chimewell"), text, QMessageBox::Ok, QMessageBox::Warning);
    return 1;
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
    return tellMissing(platform::Component::Characters);
}

int repairSpeech()
{
    return tellMissing(platform::Component::Speech);
}

} // namespace

int main(int argc, char *argv[])
{
    GuiProgram program(argc, argv);
    const QStringList args = program.app().arguments().mid(1);
    g_quiet = args.contains(QLatin1String("/Q:A"), Qt::CaseInsensitive);
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
