#include "kernels/character_choice.h"

#include "kernels/text_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <thread>

namespace choice {

namespace {

uint8_t clampByte(double v) {
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// The brightness at which `fraction` of the histogram's weight lies below.
int percentile(const std::array<uint64_t, 256>& histogram, double fraction) {
    const uint64_t total = std::accumulate(histogram.begin(), histogram.end(), uint64_t(0));
    uint64_t seen = 0;
    for (int b = 0; b < 256; ++b) {
        seen += histogram[size_t(b)];
        if (double(seen) > fraction * double(total))
            return b;
    }
    return 255;
}

// What the characters' ink is worth on the scale of a block's wanted ink: the table's lightest character
// 0 (white), its darkest 255 (black). With `drawn`, the ink is how dark each glyph leaves its cell as it is
// drawn (its pattern's mean), which is what the eye sees of a text's tone; else, and without patterns, its
// measured count of ink pixels.
std::vector<double> scaledInk(const Table& table, bool drawn) {
    std::vector<double> raw(table.levels.begin(), table.levels.end());
    drawn = drawn && table.patterns.size() == raw.size() &&
            std::none_of(table.patterns.begin(), table.patterns.end(),
                         [](const glyphs::Pattern& p) { return p.empty(); });
    for (size_t i = 0; drawn && i < raw.size(); ++i)
        raw[i] = std::accumulate(table.patterns[i].ink.begin(), table.patterns[i].ink.end(), 0.0) /
                 double(table.patterns[i].ink.size());
    std::vector<double> ink(raw.size(), 0);
    if (raw.empty())
        return ink;
    const auto [lo, hi] = std::minmax_element(raw.begin(), raw.end());
    for (size_t i = 0; i < ink.size(); ++i)
        ink[i] = *hi > *lo ? 255.0 * (raw[i] - *lo) / (*hi - *lo) : 0;
    return ink;
}

// The entry whose ink is nearest a wanted ink; ties go to the earlier entry, as the described order has
// them. The inks are sorted once, so that a photograph's every block is a binary search.
class NearestInk {
  public:
    explicit NearestInk(const std::vector<double>& ink) {
        for (size_t i = 0; i < ink.size(); ++i)
            levels_.push_back({ink[i], int(i)});
        std::sort(levels_.begin(), levels_.end());
        // Of entries of equal ink, the earliest stands for all of them.
        std::vector<Level> distinct;
        for (const Level& l : levels_)
            if (distinct.empty() || distinct.back().ink != l.ink)
                distinct.push_back(l);
        levels_ = std::move(distinct);
    }
    int operator()(double wanted) const {
        const auto above = std::lower_bound(levels_.begin(), levels_.end(), Level{wanted, -1});
        if (above == levels_.end())
            return levels_.back().entry;
        if (above == levels_.begin())
            return above->entry;
        const auto below = above - 1;
        const double up = above->ink - wanted, down = wanted - below->ink;
        return up < down || (up == down && above->entry < below->entry) ? above->entry : below->entry;
    }

  private:
    struct Level {
        double ink;
        int entry;
        bool operator<(const Level& other) const {
            return ink < other.ink || (ink == other.ink && entry < other.entry);
        }
    };
    std::vector<Level> levels_;
};

// The ink a block (or part of one) asks for, from its brightness: its darkness on a light background, its
// lightness on a dark one.
double wantedInk(px::Pixel p, const std::array<uint8_t, 256>& levels, bool inverted) {
    const int b = levels[size_t(mapping::brightness(p))];
    return inverted ? b : 255 - b;
}

// Serpentine Floyd-Steinberg error diffusion over a grid, row by row: what a block could not get is
// handed to the blocks after it.
class Diffusion {
  public:
    Diffusion(int width, bool on)
        : width_(width), on_(on), current_(size_t(width) + 2), next_(size_t(width) + 2) {}
    bool leftToRight(int y) const { return !on_ || y % 2 == 0; }
    double carried(int x) const { return on_ ? current_[size_t(x) + 1] : 0; }
    void spread(int x, int y, double error) {
        if (!on_)
            return;
        const int step = leftToRight(y) ? 1 : -1;
        current_[size_t(x + step) + 1] += error * 7 / 16;
        next_[size_t(x - step) + 1] += error * 3 / 16;
        next_[size_t(x) + 1] += error * 5 / 16;
        next_[size_t(x + step) + 1] += error * 1 / 16;
    }
    void nextRow() {
        current_.swap(next_);
        std::fill(next_.begin(), next_.end(), 0);
    }

  private:
    int width_;
    bool on_;
    std::vector<double> current_, next_;
};

// The shape mapping. A block's parts ask for ink as the picture's darkness does, on the scale of the
// drawing, and from the block alone, so that a grey looks the same wherever it stands: the block's mean
// darkness (of the light it stands for: kInkGamma) maps onto the glyphs' coverage between the lightest
// glyph's and the darkest's (a text cannot be as dark as a black picture), and its parts' departures from
// that mean are kept at kContrast of their size (glyphs of a milder contrast follow a photograph's shapes
// better, as bench/likeness.sh measures). Each block takes the glyph whose coverage is nearest, part by part,
// with the cell's tone and its four quarters weighed in again, so that tone holds and what the eye sees at a
// distance comes first.
constexpr double kToneWeight = 1;
constexpr double kQuarterWeight = 32;
constexpr double kContrast = 0.5;

// The score of glyph e for wanted coverage w is
//   sum_k (w_k - c_ek)^2 + T P (mean w - mean c_e)^2 + Q P/4 sum_q (W_q - C_eq)^2
// (P parts, quarters' means W_q and C_eq). Left out what is the same for every glyph, it is one dot product:
// constant_e - 2 sum_k w_k weight_ek, which is what makes matching a photograph's blocks cheap.
class ShapeMatch {
  public:
    ShapeMatch(const Table& table, int across, int down)
        : across_(across), down_(down), parts_(across * down) {
        count_ = int(table.patterns.size());
        padded_ = (count_ + kLanes - 1) / kLanes * kLanes;
        weight_.assign(size_t(parts_) * size_t(padded_), 0);
        constant_.assign(size_t(count_), 0);
        mean_.assign(size_t(count_), 0);
        square_.assign(size_t(count_), 0);
        sum_.assign(size_t(count_), 0);
        const float p = float(parts_), quarterWeight = float(kQuarterWeight) * p / 4;
        for (int e = 0; e < count_; ++e) {
            const glyphs::Pattern r = glyphs::reduce(table.patterns[size_t(e)], across, down);
            std::vector<float> c(static_cast<size_t>(parts_));
            std::array<float, 4> quarters{};
            for (int k = 0; k < parts_; ++k) {
                c[size_t(k)] = r.empty() ? 0.0f : float(r.ink[size_t(k)]);
                mean_[size_t(e)] += c[size_t(k)] / p;
                square_[size_t(e)] += c[size_t(k)] * c[size_t(k)];
                quarters[size_t(quarter(k))] += c[size_t(k)] / float(quarterSize(quarter(k)));
            }
            float& constant = constant_[size_t(e)];
            constant = square_[size_t(e)] + float(kToneWeight) * p * mean_[size_t(e)] * mean_[size_t(e)];
            for (float q : quarters)
                constant += quarterWeight * q * q;
            for (int k = 0; k < parts_; ++k) {
                const float w = c[size_t(k)] + float(kToneWeight) * mean_[size_t(e)] +
                                quarterWeight * quarters[size_t(quarter(k))] / float(quarterSize(quarter(k)));
                weight_[size_t(k) * size_t(padded_) + size_t(e)] = w;
                sum_[size_t(e)] += w;
            }
        }
    }

    int parts() const { return parts_; }
    int count() const { return count_; }
    float mean(int e) const { return mean_[size_t(e)]; }
    float square(int e) const { return square_[size_t(e)]; }

    // The best glyph for wanted coverage gain * dark + offset, part by part. The dot products are summed
    // for kLanes glyphs at once, part by part, in vector registers; on a processor with AVX2 its wider
    // registers take them (the function is made twice, and the loader picks one).
    __attribute__((target_clones("avx2", "default"))) int best(const float* dark, float gain,
                                                               float offset) const {
        int best = 0;
        float bestScore = 0;
        for (int first = 0; first < count_; first += kLanes) {
            Oct low = {}, high = {};
            for (int k = 0; k < parts_; ++k) {
                Oct wl, wh;
                const float* w = &weight_[size_t(k) * size_t(padded_) + size_t(first)];
                std::memcpy(&wl, w, sizeof wl);
                std::memcpy(&wh, w + 8, sizeof wh);
                low += dark[k] * wl;
                high += dark[k] * wh;
            }
            float dot[kLanes];
            std::memcpy(dot, &low, sizeof low);
            std::memcpy(dot + 8, &high, sizeof high);
            for (int e = first; e < std::min(count_, first + kLanes); ++e) {
                const float score =
                    constant_[size_t(e)] - 2 * (gain * dot[e - first] + offset * sum_[size_t(e)]);
                if (e == 0 || score < bestScore)
                    best = e, bestScore = score;
            }
        }
        return best;
    }

  private:
    // Which quarter of the cell part k lies in, and how many parts each quarter has.
    int quarter(int k) const {
        return (k / across_ >= down_ / 2 ? 2 : 0) + (k % across_ >= across_ / 2 ? 1 : 0);
    }
    int quarterSize(int q) const {
        const int w = q % 2 ? across_ - across_ / 2 : across_ / 2, h = q / 2 ? down_ - down_ / 2 : down_ / 2;
        return std::max(1, w * h);
    }

    static constexpr int kLanes = 16; // two vectors of eight
    using Oct = float __attribute__((vector_size(8 * sizeof(float))));
    int across_, down_, parts_, count_ = 0, padded_ = 0;
    std::vector<float> constant_, mean_, square_, sum_; // glyph by glyph
    std::vector<float> weight_;                         // part by part, glyph by glyph, padded to whole lanes
};

// Runs work(band, first, last) over `threads` bands of rows, each on its own thread.
template <class Work> void inBands(int rows, int threads, Work work) {
    threads = std::max(1, std::min(threads, rows));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back([&, t] { work(t, rows * t / threads, rows * (t + 1) / threads); });
    work(0, 0, rows / threads);
    for (std::thread& h : helpers)
        h.join();
}

std::vector<uint16_t> chooseByShape(px::View buffer, const SubBlocks& sub, const Table& table,
                                    const std::array<uint8_t, 256>& levels, const Options& options) {
    const ShapeMatch match(table, sub.across, sub.down);
    const int parts = match.parts();
    const size_t blocks = size_t(buffer.width) * size_t(buffer.height);
    // A photograph's blocks are matched on every core; dithering hands each block's error to the next,
    // so it goes block by block.
    const int threads =
        options.dither || blocks < 20000 ? 1 : int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));

