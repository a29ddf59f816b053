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

Pattern reduce(const Pattern& pattern, int width, int height) {
    if (pattern.empty() || width <= 0 || height <= 0)
        return {};
    const std::vector<double> ink(pattern.ink.begin(), pattern.ink.end());
    return resample(ink, pattern.width, pattern.height, width, height);
}

} // namespace glyphs
