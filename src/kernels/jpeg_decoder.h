#pragma once

#include "kernels/pixels.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string_view>

// JPEG pictures decoded with libjpeg-turbo: row by row, so a caller can reduce a picture while it is
// decoded and never hold it whole. Both programs decode every JPEG they can through here, so they see
// the same pixels. The caller opens the file; it is read from where it stands, and must be seekable.
//
// Pictures are refused before the decoder allocates anything when they announce more than the memory
// budget allows (counting the decoder's whole-picture coefficient buffer of a progressive file) or more
// than kMaxScans scans (a progressive file of thousands of empty scans takes minutes to decode).
namespace jpeg {

// Real photographs have about ten scans; this is generous for any encoder's choice.
constexpr int kMaxScans = 300;

struct Info {
    int width = 0;
    int height = 0;
    bool progressive = false;     // several scans: the decoder keeps the whole picture's coefficients
    bool convertible = true;      // the kernels can turn its colours into RGB (not CMYK or YCCK)
    int64_t coefficientBytes = 0; // the coefficient buffer a multi-scan file needs while it decodes
    int scans = 0;                // counted for multi-scan files only
    // The size decoded: the picture's, or what libjpeg-turbo's scaling in the DCT makes of it.
    int outputWidth = 0;
    int outputHeight = 0;
};

// The scale a picture of this size is decoded at for a `finest` grid, in eighths: the coarsest of
// libjpeg-turbo's 1/8, 1/4 and 1/2 whose output still has a pixel for every cell of the grid each way; 8
// (every pixel) when none has, or without a grid. libjpeg-turbo offers every M/8, but the others are not
// vectorised and cost more than the whole size.
int scaleEighths(int width, int height, px::Size finest);

// True when a file's first bytes start a JPEG stream.
bool looksLikeJpeg(std::string_view head);

// Reads the header alone: the size, the colour space and whether it has several scans (not counted).
// Raises 481 for a file that is not a JPEG picture.
Info readHeader(std::FILE* file);

// Reads the header (for a multi-scan file, walks its markers to count the scans). Raises 481 for a file
// that is not a JPEG picture and for too many scans (kind TooManyScans).
Info readInfo(std::FILE* file);

// Decodes the whole picture: `outputBytes(info)` says what the caller will allocate for it, which is
// reserved from the memory budget together with the decoder's own needs; `header` runs once the size
// is known; then, for every row in order, `target(y)` gives room for it (outputWidth pixels) and `ready(y)`
// says it is filled. With a `finest` grid (the finest the caller averages the picture onto), the picture is
// decoded no finer than one pixel a cell of it: at the coarsest M/8 of its size that still gives that,
// which skips most of the inverse transform and of the colour conversion; at an eighth a progressive
// picture is decoded from its DC scans alone (its first and those that refine it), its AC scans unread.
// Without it, every pixel. Raises 481 for a file that is not a whole JPEG picture (a truncated one among
// them, kind Truncated), 7 when it is too large (kind TooLarge), 481 of kind TooManyScans, and 481 of kind
// UnsupportedColourSpace for colour spaces the kernels cannot turn into RGB (CMYK, YCCK): callers may fall
// back then. With `refuseDamage`, data the decoder calls corrupt (a bad Huffman or arithmetic code, bytes
// where a marker should be, a lost restart, a bogus progression) refuses the picture too, with the decoder's
// words (481): it would guess on past it.
void decodeInto(std::FILE* file, const std::function<int64_t(const Info&)>& outputBytes,
                const std::function<void(const Info&)>& header,
                const std::function<px::Pixel*(int y)>& target, const std::function<void(int y)>& ready,
                px::Size finest = {}, bool refuseDamage = false);

// Decodes a picture at an eighth of its size and keeps nothing, to find out what decodeInto would raise
// for it, whatever its colour space: for pictures another decoder will read (CMYK, YCCK through Qt).
void verify(std::FILE* file);

} // namespace jpeg