    std::array<float, 256> darkOf{};
    for (int b = 0; b < 256; ++b) {
        const double light = 255 * std::pow(levels[size_t(b)] / 255.0, kInkGamma);
        darkOf[size_t(b)] = float(options.inverted ? light : 255 - light);
    }
    // The drawing's range of tone: from the lightest glyph to the darkest.
    double lightest = 255, darkest = 0;
    for (int e = 0; e < match.count(); ++e)
        lightest = std::min(lightest, double(match.mean(e))),
        darkest = std::max(darkest, double(match.mean(e)));
    const double toneScale = std::max(0.0, darkest - lightest) / 255;
    const float gain = float(kContrast);

    // The shape score weighs more than tone, so what a block does not reach is not always small or of either
    // sign; carried on unbounded it would pile up. A quarter of the glyphs' range of ink is carried at most.
    const double carryLimit = std::max(0.0, darkest - lightest) / 4;

    std::vector<uint16_t> chosen(blocks);
    inBands(buffer.height, threads, [&](int, int first, int last) {
        std::vector<float> dark(static_cast<size_t>(parts));
        Diffusion diffusion(buffer.width, options.dither);
        for (int y = first; y < last; ++y, diffusion.nextRow()) {
            const bool forward = diffusion.leftToRight(y);
            for (int i = 0; i < buffer.width; ++i) {
                const int x = forward ? i : buffer.width - 1 - i;
                for (int v = 0; v < sub.down; ++v) {
                    const uint8_t* row = sub.parts.row(y * sub.down + v) + x * sub.across;
                    for (int u = 0; u < sub.across; ++u)
                        dark[size_t(v * sub.across + u)] = darkOf[row[u]];
                }
                const double mean = std::accumulate(dark.begin(), dark.end(), 0.0) / parts;
                // The block's tone on the drawing's scale, its parts' departures from it at the gain.
                const double tone =
                    lightest + toneScale * mean + std::clamp(diffusion.carried(x), -carryLimit, carryLimit);
                const float offset = float(tone - gain * mean);
                const int best = match.best(dark.data(), gain, offset);
                chosen[size_t(y) * size_t(buffer.width) + size_t(x)] = uint16_t(best);
                diffusion.spread(x, y, tone - match.mean(best));
            }
        }
    });
    return chosen;
}

} // namespace

