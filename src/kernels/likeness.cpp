#include "kernels/likeness.h"

#include "kernels/colour_space.h"
#include "kernels/text_art.h"
#include "kernels/text_mapping.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace likeness {

namespace {

double mean(const std::vector<double>& v) {
    return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

double spread(const std::vector<double>& v, double m) {
    double s = 0;
    for (double x : v)
        s += (x - m) * (x - m);
    return v.empty() ? 0 : std::sqrt(s / double(v.size()));
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    const double ma = mean(a), mb = mean(b);
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// SSIM averaged over every 7 x 7 window (smaller for a smaller grid), with the usual constants for greys
// of 0 to 255. Sums over windows come from summed-area tables.
double ssim(const std::vector<double>& x, const std::vector<double>& y, int w, int h) {
    const int win = std::max(1, std::min({7, w, h}));
    const auto table = [&](auto value) {
        std::vector<double> t(size_t(w + 1) * size_t(h + 1), 0);
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                t[size_t(j + 1) * size_t(w + 1) + size_t(i + 1)] =
                    value(size_t(j) * size_t(w) + size_t(i)) + t[size_t(j) * size_t(w + 1) + size_t(i + 1)] +
                    t[size_t(j + 1) * size_t(w + 1) + size_t(i)] - t[size_t(j) * size_t(w + 1) + size_t(i)];
        return t;
    };
    const auto sx = table([&](size_t k) { return x[k]; }), sy = table([&](size_t k) { return y[k]; });
    const auto sxx = table([&](size_t k) { return x[k] * x[k]; }),
               syy = table([&](size_t k) { return y[k] * y[k]; });
    const auto sxy = table([&](size_t k) { return x[k] * y[k]; });
    const auto box = [&](const std::vector<double>& t, int i, int j) {
        const size_t stride = size_t(w + 1);
        return t[size_t(j + win) * stride + size_t(i + win)] - t[size_t(j) * stride + size_t(i + win)] -
               t[size_t(j + win) * stride + size_t(i)] + t[size_t(j) * stride + size_t(i)];
    };
    const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255), n = double(win * win);
    double total = 0;
    int windows = 0;
    for (int j = 0; j + win <= h; ++j)
        for (int i = 0; i + win <= w; ++i) {
            const double mx = box(sx, i, j) / n, my = box(sy, i, j) / n;
            const double vx = box(sxx, i, j) / n - mx * mx, vy = box(syy, i, j) / n - my * my;
            const double cxy = box(sxy, i, j) / n - mx * my;
            total += ((2 * mx * my + c1) * (2 * cxy + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2));
            ++windows;
        }
    return windows ? total / windows : 0;
}

} // namespace

Score measure(const std::vector<double>& picture, const std::vector<double>& drawing, int columns, int rows) {
    const int w = 2 * columns, h = 2 * rows;
    if (columns <= 0 || rows <= 0 || picture.size() != size_t(w) * size_t(h) ||
        drawing.size() != picture.size())
        return {};
    // The drawing in the picture's mean and spread: its structure is what is compared.
    const double pm = mean(picture), ps = spread(picture, pm), dm = mean(drawing), ds = spread(drawing, dm);
    std::vector<double> matched(drawing.size());
    for (size_t k = 0; k < drawing.size(); ++k)
        matched[k] = ds > 0 ? (drawing[k] - dm) / ds * ps + pm : pm;
    // Each cell's mean grey, in the drawing and in the picture.
    std::vector<double> pc(size_t(columns) * size_t(rows)), dc(pc.size());
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            double p = 0, d = 0;
            for (int v = 0; v < 2; ++v)
                for (int u = 0; u < 2; ++u) {
                    const size_t k = size_t(2 * j + v) * size_t(w) + size_t(2 * i + u);
                    p += picture[k];
                    d += drawing[k];
                }
            pc[size_t(j) * size_t(columns) + size_t(i)] = p;
            dc[size_t(j) * size_t(columns) + size_t(i)] = d;
        }
    return {ssim(picture, matched, w, h), correlation(pc, dc)};
}

std::vector<double> drawing(const std::vector<uint16_t>& chosen, const std::vector<glyphs::Pattern>& patterns,
                            int columns, int rows, bool lightOnDark) {
    std::vector<glyphs::Pattern> small;
    for (const glyphs::Pattern& p : patterns)
        small.push_back(p.empty() ? glyphs::Pattern{2, 2, {0, 0, 0, 0}} : glyphs::reduce(p, 2, 2));
    const int w = 2 * columns;
    std::vector<double> out(size_t(w) * size_t(2 * rows), lightOnDark ? 0 : 255);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const size_t e = chosen[size_t(j) * size_t(columns) + size_t(i)];
            if (e >= small.size())
                continue;
            for (int v = 0; v < 2; ++v)
                for (int u = 0; u < 2; ++u) {
                    const int ink = small[e].at(u, v);
                    out[size_t(2 * j + v) * size_t(w) + size_t(2 * i + u)] = lightOnDark ? ink : 255 - ink;
                }
        }
    return out;
}

