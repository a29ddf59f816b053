#pragma once

#include "kernels/pixels.h"

#include <QImage>

// An RGB32 image's rows as the kernels read and write them (the same 0xAARRGGBB words), without copying.
inline px::View pixelView(const QImage& image) {
    if (image.isNull())
        return {};
    return {reinterpret_cast<const px::Pixel*>(image.constBits()), image.width(), image.height(),
            image.bytesPerLine() / 4};
}

// Detaches the image first, as any write to it would.
inline px::MutableView mutablePixelView(QImage& image) {
    if (image.isNull())
        return {};
    return {reinterpret_cast<px::Pixel*>(image.bits()), image.width(), image.height(),
            image.bytesPerLine() / 4};
}
