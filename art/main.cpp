// chimewell-art: draws the shipped characters and writes their .acs files.
#include "animations.h"
#include "character.h"
#include "pack.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>

using namespace chimewell::art;

namespace {
// Every step of one animation side by side at full size, to look at while drawing it.
QImage strip(const Character &c, const AnimationSpec &a, int scale)
{
    const int steps = a.timeline.length() / a.step + 1;
    const QSize cell = c.frameSize() * scale;
    QImage out(cell.width() * steps, cell.height(), QImage::Format_RGB32);
    out.fill(QColor(236, 240, 246));
    QPainter p(&out);
    for (int i = 0; i < steps; ++i)
        p.drawImage(i * cell.width(), 0, render(c, a.timeline.at(i * a.step), scale));
    return out;
}
} // namespace

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
    const QCommandLineOption strips(QStringLiteral("strip"),
                                    QStringLiteral("Write <dir>/<id>-<animation>-<scale>x.png for --animation."),
                                    QStringLiteral("dir"));
    const QCommandLineOption animation(QStringLiteral("animation"), QStringLiteral("The animation --strip draws."),
                                       QStringLiteral("name"));
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("Print the character ids."));
    cli.addOptions({out, sheet, strips, animation, list});
    cli.addPositionalArgument(QStringLiteral("ids"), QStringLiteral("Characters to build (default: all)."));
    cli.process(app);

    if (cli.isSet(list)) {
        for (const auto &c : allCharacters())
            std::printf("%s\n", qPrintable(c->id()));
        return 0;
    }
    if (!cli.isSet(out) && !cli.isSet(sheet) && !(cli.isSet(strips) && cli.isSet(animation))) {
        std::fprintf(stderr, "chimewell-art: say --out DIR, --contact-sheet DIR or --strip DIR --animation NAME\n");
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
        if (cli.isSet(strips) && cli.isSet(animation)) {
            bool found = false;
            for (const AnimationSpec &a : standardAnimations(*c)) {
                if (a.name.compare(cli.value(animation), Qt::CaseInsensitive) != 0)
                    continue;
                found = true;
                for (int scale : {1, 2}) {
                    const QString path = QDir(cli.value(strips))
                                             .filePath(QStringLiteral("%1-%2-%3x.png").arg(c->id(), a.name).arg(scale));
                    if (!QDir().mkpath(cli.value(strips)) || !strip(*c, a, scale).save(path)) {
                        std::fprintf(stderr, "chimewell-art: cannot write %s\n", qPrintable(path));
                        ++failures;
                    }
                }
            }
            if (!found) {
                std::fprintf(stderr, "chimewell-art: %s has no animation %s\n", qPrintable(c->id()),
                             qPrintable(cli.value(animation)));
                ++failures;
            }
        }
        if (!cli.isSet(out) && !cli.isSet(sheet))
            continue;
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
