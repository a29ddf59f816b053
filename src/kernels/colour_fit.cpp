#include "kernels/colour_fit.h"

#include "kernels/text_art.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace colourfit {

namespace {

// Each channel's share of the error: the eye's share of brightness, so that what the fit leaves wrong is
// what shows least.
constexpr double kWeight[3] = {0.30, 0.59, 0.11};
// Luminance from the channels, for the fine detail a cell shows.
constexpr double kLuma[3] = {0.2126, 0.7152, 0.0722};
// How much a glyph's fine detail beyond the block's own counts against it, against the error of its
// colours. A glyph in two far colours over a smooth block draws strokes the picture does not have: letter
// noise, which the eye sees before it sees a cell's colour a little off. bench/likeness.sh measures both.
constexpr double kDetailWeight = 0.5;
// Fine detail is what a blur of this width, in a cell's width and height, takes away: about two pixels of
// a cell of 8 x 16, as near a terminal's pixels as the eye at reading distance tells apart.
constexpr double kDetailWidth = 0.25, kDetailHeight = 0.125;
// Parts averaged from a block's pixels show less of its fine detail than the pixels do, and a glyph's edge
// between parts is drawn sharp: a glyph may draw this much more fine detail than the parts show.
constexpr double kDetailSeen = 1.5;
// A letter's strokes fall inside the parts the fit compares, where the block's own detail cannot be seen
// to match them: drawn in two far colours they read as texture over the picture (an M across a cup's rim),
// which a blind comparison with chafa's colour art called letter noise. Detail a glyph draws that its
// coverage of the parts does not show costs this much, at the contrast of its colours; block elements,
// whose edges lie on the parts' edges, draw next to none of it.
constexpr double kHiddenWeight = 10;
// A glyph in two colours must leave less error than one flat colour by this much a part (the square of a
// level of brightness, about), or the cell is flat.
constexpr double kFlatMargin = 1;

// The fine detail of a grid of samples: each sample less a Gaussian blur of the grid (edges repeated, the
// neighbouring cells unknown), as separable weights. Every block of a photograph needs it: the loops run
// along rows, where the compiler makes them vector operations.
class FineDetail {
  public:
    FineDetail(int across, int down)
        : across_(across), down_(down), x_(weights(across, kDetailWidth * across)),
          y_(weights(down, kDetailHeight * down)), rows_(size_t(across) * size_t(down)),
          blurred_(size_t(across) * size_t(down)) {}

    // The mean squared fine detail of the grid's values.
    double energy(const float* v) const {
        const size_t a = size_t(across_), d = size_t(down_);
        std::fill(rows_.begin(), rows_.end(), 0.0f);
        std::fill(blurred_.begin(), blurred_.end(), 0.0f);
        for (size_t y = 0; y < d; ++y)
            for (size_t i = 0; i < a; ++i) {
                const float value = v[y * a + i];
                const float* w = &x_[i * a];
                float* out = &rows_[y * a];
                for (size_t x = 0; x < a; ++x)
                    out[x] += w[x] * value;
            }
        for (size_t j = 0; j < d; ++j)
            for (size_t y = 0; y < d; ++y) {
                const float w = y_[j * d + y];
                const float* in = &rows_[j * a];
                float* out = &blurred_[y * a];
                for (size_t x = 0; x < a; ++x)
                    out[x] += w * in[x];
            }
        double e = 0;
        for (size_t k = 0; k < a * d; ++k) {
            const double h = double(v[k]) - blurred_[k];
            e += h * h;
        }
        return e / double(a * d);
    }

  private:
    // The blur as a matrix on `size` samples, w[source * size + target]: Gaussian weights of `sigma`
    // samples, what falls beyond the edge given to the edge's sample.
    static std::vector<float> weights(int size, double sigma) {
        std::vector<double> w(size_t(size) * size_t(size), 0);
        const int reach = int(std::ceil(4 * sigma));
        for (int x = 0; x < size; ++x) {
            double total = 0;
            for (int d = -reach; d <= reach; ++d) {
                const double g = sigma > 0 ? std::exp(-0.5 * d * d / (sigma * sigma)) : (d == 0 ? 1 : 0);
                w[size_t(std::clamp(x + d, 0, size - 1)) * size_t(size) + size_t(x)] += g;
                total += g;
            }
            for (int i = 0; i < size; ++i)
                w[size_t(i) * size_t(size) + size_t(x)] /= total;
        }
        return std::vector<float>(w.begin(), w.end());
    }