std::optional<Mapping> mappingNamed(std::string_view name) {
    for (size_t i = 0; i < kMappingNames.size(); ++i)
        if (kMappingNames[i] == name)
            return Mapping(i);
    return std::nullopt;
}

std::array<uint8_t, 256> levelsTable(const Levels& levels, const std::array<uint64_t, 256>& histogram) {
    std::array<uint8_t, 256> table{};
    int lo = 0, hi = 255;
    if (levels.automatic) {
        lo = percentile(histogram, 0.01);
        hi = percentile(histogram, 0.99);
        if (hi <= lo)
            lo = 0, hi = 255; // a flat picture has nothing to stretch
    }
    const double contrast = 1 + levels.contrast / 100.0;
    const double gamma = std::clamp(levels.gamma, kMinGamma, kMaxGamma);
    for (int b = 0; b < 256; ++b) {
        double v = std::clamp((b - lo) * 255.0 / (hi - lo), 0.0, 255.0);
        v = (v - 127.5) * contrast + 127.5 + levels.brightness * 255.0 / 100;
        v = 255 * std::pow(std::clamp(v, 0.0, 255.0) / 255, 1 / gamma);
        table[size_t(b)] = clampByte(v);
    }
    return table;
}

std::array<uint8_t, 256> levelsOf(px::View buffer, const Levels& levels) {
    std::array<uint64_t, 256> histogram{};
    for (int y = 0; y < buffer.height; ++y)
        for (int x = 0; x < buffer.width; ++x)
            ++histogram[size_t(mapping::brightness(buffer.row(y)[x]))];
    return levelsTable(levels, histogram);
}

