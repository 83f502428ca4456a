// Renders the application icon into the hicolor theme's PNG sizes. Small sizes
// come from a simpler drawing, since the full face turns to mush below 32 pixels.
//   chimewell-icons OUT_DIR NAME FULL.svg SMALL.svg
#include <QDir>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // No text in the drawings, so no fonts and no window system are needed.
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 5) {
        err << "usage: chimewell-icons OUT_DIR NAME FULL.svg SMALL.svg\n";
        return 2;
    }
    const QString out = args[1], name = args[2];
    QSvgRenderer full(args[3]), small(args[4]);
    if (!full.isValid() || !small.isValid()) {
        err << "chimewell-icons: cannot read " << (full.isValid() ? args[4] : args[3]) << '\n';
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            (size < 32 ? small : full).render(&p, QRectF(0, 0, size, size));
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(dir) || !image.save(file, "PNG")) {
            err << "chimewell-icons: cannot write " << file << '\n';
            return 1;
        }
    }
    return 0;
}