    int across_, down_;
    std::vector<float> x_, y_;
    mutable std::vector<float> rows_, blurred_;
};

// A glyph's coverage of the parts, 0 to 1, and the sums its fits need.
struct Coverage {
    std::vector<float> a;
    double sum = 0, squares = 0, spread = 0; // sums of a and a squared; sum of (a - mean) squared
    double detail = 0;                       // the mean squared fine detail of a
    double hidden = 0;                       // of that, what its coverage of the parts does not show
    int rank = 2;                            // ties go to the blank, then to glyphs of even coverage
    bool same = false; // an earlier glyph's coverage, or its complement: with two free colours, the same
};

// The coverage on the fit's grid gives what the glyph does to each part's mean; how sharply it is drawn
// (the sum of its squares, its fine detail) is taken from the glyph as drawn, its pattern: a thin stroke half
// across a part is a sharp line, not a half-tone, and its contrast is no greater than the colours under it.
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
        }
        if (!pattern.empty()) {
            std::vector<float> drawn(pattern.ink.size());
            for (size_t p = 0; p < drawn.size(); ++p) {
                drawn[p] = float(pattern.ink[p]) / 255;
                c.squares += double(drawn[p]) * drawn[p];
            }
            c.squares *= double(parts) / double(drawn.size());
            c.detail = FineDetail(pattern.width, pattern.height).energy(drawn.data());
            c.hidden = std::max(0.0, c.detail - FineDetail(across, down).energy(c.a.data()));
        }
        c.spread = std::max(0.0, c.squares - c.sum * c.sum / parts);
        const bool even = c.spread < 0.01;
        c.rank = even && c.sum < 0.001 * parts ? 0 : even ? 1 : 2;
        for (const Coverage& earlier : out) {
            if (c.rank < 2 || earlier.rank < 2 || std::abs(c.spread - earlier.spread) > 1e-6 * parts)
                continue;
            bool equal = true, complement = true;
            for (int k = 0; k < parts && (equal || complement); ++k) {
                equal = equal && std::abs(c.a[size_t(k)] - earlier.a[size_t(k)]) < 1e-3f;
                complement = complement && std::abs(c.a[size_t(k)] + earlier.a[size_t(k)] - 1) < 1e-3f;
            }
            c.same = c.same || equal || complement;
        }
        out.push_back(std::move(c));
    }
    return out;
}

// A block's parts in the channels, with their sums, ranges and fine detail.
struct Block {
    int n = 0;
    const float* x = nullptr; // n values a channel, channel after channel
    double sx[3] = {}, sxx[3] = {}, lo[3] = {}, hi[3] = {};
    double detail = 0; // the mean squared fine detail of its luminance
};

struct Fit {
    double error = 0;
    double background[3] = {}, foreground[3] = {};
};

