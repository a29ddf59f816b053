#pragma once

#include "kernels/character_choice.h"
#include "kernels/pixels.h"

#include <cstdint>
#include <utility>
#include <vector>

// Two colours a cell: a glyph in a foreground colour on a background colour of its own, as a terminal
// shows a character. For a block and a glyph, the two colours that best reproduce the block's colours part
// by part, on a grid nearly as fine as the cell's pixels, given how much of each part the glyph covers,
// have a closed form: each channel is a straight line through the parts' colours against their coverage,
// fitted by least squares (the background where the glyph leaves a part empty, the foreground where it
// covers it), so that a thin stroke takes the colour of the pixels under it. The glyph's contrast is kept
// to the fine detail the block has (strokes in far colours over a smooth block are noise to the eye), and
// both colours stay within the block's own range. The glyph whose fit leaves the least error wins.
namespace colourfit {

// The colours of every block's parts, across x down a block, row by row (a buffer::partsOf sizing that is
// not grey).
struct Parts {
    px::View colours;
    int across = 0, down = 0;
    bool empty() const { return across <= 0 || down <= 0; }
};

struct Cells {
    std::vector<uint16_t> chosen;      // the table's entry for every block, row by row
    std::vector<px::Pixel> foreground; // art::kKeepColour where the glyph has no ink
    std::vector<px::Pixel> background; // art::kKeepColour where the glyph covers its whole cell
};

// The parts a block is split into for the fit: eight across (fewer in blocks of fewer pixels, each part at
// least a quarter of a picture pixel) and as many down as the cell's shape (height over width) asks,
// up to twice as many: a cell's eighths, and finer than a glyph's strokes are apart, so that the fit sees
// the pixels under them.
std::pair<int, int> partsGrid(double blockWidth, double blockHeight, double cellAspect);

// The glyphs and their colours for `columns` x `rows` blocks. With `chosen` given (one entry a block), those
// glyphs keep and only their colours are fitted; without it, every glyph of the table is tried. The levels
// reshape each channel as they reshape brightness. A glyph of even coverage (the blank, a full block) gets
// one colour, the block's mean: the fit has no second colour to find there.
Cells fit(const Parts& parts, int columns, int rows, const choice::Table& table,
          const std::array<uint8_t, 256>& levels, const std::vector<uint16_t>* chosen = nullptr);

} // namespace colourfit