std::pair<int, int> subGrid(double blockWidth, double blockHeight, double cellAspect) {
    // Even counts each way, so that a cell's four quarters are whole parts: up to 4 across, and down as
    // the cell's shape has it, up to 8.
    const int across = std::min(4, int(std::floor(blockWidth))) / 2 * 2;
    const int down =
        std::min({8, int(std::floor(blockHeight)) / 2 * 2, 2 * int(std::lround(across * cellAspect / 2))});
    if (across < 2 || down < 2)
        return {0, 0};
    return {across, down};
}

std::vector<uint16_t> choose(px::View buffer, const SubBlocks& sub, const Table& table,
                             const Options& options) {
    std::vector<uint16_t> chosen(size_t(std::max(0, buffer.width)) * size_t(std::max(0, buffer.height)), 0);
    const int count = int(table.sorted.size());
    if (count == 0 || chosen.empty())
        return chosen;
    const std::array<uint8_t, 256> levels = levelsOf(buffer, options.levels);

    if (options.mapping == Mapping::Position) {
        for (int y = 0; y < buffer.height; ++y)
            for (int x = 0; x < buffer.width; ++x) {
                const int p = mapping::position(count, levels[size_t(mapping::brightness(buffer.row(y)[x]))]);
                chosen[size_t(y) * size_t(buffer.width) + size_t(x)] =
                    uint16_t(options.inverted ? count - p : p - 1);
            }
        return chosen;
    }

    // Parts that do not cover the buffer, or glyphs that are not the table's, leave the ink mapping.
    const bool shape =
        options.mapping == Mapping::Shape && !sub.empty() && table.patterns.size() == size_t(count) &&
        sub.parts.width >= buffer.width * sub.across && sub.parts.height >= buffer.height * sub.down;
    if (shape)
        return chooseByShape(buffer, sub, table, levels, options);
    // The ink mapping: each block's darkness to the nearest ink.
    const std::vector<double> ink = scaledInk(table, true);
    const NearestInk nearest(ink);
    Diffusion diffusion(buffer.width, options.dither);
    for (int y = 0; y < buffer.height; ++y, diffusion.nextRow()) {
        const bool forward = diffusion.leftToRight(y);
        for (int i = 0; i < buffer.width; ++i) {
            const int x = forward ? i : buffer.width - 1 - i;
            const double tone = wantedInk(buffer.row(y)[x], levels, options.inverted) + diffusion.carried(x);
            const int best = nearest(tone);
            chosen[size_t(y) * size_t(buffer.width) + size_t(x)] = uint16_t(best);
            diffusion.spread(x, y, tone - ink[size_t(best)]);
        }
    }
    return chosen;
}

art::Lines lines(px::View buffer, const std::vector<uint16_t>& chosen, const std::vector<char32_t>& sorted) {
    art::Lines out;
    for (int y = 0; y < buffer.height; ++y) {
        std::u32string text(size_t(buffer.width), U' ');
        for (int x = 0; x < buffer.width; ++x)
            text[size_t(x)] = sorted[chosen[size_t(y) * size_t(buffer.width) + size_t(x)]];
        out.text.push_back(std::move(text));
        out.colours.emplace_back(buffer.row(y), buffer.row(y) + buffer.width);
    }
    return out;
}

} // namespace choice
