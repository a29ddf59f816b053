#pragma once

#include "kernels/text_art.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The text art as a picture: every character's glyph in its cell, composed from coverage masks that the
// font's renderer drew once a character, and written as a PNG file. A photograph's picture has millions of
// pixels; composing from masks and compressing parts of it side by side keeps that cheap.
namespace art {

struct Glyphs {
    int cellWidth = 1, cellHeight = 1;
    int margin = 0; // how far a glyph may reach beyond its cell, on every side
    // Each character's coverage (0 none to 255 full), (cellWidth + 2 margin) by (cellHeight + 2 margin)
    // pixels row by row, its cell starting at (margin, margin). A character without ink has none.
    std::unordered_map<char32_t, std::vector<uint8_t>> masks;
};

// The block elements among `chars` drawn as terminals draw them, filling their cells (glyphs::blockElement),
// in place of the font's glyphs.
void drawBlockElements(Glyphs& glyphs, const std::vector<char32_t>& chars);

// The largest picture written: as many pixels as the desktop program's pictures may have.
constexpr int64_t kMaxPicturePixels = int64_t(1) << 29;

// The PNG file of the lines: as wide as the longest line's cells and as high as the lines' (at least one
// pixel), drawn line by line and left to right. Black on white in grey levels; with colours, each
// character in its block's colour on white, or on black when dark (white on black without colours). Up to
// `threads` parts are compressed side by side. Raises 7 for a picture beyond kMaxPicturePixels.
std::string png(const Lines& lines, const Glyphs& glyphs, bool dark, int threads = 1);

} // namespace art
