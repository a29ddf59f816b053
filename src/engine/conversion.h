#pragma once

#include "platform/picture_surface.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

// A whole conversion without windows: the buffer's size from the factors, the buffer filled (averaged
// or copied) and mapped onto the sorted table. JPEG pictures are reduced while they are decoded, so a
// scaled conversion never holds the whole picture.
namespace conversion {

struct Factors {
    bool scaled = false; // off, or both factors exactly 1: the picture is the buffer
    double h = 1;        // picture pixels per character, horizontally
    double v = 1;        // and vertically
};

// The buffer's outer size for a picture box of outer size ws x hs, as a run computes it: Int(ws / h) by
// Int(hs / v) with scaling on. Refuses a factor of 0 or one that rounds to 0 (11), a negative factor
// (380), blocks or buffers too large (6).
QSize bufferOuterSize(int ws, int hs, const Factors& factors);

// True when the factors ask for averaging rather than a copy.
bool averages(const Factors& factors);

// The buffer's colour where no block lands (the picture box's background, pure red).
constexpr QRgb kBufferBackground = toQRgb(255);

// The buffer's drawing area for a picture file, filled as a run fills it. With `streamJpeg`, a JPEG is
// averaged while it is decoded. Raises the loader's errors and those of bufferOuterSize.
QImage loadBuffer(const QString& path, const Factors& factors, bool streamJpeg = true);

// The same for a picture in memory.
QImage makeBuffer(const QImage& picture, const Factors& factors);

// The text for a picture file; `lineEnd` ends every line, the last too.
QString convertFile(const QString& path, const Factors& factors, const std::vector<QChar>& sorted,
                    const QString& lineEnd, bool streamJpeg = true);

} // namespace conversion
