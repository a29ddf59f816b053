#include "kernels/buffer.h"

#include "kernels/errors.h"
#include "kernels/limits.h"
#include "kernels/rounding.h"
#include "kernels/text_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace buffer {

namespace {

double checkedFactor(double f) {
    if (f == 0)
        err::raise(err::DivisionByZero);
    if (f < 0)
        err::raise(err::InvalidPropertyValue);
    if (rounding::toInt32(f) < limits::kMinFactor) // a fraction of at most one half gives blocks of no width
        err::raise(err::DivisionByZero);
    return f;
}

} // namespace

bool averages(const Factors& factors) {
    return factors.grid() || (factors.scaled && !(factors.h == 1 && factors.v == 1));
}

px::Size outerSize(int ws, int hs, const Factors& factors) {
    double wb = ws, hb = hs;
    if (factors.scaled) {
        const double h = checkedFactor(factors.h);
        const double v = checkedFactor(factors.v);
        if (double(rounding::toInt32(h)) * double(rounding::toInt32(v)) > std::numeric_limits<int32_t>::max())
            err::raise(err::Overflow);
        wb = std::floor(ws / h);
        hb = std::floor(hs / v);
    }
    if (wb > limits::kMaxBufferSide || hb > limits::kMaxBufferSide)
        err::raise(err::Overflow);
    return {int(wb), int(hb)};
}

px::Size drawingArea(int pictureWidth, int pictureHeight, const Factors& factors) {
    if (factors.grid()) {
        if (factors.columns > limits::kMaxBufferSide || factors.rows > limits::kMaxBufferSide)
            err::raise(err::Overflow);
        return {factors.columns, factors.rows};
    }
    const px::Size outer = outerSize(pictureWidth + 4, pictureHeight + 4, factors);
    return {std::max(0, outer.width - 4), std::max(0, outer.height - 4)};
}

BlockSize blockSize(int pictureWidth, int pictureHeight, const Factors& factors) {
    if (factors.grid())
        return {double(factors.coveredWidth > 0 ? factors.coveredWidth : pictureWidth) / factors.columns,
                double(factors.coveredHeight > 0 ? factors.coveredHeight : pictureHeight) / factors.rows};
    if (!averages(factors))
        return {1, 1};
    return {double(rounding::toInt32(factors.h)), double(rounding::toInt32(factors.v))};
}

Factors partsOf(int pictureWidth, int pictureHeight, const Factors& factors, int across, int down) {
    const px::Size area = drawingArea(pictureWidth, pictureHeight, factors);
    Factors parts;
    parts.grey = true;
    parts.columns = std::max(1, area.width) * across;
    parts.rows = std::max(1, area.height) * down;
    if (factors.grid()) {
        parts.coveredWidth = factors.coveredWidth;
        parts.coveredHeight = factors.coveredHeight;
    } else {
        const BlockSize block = blockSize(pictureWidth, pictureHeight, factors);
        parts.coveredWidth = int(std::min<double>(pictureWidth, area.width * block.width));
        parts.coveredHeight = int(std::min<double>(pictureHeight, area.height * block.height));
    }
    return parts;
}

int64_t storageBytes(int pictureWidth, int pictureHeight, const Factors& factors) {
    const px::Size area = drawingArea(pictureWidth, pictureHeight, factors);
    const int64_t width = factors.grid() && factors.grey ? px::greyStorageWidth(area.width) : area.width;
    return width * area.height * int64_t(sizeof(px::Pixel));
}

px::Image coarsen(px::View parts, int across, int down) {
    const int width = across > 0 ? parts.width / across : 0, height = down > 0 ? parts.height / down : 0;
    px::Image out(width, height);
    const unsigned n = unsigned(std::max(1, across * down));
    std::vector<unsigned> sums(size_t(std::max(0, width)) * 3);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int v = 0; v < down; ++v) {
            const px::Pixel* row = parts.row(y * down + v);
            for (int x = 0; x < width; ++x)
                for (int u = 0; u < across; ++u) {
                    const px::Pixel p = row[x * across + u];
                    sums[size_t(3 * x)] += px::red(p);
                    sums[size_t(3 * x + 1)] += px::green(p);
                    sums[size_t(3 * x + 2)] += px::blue(p);
                }
        }
        px::Pixel* to = out.view().row(y);
        for (int x = 0; x < width; ++x)
            to[x] =
                px::rgb(int((sums[size_t(3 * x)] + n / 2) / n), int((sums[size_t(3 * x + 1)] + n / 2) / n),
                        int((sums[size_t(3 * x + 2)] + n / 2) / n));
    }
    return out;
}

