#pragma once

#include "kernels/pixels.h"

#include <cstdint>
#include <vector>

// Measuring how dark each character of a table is, from glyph bitmaps drawn black on white at the
// top-left of a square surface: the dark pixels inside one box common to all characters are counted,
// and the table is sorted darkest first. Colours are compared as whole 0x00BBGGRR values, so in effect
// the thresholds test mostly the blue byte.
namespace glyphs {

constexpr int kExtentLimit = 0x800000; // a pixel below this belongs to the ink box
constexpr int kInkLimit = 0x7F7F7F;    // a pixel below this counts as ink

constexpr bool passesExtent(px::Pixel p) {
    return px::bgr(p) < kExtentLimit;
}
constexpr bool passesInk(px::Pixel p) {
    return px::bgr(p) < kInkLimit;
}

// The smallest rectangle holding every pixel that passes the extent test; minX and minY stay -1 (and
// maxX, maxY 0) when no pixel does.
struct InkBox {
    int minX = -1, minY = -1, maxX = 0, maxY = 0;
    bool empty() const { return minX < 0; }
};

InkBox findInkBox(px::View overlay);
// The same, one column at a time (for a surface that shows the scan as it goes).
void extendInkBox(InkBox& box, px::View overlay, int x);

// Pixels inside the box (positions outside the image never count) that pass the ink test.
int32_t countInk(px::View glyph, const InkBox& box);

// Sorts darkest first, exchanging neighbours only when the later one is strictly darker, so equal
// counts keep their table order.
void sortDarkestFirst(std::vector<char32_t>& chars, std::vector<int32_t>& levels);
// The same order as positions in the table: entry i of the sorted table is entry order[i] of the table.
std::vector<size_t> darkestFirstOrder(const std::vector<int32_t>& levels);

// The square surface side in pixels for a size in points: size x 30 twips at 15 twips a pixel.
int surfaceSide(double points);

} // namespace glyphs
