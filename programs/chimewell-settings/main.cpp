// Reads and writes the settings store from the command line, exactly as the
// programs do. Scripts, support and the end-to-end tests use it.
#include "common/settingsstore.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using namespace chimewell;

namespace {

enum Exit { Ok = 0, NotDone = 1, Usage = 2 };

const char kHelp[] =
    "Usage: chimewell-settings [--app NAME] COMMAND\n"
    "\n"
    "Reads and writes the Chimewell settings store.\n"
    "\n"
    "Commands:\n"
    "  get SECTION KEY        print the value and a newline; exit 1 when it is missing\n"
    "  set SECTION KEY VALUE  store VALUE; exit 1 when it could not be stored\n"
    "  list                   print every value as section/key=value, one a line\n"
    "\n"
    "Options:\n"
    "  --app NAME   use the store of application NAME (default ChimewellIIV)\n"
    "  -h, --help   show this text\n"
    "  --           end of options (for a section named like an option)\n"
    "\n"
    "Section, key and application names match without regard to case.\n"
    "get prints the value exactly as stored. list writes names and values as\n"
    "the file does, so each entry is one line: a backslash, line break, tab or\n"
    "other control character as \\\\, \\n, \\r, \\t or \\xNN, and in names\n"
    "also = and \" as \\= and \\\".\n"
    "A store that cannot be read exits with 1 and says why. Usage errors exit\n"
    "with 2.\n";

void out(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int usage(const QString &why)
{
    std::fprintf(stderr, "chimewell-settings: %s\nTry 'chimewell-settings --help'.\n", qPrintable(why));
    return Usage;
}

// A value exists when the store lists it; read() alone cannot tell a missing
// value from an empty one.
bool find(const QString &app, const QString &section, const QString &key, QString *value)
{
    const QList<store::Entry> entries = store::list(app);
    for (const store::Entry &e : entries) {
        if (e.section.toCaseFolded() == section.toCaseFolded() && e.key.toCaseFolded() == key.toCaseFolded()) {
            *value = e.value;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    QString application = QString::fromLatin1(store::kApplication);
    while (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--")) {
            break;
        } else if (opt == QLatin1String("-h") || opt == QLatin1String("--help")) {
            std::fputs(kHelp, stdout);
            return Ok;
        } else if (opt == QLatin1String("--app")) {
            if (args.isEmpty())
                return usage(QStringLiteral("--app needs a name"));
            application = args.takeFirst();
        } else if (opt.startsWith(QLatin1String("--app="))) {
            application = opt.mid(6);
        } else {
            return usage(QStringLiteral("unknown option %1").arg(opt));
        }
        if (application.isEmpty())
            return usage(QStringLiteral("the application name is empty"));
    }
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));

    const QString command = args.takeFirst();
    // A store that cannot be read is not an empty one: say so, whatever was asked.
    if (const QString why = store::problem(application); !why.isEmpty()
        && (command == QLatin1String("get") || command == QLatin1String("set") || command == QLatin1String("list"))) {
        std::fprintf(stderr, "chimewell-settings: cannot read %s: %s\n", qPrintable(store::filePath(application)),
                     qPrintable(why));
        return NotDone;
    }
    if (command == QLatin1String("get")) {
        if (args.size() != 2)
            return usage(QStringLiteral("get needs SECTION and KEY"));
        QString value;
        if (!find(application, args.at(0), args.at(1), &value))
            return NotDone;
        out(value + QLatin1Char('\n'));
        return Ok;
    }
    if (command == QLatin1String("set")) {
        if (args.size() != 3)
            return usage(QStringLiteral("set needs SECTION, KEY and VALUE"));
        if (args.at(1).isEmpty())
            return usage(QStringLiteral("the key is empty"));
        return store::write(application, args.at(0), args.at(1), args.at(2)) ? Ok : NotDone;
    }
    if (command == QLatin1String("list")) {
        if (!args.isEmpty())
            return usage(QStringLiteral("list takes no arguments"));
        const QList<store::Entry> entries = store::list(application);
        QString text;
        for (const store::Entry &e : entries)
            text += store::escaped(e.section, true) + QLatin1Char('/') + store::escaped(e.key, true) + QLatin1Char('=')
                + store::escaped(e.value) + QLatin1Char('\n');
        out(text);
        return Ok;
    }
    return usage(QStringLiteral("unknown command %1").arg(command));
}
