#pragma once

#include <QByteArray>
#include <QImage>

namespace chimewell::art {

enum class PngEffort {
    Best,  // what is shipped: the smallest file this encoder makes
    Quick, // to compare the sizes of choices, much faster
};

// Encodes an image as an RGBA PNG: each row with the filter that suits it, deflated.
QByteArray encodePng(const QImage &image, PngEffort effort = PngEffort::Best);

} // namespace chimewell::art
