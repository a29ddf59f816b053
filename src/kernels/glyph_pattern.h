#pragma once

#include "kernels/ink_measure.h"
#include "kernels/pixels.h"

#include <cstdint>
#include <vector>

// A glyph's shape as the shape mapping and the likeness score compare it with a picture: its ink on a
// grid, 0 none to 255 full, row by row. Taken from the glyph as drawn for the measurement, inside the box
// common to all characters, so every character's pattern covers the same part of its cell.
namespace glyphs {

struct Pattern {
    int width = 0, height = 0;
    std::vector<uint8_t> ink;

    bool empty() const { return width <= 0 || height <= 0; }
    int at(int x, int y) const { return ink[size_t(y) * size_t(width) + size_t(x)]; }
    bool operator==(const Pattern&) const = default;
};

// Patterns are kept no finer than this: enough for any grid the mappings use, small enough to remember.
constexpr int kMaxPatternWidth = 16;
constexpr int kMaxPatternHeight = 32;

// The glyph's ink inside the box (the darkness of each pixel, 255 less its brightness), averaged down
// to at most kMaxPatternWidth x kMaxPatternHeight parts. Empty for an empty box.
Pattern patternOf(px::View glyph, const InkBox& box);

// The pattern averaged down (or spread up) to width x height parts, each part the mean of the area it
// covers, parts of the source weighed by how much of them it covers.
Pattern reduce(const Pattern& pattern, int width, int height);

// The block elements (U+2580 to U+259F) as terminals draw them: rectangles of the cell in eighths, filling
// it edge to edge whatever the font's own glyph is like (a font's glyph may stop short of the cell, or the
// font may lack it), the shades as an even coverage.
bool isBlockElement(char32_t c);
// Its coverage of a cell split into width x height parts, each part the share of it the element covers.
Pattern blockElement(char32_t c, int width, int height);
// Its coverage of a cell of width x height pixels, the eighths' edges rounded to whole pixels as a
// terminal draws them (0 or 255, the shades their even coverage): `mask` has `stride` bytes a row.
void drawBlockElement(char32_t c, int width, int height, uint8_t* mask, size_t stride);

} // namespace glyphs
