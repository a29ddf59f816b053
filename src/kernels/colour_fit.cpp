#include "kernels/colour_fit.h"

#include "kernels/text_art.h"

#include <algorithm>
#include <cmath>

namespace colourfit {

namespace {

// Each channel's share of the error: the eye's share of brightness, so that what the fit leaves wrong is
// what shows least.
constexpr double kWeight[3] = {0.30, 0.59, 0.11};
// How far the two colours are drawn together where the glyph explains little of the block: its slope is
// kept in proportion to the share of the block's variation the glyph explains, raised to this power. A glyph
// whose coverage barely varies would otherwise explain a block's small variations with a glaring foreground
// on a glaring background, and the art turns to speckles; a glyph that fits the block keeps its colours.
// bench/likeness.sh chose it: the cells' colours come closer to the picture's, for a little less detail.
constexpr double kConfidencePower = 3;

// A glyph's coverage of the parts, 0 to 1, and the sums its fits need.
struct Coverage {
    std::vector<float> a;
    double sum = 0, squares = 0, spread = 0; // sums of a and a squared; sum of (a - mean) squared
    int rank = 2;                            // ties go to the blank, then to glyphs of even coverage
};

std::vector<Coverage> coverages(const choice::Table& table, int across, int down) {
    const int parts = across * down;
    std::vector<Coverage> out;
    for (const glyphs::Pattern& pattern : table.patterns) {
        const glyphs::Pattern r = glyphs::reduce(pattern, across, down);
        Coverage c;
        c.a.assign(size_t(parts), 0);
        for (int k = 0; k < parts; ++k) {
            c.a[size_t(k)] = r.empty() ? 0.0f : float(r.ink[size_t(k)]) / 255;
            c.sum += c.a[size_t(k)];
            c.squares += double(c.a[size_t(k)]) * c.a[size_t(k)];
        }
        c.spread = std::max(0.0, c.squares - c.sum * c.sum / parts);
        const bool even = c.spread < 0.01;
        c.rank = even && c.sum < 0.001 * parts ? 0 : even ? 1 : 2;
        out.push_back(std::move(c));
    }
    return out;
}

struct Fit {
    double error = 0;
    double background[3] = {}, foreground[3] = {};
};

// The least-squares background and foreground of one glyph for a block's parts x (channel by channel, with
// their sums), kept within the colours a terminal can show, and the error they leave.
Fit fitGlyph(const Coverage& c, const float* x, int parts, const double* sx, const double* sxx) {
    Fit f;
    // The least-squares line of each channel against the coverage, then its slope shrunk by how little of the
    // block's variation the glyph explains.
    double sax[3] = {}, slope[3] = {}, explained = 0, total = 0;
    for (int ch = 0; ch < 3; ++ch) {
        const double variation = sxx[ch] - sx[ch] * sx[ch] / parts;
        total += kWeight[ch] * variation;
        if (c.rank < 2)
            continue;
        const float* channel = x + size_t(ch) * size_t(parts);
        for (int k = 0; k < parts; ++k)
            sax[ch] += double(c.a[size_t(k)]) * channel[k];
        const double covariance = sax[ch] - c.sum * sx[ch] / parts;
        slope[ch] = covariance / c.spread;
        explained += kWeight[ch] * covariance * slope[ch];
    }
    const double share = total > 0 ? std::pow(std::clamp(explained / total, 0.0, 1.0), kConfidencePower) : 0;
    for (int ch = 0; ch < 3; ++ch) {
        double d = slope[ch] * share;
        const double b = (sx[ch] - c.sum * d) / parts; // even coverage: one colour, the mean
        double back = std::clamp(b, 0.0, 255.0), fore = std::clamp(b + d, 0.0, 255.0);
        // The cell's mean colour is the block's: kept where the colours had to be brought within range.
        const double cover = c.sum / parts, mean = sx[ch] / parts;
        fore = std::clamp(fore + mean - (cover * fore + (1 - cover) * back), 0.0, 255.0);
        if (cover < 1)
            back = std::clamp((mean - cover * fore) / (1 - cover), 0.0, 255.0);
        if (cover > 0)
            fore = std::clamp((mean - (1 - cover) * back) / cover, 0.0, 255.0);
        d = fore - back;
        f.background[ch] = back;
        f.foreground[ch] = fore;
        // sum over the parts of (x - back - a d)^2, from the sums alone
        f.error += kWeight[ch] * (sxx[ch] - 2 * back * sx[ch] - 2 * d * sax[ch] + parts * back * back +
                                  2 * back * d * c.sum + d * d * c.squares);
    }
    return f;
}

px::Pixel colour(const double* rgb) {
    return px::rgb(int(std::lround(rgb[0])), int(std::lround(rgb[1])), int(std::lround(rgb[2])));
}

} // namespace

std::pair<int, int> partsGrid(double blockWidth, double blockHeight, double cellAspect) {
    const int across = blockWidth >= 2 ? 2 : 1;
    const int down =
        std::clamp(int(std::lround(across * cellAspect)), 1, std::max(1, std::min(4, int(blockHeight))));
    return {across, down};
}

Cells fit(const Parts& parts, int columns, int rows, const choice::Table& table,
          const std::array<uint8_t, 256>& levels, const std::vector<uint16_t>* chosen) {
    Cells out;
    const size_t cells = size_t(std::max(0, columns)) * size_t(std::max(0, rows));
    out.chosen.assign(cells, 0);
    out.foreground.assign(cells, art::kKeepColour);
    out.background.assign(cells, art::kKeepColour);
    if (cells == 0 || table.patterns.empty() || parts.empty() ||
        parts.colours.width < columns * parts.across || parts.colours.height < rows * parts.down)
        return out;
    const int n = parts.across * parts.down;
    const std::vector<Coverage> glyphs = coverages(table, parts.across, parts.down);
    std::vector<float> x(size_t(3 * n));
    for (int y = 0; y < rows; ++y)
        for (int cx = 0; cx < columns; ++cx) {
            double sx[3] = {}, sxx[3] = {};
            for (int v = 0; v < parts.down; ++v) {
                const px::Pixel* row = parts.colours.row(y * parts.down + v) + cx * parts.across;
                for (int u = 0; u < parts.across; ++u) {
                    const int k = v * parts.across + u;
                    const int rgb[3] = {levels[size_t(px::red(row[u]))], levels[size_t(px::green(row[u]))],
                                        levels[size_t(px::blue(row[u]))]};
                    for (int ch = 0; ch < 3; ++ch) {
                        x[size_t(ch * n + k)] = float(rgb[ch]);
                        sx[ch] += rgb[ch];
                        sxx[ch] += double(rgb[ch]) * rgb[ch];
                    }
                }
            }
            const size_t cell = size_t(y) * size_t(columns) + size_t(cx);
            int best = chosen ? (*chosen)[cell] : 0;
            Fit bestFit = fitGlyph(glyphs[size_t(best)], x.data(), n, sx, sxx);
            for (int e = 1; !chosen && e < int(glyphs.size()); ++e) {
                const Fit f = fitGlyph(glyphs[size_t(e)], x.data(), n, sx, sxx);
                const double margin = 1e-6 * (1 + bestFit.error);
                if (f.error < bestFit.error - margin ||
                    (f.error <= bestFit.error + margin && glyphs[size_t(e)].rank < glyphs[size_t(best)].rank))
                    best = e, bestFit = f;
            }
            out.chosen[cell] = uint16_t(best);
            const Coverage& g = glyphs[size_t(best)];
            // A glyph of even coverage shows one colour: the blank only its background, a full one only
            // its foreground.
            const bool blank = g.rank == 0, full = g.rank == 1 && g.sum > 0.98 * n;
            if (!blank)
                out.foreground[cell] = colour(bestFit.foreground);
            if (!full)
                out.background[cell] = colour(g.rank == 2 ? bestFit.background : bestFit.foreground);
        }
    return out;
}

} // namespace colourfit
