#pragma once

#include <QImage>
#include <QString>
#include <functional>

// JPEG pictures decoded with libjpeg-turbo directly: row by row, so a caller can reduce a picture while
// it is decoded and never hold it whole. Both programs decode every JPEG through here, so they see the
// same pixels.
namespace jpeg {

struct Info {
    int width = 0;
    int height = 0;
    bool progressive = false;
};

// True when the file starts like a JPEG stream.
bool looksLikeJpeg(const QString& path);

// Reads only the header.
Info readInfo(const QString& path);

// Decodes the whole picture: `header` runs once the size is known; then, for every row in order,
// `target(y)` gives room for it (width RGB32 pixels) and `ready(y)` says it is filled. Raises 481 for a
// file that is not a whole JPEG picture (a truncated one among them), 75 when it cannot be read, and 7
// when it is too large. Colour spaces the decoder cannot turn into RGB (CMYK) raise 481 with
// "unsupported" in the description; callers may fall back then.
void decodeInto(const QString& path, const std::function<void(const Info&)>& header,
                const std::function<QRgb*(int y)>& target, const std::function<void(int y)>& ready);

// The whole picture as an RGB32 image.
QImage decodeImage(const QString& path);

} // namespace jpeg
