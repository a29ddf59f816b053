#pragma once

#include "kernels/glyph_pattern.h"
#include "kernels/pixels.h"

#include <cstdint>
#include <optional>
#include <vector>

// How much a result looks like its picture: the text drawn in its font, dark on light (light on dark for an
// inverted one), compared with the picture in grey, both on a grid of 2 x 2 parts a character cell.
// Detail is the structural similarity (SSIM, 7 x 7 windows) of the two, after the drawing's greys are set
// to the picture's mean and spread, since text can never be as dark as a black picture; tone is the
// correlation of each cell's mean grey in the drawing with the picture's.
namespace likeness {

// The most memory measure() and a drawing take together, a cell (greys and tables of doubles on its four
// parts): a likeness of a text is held from the memory budget by so much.
constexpr int64_t kMeasureBytesPerCell = 320;

struct Score {
    double detail = 0;
    double tone = 0;
};

// Greys 0 (black) to 255 (white), row by row, (2 columns) x (2 rows) of them.
Score measure(const std::vector<double>& picture, const std::vector<double>& drawing, int columns, int rows);

// The drawing of a text on the grid of 2 x 2 parts a cell: each character's pattern reduced to 2 x 2.
// `chosen` holds an entry of `patterns` for every cell.
std::vector<double> drawing(const std::vector<uint16_t>& chosen, const std::vector<glyphs::Pattern>& patterns,
                            int columns, int rows, bool lightOnDark);

// A text drawn in colours: each character's pattern (reduced to 2 x 2) in its foreground over its
// background; a colour a cell keeps as it is (art::kKeepColour) is the page's.
struct ColourDrawing {
    std::vector<double> greys;    // brightness on the grid of 2 x 2 parts a cell, for measure()
    std::vector<px::Pixel> cells; // each cell's mean colour, row by row
};
ColourDrawing colourDrawing(const std::vector<uint16_t>& chosen, const std::vector<glyphs::Pattern>& patterns,
                            const std::vector<px::Pixel>& foreground,
                            const std::vector<px::Pixel>& background, px::Pixel page, int columns, int rows);

// A text's likeness to its picture as a whole: `parts` the picture's greys on 2 x 2 parts a cell, `blocks`
// its colours a cell; `chosen` the text's entries into `patterns`. Drawn in one ink (light on dark with
// `lightOnDark`) without `colours`; with them, in each cell's colours (`foreground`, `background`; empty for
// one colour a cell, the block's own on the page), the colour difference of the cells measured too.
struct TextLikeness {
    Score score;
    std::optional<double> colour; // mean CIEDE2000 of the cells, with colours
};
TextLikeness ofText(px::GreyView parts, px::View blocks, const std::vector<uint16_t>& chosen,
                    const std::vector<glyphs::Pattern>& patterns, bool lightOnDark, bool colours,
                    const std::vector<px::Pixel>& foreground, const std::vector<px::Pixel>& background);

// The mean CIEDE2000 difference between each block's colour and its cell's in a drawing, row by row.
double colourDifference(px::View blocks, const std::vector<px::Pixel>& cells);

// A picture's greys (brightness) on the grid of 2 x 2 parts a cell, from its parts.
std::vector<double> greys(px::View parts);
std::vector<double> greys(px::GreyView parts);

} // namespace likeness
