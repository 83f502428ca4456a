// chimewell-art: draws the shipped characters and writes their .acs files.
#include "character.h"
#include "pack.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>

using namespace chimewell::art;

int main(int argc, char **argv)
{
    // Fonts need a GUI application; the build runs it with the offscreen platform.
    QGuiApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Draws the Chimewell characters and writes their files."));
    cli.addHelpOption();
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Write <dir>/<id>.acs."), QStringLiteral("dir"));
    const QCommandLineOption sheet(QStringLiteral("contact-sheet"), QStringLiteral("Write <dir>/<id>.png."),
                                   QStringLiteral("dir"));
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("Print the character ids."));
    cli.addOptions({out, sheet, list});
    cli.addPositionalArgument(QStringLiteral("ids"), QStringLiteral("Characters to build (default: all)."));
    cli.process(app);

    if (cli.isSet(list)) {
        for (const auto &c : allCharacters())
            std::printf("%s\n", qPrintable(c->id()));
        return 0;
    }
    if (!cli.isSet(out) && !cli.isSet(sheet)) {
        std::fprintf(stderr, "chimewell-art: say --out DIR or --contact-sheet DIR\n");
        return 2;
    }

    std::vector<std::unique_ptr<Character>> chosen;
    const QStringList ids = cli.positionalArguments();
    if (ids.isEmpty()) {
        chosen = allCharacters();
    } else {
        for (const QString &id : ids) {
            auto c = characterById(id);
            if (!c) {
                std::fprintf(stderr, "chimewell-art: no character %s\n", qPrintable(id));
                return 2;
            }
            chosen.push_back(std::move(c));
        }
    }

    int failures = 0;
    for (const auto &c : chosen) {
        const BuiltCharacter built = build(*c);
        if (cli.isSet(out)) {
            const QString dir = cli.value(out);
            QString error;
            if (!QDir().mkpath(dir) ||
                !writeCharacterFile(built, QDir(dir).filePath(c->id() + QStringLiteral(".acs")), &error)) {
                std::fprintf(stderr, "chimewell-art: %s: %s\n", qPrintable(c->id()), qPrintable(error));
                ++failures;
            }
        }
        if (cli.isSet(sheet)) {
            const QString dir = cli.value(sheet);
            const QString path = QDir(dir).filePath(c->id() + QStringLiteral(".png"));
            QImageWriter w(path, "png");
            w.setQuality(0); // committed files: squeeze them
            if (!QDir().mkpath(dir) || !w.write(contactSheet(*c, built))) {
                std::fprintf(stderr, "chimewell-art: cannot write %s: %s\n", qPrintable(path),
                             qPrintable(w.errorString()));
                ++failures;
            }
        }
    }
    return failures ? 1 : 0;
}
