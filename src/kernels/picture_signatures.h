#pragma once

#include <string_view>

// What a file's first bytes say of it, before any decoder is asked.
namespace signatures {

// Whether the bytes can start a picture of a format the converter or Qt's readers read: JPEG, PNG, GIF,
// BMP, WebP, TIFF, ICO and CUR, the PNM family, XBM, XPM, SVG, ICNS, DDS, PSD, JPEG 2000, HEIF and AVIF,
// and TGA (which has no signature, only plausible first bytes).
bool mayStartPicture(std::string_view head);

} // namespace signatures
