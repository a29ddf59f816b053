#include "kernels/text_mapping.h"

#include <algorithm>
#include <cstring>

namespace mapping {

std::array<char32_t, 256> lookupTable(const std::vector<char32_t>& sorted) {
    std::array<char32_t, 256> table{};
    const int count = int(sorted.size());
    for (int b = 0; b <= 255; ++b)
        table[size_t(b)] = count > 0 ? sorted[size_t(position(count, b) - 1)] : U'\0';
    return table;
}

template <> int encode<char>(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

template <> int encode<char16_t>(char32_t c, char16_t* out) {
    if (c < 0x10000) {
        out[0] = char16_t(c);
        return 1;
    }
    c -= 0x10000;
    out[0] = char16_t(0xD800 | (c >> 10));
    out[1] = char16_t(0xDC00 | (c & 0x3FF));
    return 2;
}

template <> int encode<char32_t>(char32_t c, char32_t* out) {
    out[0] = c;
    return 1;
}

template <class Unit>
TextMapper<Unit>::TextMapper(const std::vector<char32_t>& sorted, std::basic_string_view<Unit> lineEnd)
    : lineEnd_(lineEnd) {
    const auto lut = lookupTable(sorted);
    widest_ = 1;
    for (size_t b = 0; b < lut.size(); ++b) {
        lengths_[b] = static_cast<unsigned char>(encode<Unit>(lut[b], units_[b].data()));
        widest_ = std::max<size_t>(widest_, lengths_[b]);
    }
}

template <class Unit> Unit* TextMapper<Unit>::writeRow(Unit* out, const px::Pixel* row, int width) const {
    if (widest_ == 1) {
        for (int x = 0; x < width; ++x)
            *out++ = units_[size_t(brightness(row[x]))][0];
    } else {
        for (int x = 0; x < width; ++x) {
            const size_t b = size_t(brightness(row[x]));
            const unsigned n = lengths_[b];
            for (unsigned i = 0; i < n; ++i)
                *out++ = units_[b][i];
        }
    }
    for (Unit u : lineEnd_)
        *out++ = u;
    return out;
}

template <class Unit> std::basic_string<Unit> TextMapper<Unit>::transform(px::View buffer) const {
    std::basic_string<Unit> text;
    if (buffer.width <= 0 || buffer.height <= 0)
        return text;
    text.resize(maxRowUnits(buffer.width) * size_t(buffer.height));
    Unit* out = text.data();
    for (int y = 0; y < buffer.height; ++y)
        out = writeRow(out, buffer.row(y), buffer.width);
    text.resize(size_t(out - text.data()));
    return text;
}

template class TextMapper<char>;
template class TextMapper<char16_t>;
template class TextMapper<char32_t>;

} // namespace mapping
