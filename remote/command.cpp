#include "remote/command.h"

#include "common/version.h"

namespace chimewell::remote {

namespace {

const struct
{
    const char *option;
    const char *action;
    Command::Kind kind;
} kCommands[] = {
    {"--say-time", "say-time", Command::SayTime},
    {"--show", "show", Command::Show},
    {"--settings", "settings", Command::Settings},
};

constexpr char kSay[] = "--say";
constexpr char kSayAction[] = "say";

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    bool help = false;
    bool version = false;
    auto wrong = [&line](const QString &what) {
        if (line.error.isEmpty())
            line.error = what;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            help = true;
            continue;
        }
        if (a == QLatin1String("-v") || a == QLatin1String("--version")) {
            version = true;
            continue;
        }
        bool known = false;
        for (const auto &c : kCommands) {
            if (a == QLatin1String(c.option)) {
                line.commands.append({c.kind, QString()});
                known = true;
            }
        }
        if (known)
            continue;
        // The text is the next argument whatever it looks like, or what follows "=".
        const QString sayEquals = QLatin1String(kSay) + QLatin1Char('=');
        if (a == QLatin1String(kSay) || a.startsWith(sayEquals)) {
            QString text;
            if (a == QLatin1String(kSay)) {
                if (i + 1 < arguments.size())
                    text = arguments.at(++i);
            } else {
                text = a.mid(sayEquals.size());
            }
            if (text.trimmed().isEmpty())
                wrong(QStringLiteral("--say needs the text to say"));
            else
                line.commands.append({Command::Say, text});
            continue;
        }
        wrong(a.startsWith(QLatin1Char('-')) ? QStringLiteral("unknown option %1").arg(a)
                                             : QStringLiteral("unexpected argument %1").arg(a));
    }
    if (help)
        line.outcome = CommandLine::Help;
    else if (version)
        line.outcome = CommandLine::Version;
    else if (!line.error.isEmpty())
        line.outcome = CommandLine::Error;
    if (line.outcome != CommandLine::Run)
        line.commands.clear();
    if (line.outcome != CommandLine::Error)
        line.error.clear();
    return line;
}

QString helpText()
{
    return QStringLiteral("Usage: chimewell [OPTION]...\n"
                          "A desktop clock whose characters speak the time. One clock runs per user: while it\n"
                          "runs, these options go to it; otherwise the clock starts and then does what they ask.\n"
                          "\n"
                          "  --say-time     a character says the time\n"
                          "  --show         shows the clock, also one that was hidden\n"
                          "  --settings     opens the settings dialog\n"
                          "  --say TEXT     character 1 says TEXT (speech tags such as \\emp\\ work)\n"
                          "  -h, --help     shows this help and ends\n"
                          "  -v, --version  shows the version and ends\n"
                          "\n"
                          "To hear the time from anywhere, bind the command chimewell --say-time to a key\n"
                          "in your desktop's keyboard settings; man chimewell says how.\n");
}

std::optional<Command> actionCommand(const QString &action, const QVariantList &parameter)
{
    if (action == QLatin1String(kSayAction)) {
        if (parameter.size() != 1 || parameter.first().typeId() != QMetaType::QString)
            return std::nullopt;
        const QString text = parameter.first().toString();
        if (text.trimmed().isEmpty())
            return std::nullopt;
        return Command{Command::Say, text};
    }
    for (const auto &c : kCommands) {
        if (action == QLatin1String(c.action))
            return parameter.isEmpty() ? std::optional<Command>(Command{c.kind, QString()}) : std::nullopt;
    }
    return std::nullopt;
}

QString applicationId()
{
    return QStringLiteral(CHIMEWELL_APP_ID);
}

} // namespace chimewell::remote