px::Image resample(px::View picture, int width, int height) {
    px::Image out(std::max(0, width), std::max(0, height));
    if (picture.width <= 0 || picture.height <= 0)
        return out;
    // Where a sample falls between pixels, each way: the pixel before it and the next one's share.
    struct Tap {
        int at;
        double share;
    };
    const auto taps = [](int samples, int pixels) {
        std::vector<Tap> t(size_t(std::max(0, samples)));
        for (int i = 0; i < samples; ++i) {
            const double x = std::clamp((i + 0.5) * pixels / samples - 0.5, 0.0, double(pixels - 1));
            const int at = std::min(int(x), pixels - 1);
            t[size_t(i)] = {at, x - at};
        }
        return t;
    };
    const std::vector<Tap> across = taps(width, picture.width), down = taps(height, picture.height);
    const int lastColumn = picture.width - 1, lastRow = picture.height - 1;
    for (int y = 0; y < height; ++y) {
        const Tap r = down[size_t(y)];
        const px::Pixel* top = picture.row(r.at);
        const px::Pixel* bottom = picture.row(std::min(r.at + 1, lastRow));
        px::Pixel* to = out.view().row(y);
        for (int x = 0; x < width; ++x) {
            const Tap c = across[size_t(x)];
            const int right = std::min(c.at + 1, lastColumn);
            const px::Pixel p[4] = {top[c.at], top[right], bottom[c.at], bottom[right]};
            const double w[4] = {(1 - c.share) * (1 - r.share), c.share * (1 - r.share),
                                 (1 - c.share) * r.share, c.share * r.share};
            double rgb[3] = {0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                rgb[0] += w[k] * px::red(p[k]);
                rgb[1] += w[k] * px::green(p[k]);
                rgb[2] += w[k] * px::blue(p[k]);
            }
            to[x] = px::rgb(int(std::lround(rgb[0])), int(std::lround(rgb[1])), int(std::lround(rgb[2])));
        }
    }
    return out;
}

px::Image greyStorage(px::View colours) {
    px::Image out(px::greyStorageWidth(colours.width), colours.height, 0);
    for (int y = 0; y < colours.height; ++y) {
        auto* to = reinterpret_cast<uint8_t*>(out.view().row(y));
        const px::Pixel* from = colours.row(y);
        for (int x = 0; x < colours.width; ++x)
            to[x] = uint8_t(mapping::brightness(from[x]));
    }
    return out;
}

void mirror(px::Image& grid, bool leftRight, bool topBottom, int greyWidth) {
    const px::MutableView v = grid.view();
    if (leftRight)
        for (int y = 0; y < v.height; ++y) {
            if (greyWidth > 0) {
                auto* bytes = reinterpret_cast<uint8_t*>(v.row(y));
                std::reverse(bytes, bytes + greyWidth);
            } else {
                std::reverse(v.row(y), v.row(y) + v.width);
            }
        }
    if (topBottom)
        for (int y = 0; y < v.height / 2; ++y)
            std::swap_ranges(v.row(y), v.row(y) + v.width, v.row(v.height - 1 - y));
}

Builder::Builder(const Factors& factors) : factors_(factors) {}

Builder::~Builder() = default;

px::Size Builder::start(int pictureWidth, int pictureHeight, bool decodedSmaller) {
    const px::Size area = drawingArea(pictureWidth, pictureHeight, factors_);
    pictureWidth_ = pictureWidth;
    averager_.reset();
    grid_.reset();
    if (factors_.grid()) {
        const int w =
            factors_.coveredWidth > 0 ? std::min(factors_.coveredWidth, pictureWidth) : pictureWidth;
        const int h =
            factors_.coveredHeight > 0 ? std::min(factors_.coveredHeight, pictureHeight) : pictureHeight;
        grid_ = std::make_unique<GridAverager>(w, h, area.width, area.height, factors_.grey,
                                               decodedSmaller || factors_.weighted);
    } else if (averages(factors_))
        averager_ = std::make_unique<BlockAverager>(pictureWidth, rounding::toInt32(factors_.h),
                                                    rounding::toInt32(factors_.v), area.width, area.height);
    scratch_.assign(size_t(std::max(1, pictureWidth)), 0);
    done_.assign(size_t(std::max(0, area.width)) + 1, kBackground);
    if (grid_ && factors_.grey)
        return {px::greyStorageWidth(area.width), area.height};
    return area;
}

void Builder::attach(px::MutableView storage) {
    out_ = storage;
}

px::Pixel* Builder::rowTarget(int y) {
    // A copied picture row lands straight in the buffer; rows below it, or averaged ones, in scratch.
    if (copies() && y < out_.height && pictureWidth_ <= out_.width)
        return out_.row(y);
    return scratch_.data();
}

void Builder::rowReady(int y) {
    if (grid_) {
        grid_->addRow(scratch_.data(), [this](int row) { return out_.row(row); });
        return;
    }
    if (!averager_) {
        if (y < out_.height && rowTarget(y) == scratch_.data())
            std::memcpy(out_.row(y), scratch_.data(), sizeof(px::Pixel) * size_t(out_.width));
        return;
    }
    const int done = averager_->addRow(scratch_.data(), done_.data());
    if (done >= 0)
        std::copy_n(done_.data(), averager_->storedBlocks(), out_.row(done));
}

void Builder::addRow(int y, const px::Pixel* row) {
    if (grid_) {
        grid_->addRow(row, [this](int r) { return out_.row(r); });
        return;
    }
    if (!averager_) {
        if (y < out_.height)
            std::memcpy(out_.row(y), row, sizeof(px::Pixel) * size_t(std::min(out_.width, pictureWidth_)));
        return;
    }
    const int done = averager_->addRow(row, done_.data());
    if (done >= 0)
        std::copy_n(done_.data(), averager_->storedBlocks(), out_.row(done));
}

} // namespace buffer
