#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

// Builds character files for the tests, in memory, from pictures painted here:
// the tests never depend on the shipped art.
namespace chimewell::agent::test {

struct ZipEntry
{
    QString name;
    QByteArray data;
    bool stored = false; // true: no compression
};

// A zip archive of `entries`, in this order.
QByteArray makeZip(const QList<ZipEntry> &entries);
// Rewrites the uncompressed size that the archive declares for `entry` (local
// header and central directory alike): what a zip bomb does.
bool patchDeclaredSize(QByteArray &zip, const QString &entry, quint32 size);

// A frame: a filled disc of `colour` on a transparent background.
QImage paintFrame(int width, int height, const QColor &colour, qreal scale = 1.0);
QByteArray png(const QImage &image);
// A pack: `raw` compressed as a raw LZMA2 stream against `dictionary`.
QByteArray lzmaPack(const QByteArray &raw, const QByteArray &dictionary = {});
// An image's straight RGBA bytes, row after row.
QByteArray rgbaBytes(const QImage &image);
// A PCM WAV of `ms` milliseconds of a quiet tone.
QByteArray wav(int ms = 50, int sampleRate = 8000, int bits = 16, int channels = 1);

// A small, valid character: frames of `size` pixels, animations RestPose, Show,
// Hide, Greet (with a return), Wave, Speak, MoveLeft, MoveRight, Idle1, Blink, with
// the states set; every frame 10 ms unless told.
class TestCharacter
{
public:
    explicit TestCharacter(int size = 32, int frameMs = 10);

    QJsonObject manifest;
    QMap<QString, QByteArray> files; // entry name -> data, manifest not included
    QMap<QString, bool> stored;       // entries written without compression

    // Adds an animation of `frames` frames, each a disc of its own colour.
    void addAnimation(const QString &name, int frames, int frameMs, const QColor &colour);
    QByteArray build() const;
    // Writes the file into `folder` and returns its path.
    QString write(const QString &folder, const QString &fileName) const;

    int size;
};

} // namespace chimewell::agent::test
