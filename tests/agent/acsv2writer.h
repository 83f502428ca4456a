#pragma once

// Writes genuine version 2 Agent character files for the tests, from the public
// description of the format, so the reader is tested against files we made ourselves.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRgb>
#include <QString>
#include <QStringList>

namespace chimewell::agent::test::acsv2 {

struct Placed
{
    int image = 0;
    int x = 0;
    int y = 0;
};

struct MouthOverlay
{
    int type = 0; // 0 closed, 1-4 wide, 5 medium, 6 narrow
    int image = 0;
    int x = 0;
    int y = 0;
};

struct FrameDef
{
    QList<Placed> images;      // the first is on top
    int sound = -1;
    int duration = 10;         // hundredths of a second
    int exit = -1;
    QList<QPair<int, int>> branches; // frame, percent
    QList<MouthOverlay> mouths;
};

struct AnimationDef
{
    QString name;
    int transition = 2;        // 0: return animation, 1: exit branches, 2: neither
    QString returnName;
    QList<FrameDef> frames;
};

struct ImageDef
{
    int width = 0;
    int height = 0;
    QByteArray pixels;         // palette indices, top row first, width * height
    bool compressed = true;
    QByteArray data;           // when set, written as the picture's data as it stands
};

struct NameDef
{
    quint16 language = 0x0409;
    QString name;
    QString description;
};

struct CharacterDef
{
    int width = 32;
    int height = 32;
    quint8 transparent = 0;
    QList<QRgb> palette;
    QList<NameDef> names;
    bool voice = true;
    quint32 speed = 150;
    quint16 pitch = 190;
    quint16 gender = 1;
    bool balloon = true;
    bool trayIcon = true;
    QList<QPair<QString, QStringList>> states;
    QList<AnimationDef> animations;
    QList<ImageDef> images;
    QList<QByteArray> sounds; // whole WAV files
};

// The platform's bit-oriented LZ77, with back references at every offset width.
QByteArray compress(const QByteArray &raw);

// Codes written one by one, for streams no compressor would make.
class BitWriter
{
public:
    BitWriter();
    void put(quint32 value, int bits);
    void literal(uchar byte);
    void match(qint64 offset, qint64 count);
    // The end mark and the trailing 0xFF bytes.
    QByteArray finish();

private:
    QByteArray m_out;
    int m_bit = 0;
};

QByteArray write(const CharacterDef &def);

} // namespace chimewell::agent::test::acsv2
