#pragma once

#include "kernels/pixels.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// Turning the buffer into text: a pixel's brightness, the mean of its three channels (0 to 255), picks a
// position in the table sorted darkest first, linearly, so black takes the first character and white
// the last. One line a buffer row; every line, the last too, ends with the line end. Characters are code
// points; the text comes out in the code units the caller holds text in (UTF-8, UTF-16 or UTF-32).
namespace mapping {

// (R + G + B) / 3 to the nearest whole number (a third never ends in exactly one half).
constexpr int brightness(px::Pixel p) {
    return (px::red(p) + px::green(p) + px::blue(p) + 1) / 3;
}

// The 1-based table position of a brightness: ((count - 1) x b) / 255 + 1, to the nearest whole number.
constexpr int position(int count, int b) {
    return (2 * (count - 1) * b + 255) / 510 + 1;
}

// The table entry for every brightness 0 to 255, built once per run: entry b is the character at
// position(count, b). Every pixel is mapped as lookupTable(sorted)[brightness(p)]. An empty table gives
// only NUL characters.
std::array<char32_t, 256> lookupTable(const std::vector<char32_t>& sorted);

// Code units of one code point: UTF-8 for char, UTF-16 for char16_t, UTF-32 for char32_t.
template <class Unit> int encode(char32_t c, Unit* out);

template <class Unit> class TextMapper {
  public:
    // The table sorted darkest first (not empty) and the line end that closes every row.
    TextMapper(const std::vector<char32_t>& sorted, std::basic_string_view<Unit> lineEnd);

    // Units a row of `width` pixels takes at most, line end included.
    size_t maxRowUnits(int width) const { return size_t(width) * widest_ + lineEnd_.size(); }
    // Writes one row and its line end at `out`; returns the end of what it wrote.
    Unit* writeRow(Unit* out, const px::Pixel* row, int width) const;
    // The text of a whole buffer.
    std::basic_string<Unit> transform(px::View buffer) const;

  private:
    std::array<std::array<Unit, 4>, 256> units_{};
    std::array<unsigned char, 256> lengths_{};
    size_t widest_ = 1;
    std::basic_string<Unit> lineEnd_;
};

extern template class TextMapper<char>;
extern template class TextMapper<char16_t>;
extern template class TextMapper<char32_t>;

} // namespace mapping