// The two colours of one glyph for a block: the least-squares line of each channel against the glyph's
// coverage, its contrast kept to what the block's own fine detail allows (beyond it, the detail's cost
// against the error it saves decides: a closed form, as both are quadratic in the contrast), both colours
// within the block's range, channel by channel, the cell's mean colour the block's where the range allows.
// The error is the weighted squared difference over the parts, with the excess detail's cost.
// `sax`: the sums of the coverage times each channel.
Fit fitGlyph(const Coverage& c, const Block& b, const double* sax) {
    Fit f;
    const int n = b.n;
    double slope[3] = {}, explained = 0;
    if (c.rank == 2)
        for (int ch = 0; ch < 3; ++ch) {
            const double covariance = sax[ch] - c.sum * b.sx[ch] / n;
            slope[ch] = covariance / c.spread;
            explained += kWeight[ch] * covariance * slope[ch];
        }
    // The fine detail the glyph draws at full contrast (per part), against the block's own.
    const double luma = kLuma[0] * slope[0] + kLuma[1] * slope[1] + kLuma[2] * slope[2];
    const double drawn = luma * luma * c.detail;
    double share = explained > 0 ? 1 : 0;
    if (explained > 0 && drawn > b.detail) {
        const double free = std::sqrt(b.detail / drawn);
        share = std::min(1.0, std::max(free, explained / (explained + kDetailWeight * n * drawn)));
    }
    const double cover = c.sum / n;
    double d[3];
    for (int ch = 0; ch < 3; ++ch) {
        const double mean = b.sx[ch] / n, lo = b.lo[ch], hi = b.hi[ch];
        const double contrast = slope[ch] * share;
        double back = std::clamp(mean - cover * contrast, lo, hi);
        double fore = std::clamp(back + contrast, lo, hi);
        // The cell's mean colour kept the block's, where the colours had to be brought within range.
        fore = std::clamp(fore + mean - (cover * fore + (1 - cover) * back), lo, hi);
        if (cover < 1)
            back = std::clamp((mean - cover * fore) / (1 - cover), lo, hi);
        if (cover > 0)
            fore = std::clamp((mean - (1 - cover) * back) / cover, lo, hi);
        d[ch] = fore - back;
        f.background[ch] = back;
        f.foreground[ch] = fore;
        // sum over the parts of (x - back - a d)^2, from the sums alone
        f.error += kWeight[ch] * (b.sxx[ch] - 2 * back * b.sx[ch] - 2 * d[ch] * sax[ch] + n * back * back +
                                  2 * back * d[ch] * c.sum + d[ch] * d[ch] * c.squares);
    }
    const double l = kLuma[0] * d[0] + kLuma[1] * d[1] + kLuma[2] * d[2];
    f.error += kDetailWeight * n * std::max(0.0, l * l * c.detail - b.detail);
    f.error += kHiddenWeight * n * l * l * c.hidden;
    return f;
}

// The sums of every glyph's coverage times a block's channels, part by part: summed for kLanes glyphs at
// once in vector registers (on a processor with AVX2 its wider registers take them; the function is made
// twice, and the loader picks one), as a photograph's every block needs them for every glyph.
class CoverageSums {
  public:
    CoverageSums(const std::vector<Coverage>& glyphs, int parts)
        : parts_(parts), count_(int(glyphs.size())), padded_((count_ + kLanes - 1) / kLanes * kLanes),
          weight_(size_t(parts) * size_t(padded_), 0) {
        for (int e = 0; e < count_; ++e)
            for (int k = 0; k < parts; ++k)
                weight_[size_t(k) * size_t(padded_) + size_t(e)] = glyphs[size_t(e)].a[size_t(k)];
    }
    int padded() const { return padded_; }

    // out[ch * padded() + e]: the sum for glyph e and channel ch of x (parts values a channel).
    __attribute__((target_clones("avx2", "default"))) void sums(const float* x, float* out) const {
        for (int first = 0; first < count_; first += kLanes) {
            Oct acc[3][2] = {};
            for (int k = 0; k < parts_; ++k) {
                Oct wl, wh;
                const float* w = &weight_[size_t(k) * size_t(padded_) + size_t(first)];
                std::memcpy(&wl, w, sizeof wl);
                std::memcpy(&wh, w + 8, sizeof wh);
                for (int ch = 0; ch < 3; ++ch) {
                    const float v = x[ch * parts_ + k];
                    acc[ch][0] += v * wl;
                    acc[ch][1] += v * wh;
                }
            }
            for (int ch = 0; ch < 3; ++ch) {
                std::memcpy(out + size_t(ch) * size_t(padded_) + size_t(first), &acc[ch][0], sizeof(Oct));
                std::memcpy(out + size_t(ch) * size_t(padded_) + size_t(first) + 8, &acc[ch][1], sizeof(Oct));
            }
        }
    }

  private:
    static constexpr int kLanes = 16; // two vectors of eight
    using Oct = float __attribute__((vector_size(8 * sizeof(float))));
    int parts_, count_, padded_;
    std::vector<float> weight_; // part by part, glyph by glyph, padded to whole lanes
};

px::Pixel colour(const double* rgb) {
    return px::rgb(int(std::lround(rgb[0])), int(std::lround(rgb[1])), int(std::lround(rgb[2])));
}

} // namespace

