#pragma once

#include "agent/characterfile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Genuine Agent character files of version 2: one flat little-endian binary
// (docs/character-format.md, "Genuine Agent characters"). Read whole into a
// CharacterData like our own files, so the rest of the service cannot tell them apart.
namespace chimewell::agent::acsv2 {

inline constexpr quint32 signature = 0xABCDABC3;     // a character file
inline constexpr quint32 webSignature = 0xABCDABC4;  // a web character's .acf

// Limits of our own, so that hostile files stop before they allocate.
namespace limits {
inline constexpr int imageSide = 1024;
inline constexpr int images = 8192;
inline constexpr int sounds = 1024;
inline constexpr int imagesPerFrame = 64;
inline constexpr int localizedInfos = 64;
inline constexpr int states = 64;
inline constexpr int namesPerState = 256;
// What the pictures may take decoded, the frames packed, and the pixels laid
// into frames in all: a few times what the largest genuine characters need.
inline constexpr qint64 pictureBytes = 64 * 1024 * 1024;
inline constexpr qint64 frameBytes = 128 * 1024 * 1024;
inline constexpr qint64 pixelsLaid = 256 * 1024 * 1024;
inline constexpr qint64 soundBytes = 64 * 1024 * 1024;
} // namespace limits

// What the first bytes say the file is: a genuine version 2 character (Kind::V2),
// our zip (Kind::Zip) or something we name in a load failure.
enum class Kind { Zip, V2, Web, Compound, Other };
Kind identify(const QByteArray &head);
// A user-facing reason why a file of that kind does not load (empty for a zip,
// a genuine character and anything else, which the zip reader names).
QString refusal(Kind kind);

// Undoes the platform's bit-oriented LZ77 compression. Returns exactly
// `expected` bytes, or nothing with the reason in *why (damaged, truncated or
// producing more or less than expected). Never writes past `expected`.
std::optional<QByteArray> decompress(const uchar *data, qint64 size, qint64 expected, QString *why);

// Parses a whole genuine version 2 character.
std::optional<CharacterData> parse(const QByteArray &bytes, QString *error);

} // namespace chimewell::agent::acsv2