double colourDifference(px::View blocks, const std::vector<px::Pixel>& cells) {
    double sum = 0;
    size_t n = 0;
    for (int y = 0; y < blocks.height; ++y)
        for (int x = 0; x < blocks.width; ++x, ++n)
            if (n < cells.size())
                sum += colours::ciede2000(blocks.row(y)[x], cells[n]);
    return n ? sum / double(n) : 0;
}

ColourDrawing colourDrawing(const std::vector<uint16_t>& chosen, const std::vector<glyphs::Pattern>& patterns,
                            const std::vector<px::Pixel>& foreground,
                            const std::vector<px::Pixel>& background, px::Pixel page, int columns, int rows) {
    std::vector<glyphs::Pattern> small;
    for (const glyphs::Pattern& p : patterns)
        small.push_back(p.empty() ? glyphs::Pattern{2, 2, {0, 0, 0, 0}} : glyphs::reduce(p, 2, 2));
    const int w = 2 * columns;
    ColourDrawing out;
    out.greys.assign(size_t(w) * size_t(2 * rows), 0);
    out.cells.assign(size_t(columns) * size_t(rows), page);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const size_t cell = size_t(j) * size_t(columns) + size_t(i);
            const size_t e = cell < chosen.size() ? chosen[cell] : small.size();
            const px::Pixel fore = foreground[cell] == art::kKeepColour ? page : foreground[cell];
            const px::Pixel back = background[cell] == art::kKeepColour ? page : background[cell];
            double mean[3] = {};
            for (int v = 0; v < 2; ++v)
                for (int u = 0; u < 2; ++u) {
                    const double a = e < small.size() ? small[e].at(u, v) / 255.0 : 0;
                    const double rgb[3] = {a * px::red(fore) + (1 - a) * px::red(back),
                                           a * px::green(fore) + (1 - a) * px::green(back),
                                           a * px::blue(fore) + (1 - a) * px::blue(back)};
                    out.greys[size_t(2 * j + v) * size_t(w) + size_t(2 * i + u)] =
                        (rgb[0] + rgb[1] + rgb[2]) / 3;
                    for (int c = 0; c < 3; ++c)
                        mean[c] += rgb[c] / 4;
                }
            out.cells[cell] =
                px::rgb(int(std::lround(mean[0])), int(std::lround(mean[1])), int(std::lround(mean[2])));
        }
    return out;
}

TextLikeness ofText(px::GreyView parts, px::View blocks, const std::vector<uint16_t>& chosen,
                    const std::vector<glyphs::Pattern>& patterns, bool lightOnDark, bool colours,
                    const std::vector<px::Pixel>& foreground, const std::vector<px::Pixel>& background) {
    const int columns = blocks.width, rows = blocks.height;
    if (!colours)
        return {measure(greys(parts), drawing(chosen, patterns, columns, rows, lightOnDark), columns, rows),
                {}};
    // One colour a cell stands on the page the polarity says.
    const px::Pixel page = lightOnDark ? px::rgb(0, 0, 0) : px::rgb(255, 255, 255);
    std::vector<px::Pixel> fore = foreground, back = background;
    if (fore.empty()) {
        for (int y = 0; y < rows; ++y)
            fore.insert(fore.end(), blocks.row(y), blocks.row(y) + columns);
        back.assign(fore.size(), page);
    }
    const ColourDrawing d = colourDrawing(chosen, patterns, fore, back, page, columns, rows);
    return {measure(greys(parts), d.greys, columns, rows), colourDifference(blocks, d.cells)};
}

std::vector<double> greys(px::View parts) {
    std::vector<double> out;
    out.reserve(size_t(std::max(0, parts.width)) * size_t(std::max(0, parts.height)));
    for (int y = 0; y < parts.height; ++y)
        for (int x = 0; x < parts.width; ++x)
            out.push_back(mapping::brightness(parts.row(y)[x]));
    return out;
}

std::vector<double> greys(px::GreyView parts) {
    std::vector<double> out;
    out.reserve(size_t(std::max(0, parts.width)) * size_t(std::max(0, parts.height)));
    for (int y = 0; y < parts.height; ++y)
        out.insert(out.end(), parts.row(y), parts.row(y) + parts.width);
    return out;
}

} // namespace likeness
