#include "kernels/glyph_pattern.h"

#include "kernels/text_mapping.h"

#include <algorithm>
#include <cmath>

namespace glyphs {

namespace {

// How much of source part i (of n over the same length as `parts` targets) each target covers: the
// weights of a box filter with exact overlaps.
struct Span {
    int first = 0, last = 0;     // source parts [first, last]
    std::vector<double> weights; // one for each, summing to 1
};

std::vector<Span> spans(int source, int target) {
    std::vector<Span> out(size_t(std::max(0, target)));
    const double scale = double(source) / target;
    for (int t = 0; t < target; ++t) {
        const double from = t * scale, to = (t + 1) * scale;
        Span& s = out[size_t(t)];
        s.first = int(std::floor(from));
        s.last = std::min(source - 1, int(std::ceil(to)) - 1);
        for (int i = s.first; i <= s.last; ++i)
            s.weights.push_back((std::min(to, double(i + 1)) - std::max(from, double(i))) / scale);
    }
    return out;
}

Pattern resample(const std::vector<double>& values, int width, int height, int toWidth, int toHeight) {
    const std::vector<Span> across = spans(width, toWidth), down = spans(height, toHeight);
    std::vector<double> rows(size_t(toWidth) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < toWidth; ++x) {
            double sum = 0;
            const Span& s = across[size_t(x)];
            for (int i = s.first; i <= s.last; ++i)
                sum += s.weights[size_t(i - s.first)] * values[size_t(y) * size_t(width) + size_t(i)];
            rows[size_t(y) * size_t(toWidth) + size_t(x)] = sum;
        }
    Pattern out{toWidth, toHeight, std::vector<uint8_t>(size_t(toWidth) * size_t(toHeight))};
    for (int y = 0; y < toHeight; ++y)
        for (int x = 0; x < toWidth; ++x) {
            double sum = 0;
            const Span& s = down[size_t(y)];
            for (int i = s.first; i <= s.last; ++i)
                sum += s.weights[size_t(i - s.first)] * rows[size_t(i) * size_t(toWidth) + size_t(x)];
            out.ink[size_t(y) * size_t(toWidth) + size_t(x)] =
                uint8_t(std::clamp(std::lround(sum), 0L, 255L));
        }
    return out;
}

} // namespace

Pattern patternOf(px::View glyph, const InkBox& box) {
    if (box.empty())
        return {};
    const int x0 = std::max(0, box.minX), y0 = std::max(0, box.minY);
    const int w = std::min(glyph.width - 1, box.maxX) - x0 + 1,
              h = std::min(glyph.height - 1, box.maxY) - y0 + 1;
    if (w <= 0 || h <= 0)
        return {};
    std::vector<double> ink(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ink[size_t(y) * size_t(w) + size_t(x)] = 255 - mapping::brightness(glyph.row(y0 + y)[x0 + x]);
    return resample(ink, w, h, std::min(w, kMaxPatternWidth), std::min(h, kMaxPatternHeight));
}

namespace {

// A block element's rectangles, in eighths of the cell from its top left, and its shade.
struct Block {
    struct Box {
        int x0, y0, x1, y1;
    };
    std::vector<Box> boxes;
    int shade = 255;
};

Block blockOf(char32_t c) {
    constexpr Block::Box upperLeft{0, 0, 4, 4}, upperRight{4, 0, 8, 4}, lowerLeft{0, 4, 4, 8},
        lowerRight{4, 4, 8, 8};
    if (c == U'\u2580')
        return {{{0, 0, 8, 4}}};
    if (c >= U'\u2581' && c <= U'\u2588') // lower eighths, up to the full block
        return {{{0, 8 - int(c - U'\u2580'), 8, 8}}};
    if (c >= U'\u2589' && c <= U'\u258F') // left seven eighths down to one
        return {{{0, 0, int(U'\u2590' - c), 8}}};
    switch (c) {
    case U'\u2590':
        return {{{4, 0, 8, 8}}};
    case U'\u2591':
    case U'\u2592':
    case U'\u2593':
        return {{{0, 0, 8, 8}}, int(c - U'\u2590') * 64 - (c == U'\u2593' ? 1 : 0)};
    case U'\u2594':
        return {{{0, 0, 8, 1}}};
    case U'\u2595':
        return {{{7, 0, 8, 8}}};
    case U'\u2596':
        return {{lowerLeft}};
    case U'\u2597':
        return {{lowerRight}};
    case U'\u2598':
        return {{upperLeft}};
    case U'\u2599':
        return {{upperLeft, lowerLeft, lowerRight}};
    case U'\u259A':
        return {{upperLeft, lowerRight}};
    case U'\u259B':
        return {{upperLeft, upperRight, lowerLeft}};
    case U'\u259C':
        return {{upperLeft, upperRight, lowerRight}};
    case U'\u259D':
        return {{upperRight}};
    case U'\u259E':
        return {{upperRight, lowerLeft}};
    case U'\u259F':
        return {{upperRight, lowerLeft, lowerRight}};
    default:
        return {};
    }
}

double overlap(double a0, double a1, double b0, double b1) {
    return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

} // namespace

bool isBlockElement(char32_t c) {
    return c >= U'\u2580' && c <= U'\u259F';
}

Pattern blockElement(char32_t c, int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    const Block b = blockOf(c);
    Pattern out{width, height, std::vector<uint8_t>(size_t(width) * size_t(height), 0)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // The part in eighths of the cell, and the share of it the rectangles cover.
            const double px0 = 8.0 * x / width, px1 = 8.0 * (x + 1) / width;
            const double py0 = 8.0 * y / height, py1 = 8.0 * (y + 1) / height;
            double covered = 0;
            for (const Block::Box& r : b.boxes)
                covered += overlap(px0, px1, r.x0, r.x1) * overlap(py0, py1, r.y0, r.y1);
            covered /= (px1 - px0) * (py1 - py0);
            out.ink[size_t(y) * size_t(width) + size_t(x)] =
                uint8_t(std::lround(std::min(1.0, covered) * b.shade));
        }
    return out;
}

void drawBlockElement(char32_t c, int width, int height, uint8_t* mask, size_t stride) {
    const Block b = blockOf(c);
    const auto edge = [](int eighths, int size) { return int(std::lround(double(eighths) * size / 8)); };
    for (int y = 0; y < height; ++y)
        std::fill_n(mask + size_t(y) * stride, size_t(std::max(0, width)), uint8_t(0));
    for (const Block::Box& r : b.boxes)
        for (int y = edge(r.y0, height); y < edge(r.y1, height); ++y)
            for (int x = edge(r.x0, width); x < edge(r.x1, width); ++x)
                mask[size_t(y) * stride + size_t(x)] = uint8_t(b.shade);
}

Pattern reduce(const Pattern& pattern, int width, int height) {
    if (pattern.empty() || width <= 0 || height <= 0)
        return {};
    const std::vector<double> ink(pattern.ink.begin(), pattern.ink.end());
    return resample(ink, pattern.width, pattern.height, width, height);
}

} // namespace glyphs
