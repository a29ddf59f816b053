#pragma once

#include "kernels/glyph_pattern.h"
#include "kernels/pixels.h"
#include "kernels/text_art.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// How each block's character is chosen. The described mapping (by position in the sorted table) is the
// default and stays exactly as it is; beside it, the block's darkness matched to the characters' measured
// ink, or the block's pattern of darkness matched to the glyphs' pattern of ink. Levels reshape the
// picture's brightness first; dithering carries the darkness a character could not reach on to the
// blocks around it.
namespace choice {

enum class Mapping { Position, Ink, Shape };
constexpr std::array<std::string_view, 3> kMappingNames = {"position", "ink", "shape"};
std::optional<Mapping> mappingNamed(std::string_view name);

struct Levels {
    bool automatic = false; // the brightness stretched between its 1st and 99th percentile first
    int brightness = 0;     // -100 to 100: hundredths of the whole range added
    int contrast = 0;       // -100 to 100: hundredths more (or less) spread around the middle grey
    double gamma = 1;       // 0.1 to 10: above 1 lightens the middle greys, below 1 darkens them
    bool none() const { return !automatic && brightness == 0 && contrast == 0 && gamma == 1; }
    bool operator==(const Levels&) const = default;
};
constexpr int kMaxBrightness = 100, kMaxContrast = 100;
constexpr double kMinGamma = 0.1, kMaxGamma = 10;
// The shape mapping's ink follows the light a brightness stands for, brightness to this power (from 0 to 1),
// as the eye adds up a cell's light: ink in proportion to sRGB's brightness draws the middle greys too light.
// Short of sRGB's 2.2, as strokes seen close are not wholly blurred into their cell.
constexpr double kInkGamma = 1.6;

// What each brightness becomes, for a picture of this brightness histogram (only automatic levels read it).
std::array<uint8_t, 256> levelsTable(const Levels& levels, const std::array<uint64_t, 256>& histogram);
// The same for a buffer's blocks.
std::array<uint8_t, 256> levelsOf(px::View buffer, const Levels& levels);

struct Options {
    Mapping mapping = Mapping::Position;
    Levels levels;
    bool dither = false;
    bool inverted = false; // light characters for dark blocks: the text is shown light on dark
    // Nothing asked for beyond the described mapping: its text, exactly.
    bool described() const { return mapping == Mapping::Position && levels.none() && !dither; }
    bool operator==(const Options&) const = default;
};

// A measured table: the characters darkest first, their ink counts and glyph patterns in the same order.
struct Table {
    std::vector<char32_t> sorted;
    std::vector<int32_t> levels;
    std::vector<glyphs::Pattern> patterns;
};

// Every block's sub-blocks, for the shape mapping: the brightness of across x down parts a block.
struct SubBlocks {
    px::GreyView parts;
    int across = 0, down = 0;
    bool empty() const { return across <= 0 || down <= 0; }
};

// The parts a block is split into for the shape mapping: a few each way, each at least one picture pixel,
// following the cell's shape (height over width). {0, 0} when the block is too small to split: the ink
// mapping is used then.
std::pair<int, int> subGrid(double blockWidth, double blockHeight, double cellAspect);

// The entry of the darkest-first table chosen for every block of the buffer, row by row. The shape
// mapping needs the sub-blocks, and falls back to the ink mapping without them.
std::vector<uint16_t> choose(px::View buffer, const SubBlocks& sub, const Table& table,
                             const Options& options);

// The lines of the chosen characters, with each block's colour.
art::Lines lines(px::View buffer, const std::vector<uint16_t>& chosen, const std::vector<char32_t>& sorted);

} // namespace choice
