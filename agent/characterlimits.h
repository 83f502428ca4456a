#pragma once

#include <QtGlobal>

namespace chimewell::agent {

// Every limit the format sets, in one place.
namespace limits {
inline constexpr qint64 archiveBytes = 64 * 1024 * 1024;
inline constexpr qint64 entries = 8192;
inline constexpr qint64 uncompressedTotal = 128 * 1024 * 1024;
inline constexpr qint64 manifestBytes = 1024 * 1024;
inline constexpr qint64 soundBytes = 4 * 1024 * 1024;
// A PNG of at most 1024x1024 (the 2x image of the largest frame) never needs more.
inline constexpr qint64 imageBytes = 16 * 1024 * 1024;
inline constexpr int nameChars = 256;
inline constexpr int descriptionChars = 4096;
inline constexpr int minSide = 16;
inline constexpr int maxSide = 512;
inline constexpr int animations = 256;
inline constexpr int framesPerAnimation = 256;
inline constexpr int framesTotal = 4096;
inline constexpr int minDuration = 10;
inline constexpr int maxDuration = 10000;
// What one pack may unpack to, at scale 2 (a quarter of it at scale 1).
inline constexpr qint64 packBytes = 32 * 1024 * 1024;
// A patch may lie over a patch, at most this deep, so a picture is at most this many decodes.
inline constexpr int patchDepth = 8;
} // namespace limits

} // namespace chimewell::agent
