#pragma once

#include "kernels/pixels.h"

#include <functional>
#include <string>

// JPEG pictures decoded with libjpeg-turbo: row by row, so a caller can reduce a picture while it is
// decoded and never hold it whole. Both programs decode every JPEG they can through here, so they see
// the same pixels. Paths are in the system's file-name encoding.
namespace jpeg {

struct Info {
    int width = 0;
    int height = 0;
    bool progressive = false;
};

// True when the file starts like a JPEG stream.
bool looksLikeJpeg(const std::string& path);

// Reads only the header.
Info readInfo(const std::string& path);

// Decodes the whole picture: `header` runs once the size is known; then, for every row in order,
// `target(y)` gives room for it (width pixels) and `ready(y)` says it is filled. Raises 481 for a file
// that is not a whole JPEG picture (a truncated one among them, kind Truncated), 75 when it cannot be
// read, 7 when it is too large (kind TooLarge), and 481 of kind UnsupportedColourSpace for colour
// spaces the decoder cannot turn into RGB (CMYK, YCCK): callers may fall back then.
void decodeInto(const std::string& path, const std::function<void(const Info&)>& header,
                const std::function<px::Pixel*(int y)>& target, const std::function<void(int y)>& ready);

} // namespace jpeg
