#pragma once

#include <QByteArray>
#include <QImage>

namespace chimewell::art {

// Encodes an image as an RGBA PNG. Faster than the general writer: one cheap
// filter for every row and quick deflate, which suits flat cartoon art.
QByteArray encodePng(const QImage &image);

} // namespace chimewell::art