std::pair<int, int> partsGrid(double blockWidth, double blockHeight, double cellAspect) {
    // As fine as a cell's eighths, each part at least a quarter of a picture pixel: parts finer than the
    // pixels add no detail, but they still place the eighths' edges where the picture's are.
    constexpr double kPixels = 0.25;
    int across = 1;
    while (across < 8 && blockWidth >= 2 * across * kPixels)
        across *= 2;
    // Down as the cell's shape asks, in whole eighths of the cell where there are that many.
    const double wanted = across * cellAspect;
    int down = wanted >= 8 ? 8 * int(std::lround(wanted / 8)) : 1;
    while (wanted < 8 && down * 2 <= std::lround(wanted))
        down *= 2;
    down = std::clamp(down, 1, std::max(1, std::min(2 * across, int(blockHeight / kPixels))));
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
    const CoverageSums coverageSums(glyphs, n);
    // The glyph that shows one flat colour, the blank first.
    int flat = -1;
    for (int e = 0; e < int(glyphs.size()); ++e)
        if (glyphs[size_t(e)].rank < 2 && (flat < 0 || glyphs[size_t(e)].rank < glyphs[size_t(flat)].rank))
            flat = e;
    // A band of rows of blocks, with its own scratch: a photograph's bands are fitted on every core.
    const auto band = [&](int first, int last) {
        const FineDetail fine(parts.across, parts.down);
        std::vector<float> x(static_cast<size_t>(3 * n)), luma(static_cast<size_t>(n)),
            sums(size_t(3) * size_t(coverageSums.padded()));
        const auto fitOf = [&](int e, const Block& block) {
            const double sax[3] = {sums[size_t(e)], sums[size_t(coverageSums.padded() + e)],
                                   sums[size_t(2 * coverageSums.padded() + e)]};
            return fitGlyph(glyphs[size_t(e)], block, sax);
        };
        Block b;
        b.n = n;
        b.x = x.data();
        for (int y = first; y < last; ++y)
            for (int cx = 0; cx < columns; ++cx) {
                for (int ch = 0; ch < 3; ++ch) {
                    b.sx[ch] = b.sxx[ch] = 0;
                    b.lo[ch] = 255, b.hi[ch] = 0;
                }
                for (int v = 0; v < parts.down; ++v) {
                    const px::Pixel* row = parts.colours.row(y * parts.down + v) + cx * parts.across;
                    for (int u = 0; u < parts.across; ++u) {
                        const int k = v * parts.across + u;
                        const int rgb[3] = {levels[size_t(px::red(row[u]))],
                                            levels[size_t(px::green(row[u]))],
                                            levels[size_t(px::blue(row[u]))]};
                        for (int ch = 0; ch < 3; ++ch) {
                            x[size_t(ch * n + k)] = float(rgb[ch]);
                            b.sx[ch] += rgb[ch];
                            b.sxx[ch] += double(rgb[ch]) * rgb[ch];
                            b.lo[ch] = std::min(b.lo[ch], double(rgb[ch]));
                            b.hi[ch] = std::max(b.hi[ch], double(rgb[ch]));
                        }
                        luma[size_t(k)] = float(kLuma[0] * rgb[0] + kLuma[1] * rgb[1] + kLuma[2] * rgb[2]);
                    }
                }
                b.detail = kDetailSeen * fine.energy(luma.data());
                const size_t cell = size_t(y) * size_t(columns) + size_t(cx);
                coverageSums.sums(x.data(), sums.data());
                int best = chosen ? (*chosen)[cell] : 0;
                Fit bestFit = fitOf(best, b);
                for (int e = 1; !chosen && e < int(glyphs.size()); ++e) {
                    if (glyphs[size_t(e)].same)
                        continue;
                    const Fit f = fitOf(e, b);
                    const double margin = 1e-6 * (1 + bestFit.error);
                    if (f.error < bestFit.error - margin ||
                        (f.error <= bestFit.error + margin &&
                         glyphs[size_t(e)].rank < glyphs[size_t(best)].rank))
                        best = e, bestFit = f;
                }
                // A glyph that does barely better than one flat colour would be drawn in two colours the eye
                // cannot tell apart: the cell is flat.
                if (!chosen && flat >= 0 && glyphs[size_t(best)].rank == 2 &&
                    fitOf(flat, b).error - bestFit.error < kFlatMargin * n)
                    best = flat, bestFit = fitOf(flat, b);
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
    };
    const int threads = cells >= 4000 ? int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)) : 1;
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(band, rows * t / threads, rows * (t + 1) / threads);
    band(0, rows / threads);
    for (std::thread& h : helpers)
        h.join();
    return out;
}

} // namespace colourfit
