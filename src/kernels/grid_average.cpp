#include "kernels/grid_average.h"

#include <algorithm>

namespace {

// For a grid of `count` blocks over `size` pixels (count <= size): the first block each pixel falls in, and
// the part of the pixel it covers in 256ths (the next block takes the rest); and each block's size in
// 256ths.
void overlaps(int size, int count, std::vector<uint32_t>& first, std::vector<uint32_t>& weight,
              std::vector<uint64_t>& blockSize) {
    first.resize(size_t(size));
    weight.resize(size_t(size));
    blockSize.assign(size_t(count), 0);
    for (int x = 0; x < size; ++x) {
        const int64_t c = int64_t(x) * count / size;
        // The block's end, (c + 1) size / count, less x, in pixels: how much of this pixel it holds.
        const int64_t inside =
            c + 1 >= count ? 256
                           : std::min<int64_t>(256, ((c + 1) * size - int64_t(x) * count) * 256 / count);
        first[size_t(x)] = uint32_t(c);
        weight[size_t(x)] = uint32_t(inside);
        blockSize[size_t(c)] += uint64_t(inside);
        if (inside < 256)
            blockSize[size_t(c + 1)] += uint64_t(256 - inside);
    }
}

// Where each of `count` blocks over `size` pixels starts and ends.
void spans(int size, int count, std::vector<int>& start, std::vector<int>& end) {
    start.resize(size_t(count));
    end.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        start[size_t(i)] = int(int64_t(i) * size / count);
        end[size_t(i)] = std::max(int(int64_t(i + 1) * size / count), start[size_t(i)] + 1);
    }
}

} // namespace

GridAverager::GridAverager(int srcWidth, int srcHeight, int columns, int rows, bool grey, bool weighted)
    : srcWidth_(std::max(1, srcWidth)), srcHeight_(std::max(1, srcHeight)), columns_(std::max(1, columns)),
      rows_(std::max(1, rows)), grey_(grey) {
    spans(srcWidth_, columns_, columnStart_, columnEnd_);
    spans(srcHeight_, rows_, rowStart_, rowEnd_);
    const uint32_t sumsPerBlock = grey_ ? 1 : 3;
    sums_.assign(size_t(columns_) * sumsPerBlock, 0);
    weighted_ = weighted && columns_ <= srcWidth_ && rows_ <= srcHeight_;
    if (weighted_) {
        overlaps(srcWidth_, columns_, firstColumn_, firstColumnWeight_, columnWeight_);
        overlaps(srcHeight_, rows_, firstRow_, firstRowWeight_, rowWeight_);
        rowSums_.assign(sums_.size(), 0);
        nextSums_.assign(sums_.size(), 0);
        for (uint64_t w : columnWeight_)
            columnInverse_.push_back(1.0 / double(w));
        for (uint64_t h : rowWeight_)
            rowInverse_.push_back(1.0 / double(h));
        return;
    }
    for (int i = 0; i < columns_; ++i)
        columnInverse_.push_back(1.0 / double(columnEnd_[size_t(i)] - columnStart_[size_t(i)]));
    // Where every pixel falls in a block of its own, one pass over the row with the block looked up is
    // fastest; a grid finer than the picture repeats pixels and is summed block by block.
    if (columns_ <= srcWidth_) {
        cellOf_.resize(size_t(srcWidth_));
        for (int i = 0; i < columns_; ++i)
            std::fill(cellOf_.begin() + columnStart_[size_t(i)], cellOf_.begin() + columnEnd_[size_t(i)],
                      uint32_t(sumsPerBlock * uint32_t(i)));
    }
}

void GridAverager::accumulate(const px::Pixel* row) {
    ++rowsSeen_;
    uint64_t* s = sums_.data();
    if (grey_) {
        const auto channels = [](px::Pixel p) { return (p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF); };
        if (!cellOf_.empty()) {
            const uint32_t* cell = cellOf_.data();
            for (int x = 0; x < srcWidth_; ++x)
                s[cell[x]] += channels(row[x]);
            return;
        }
        for (int i = 0; i < columns_; ++i) {
            uint64_t sum = 0;
            for (int x = columnStart_[size_t(i)]; x < columnEnd_[size_t(i)]; ++x)
                sum += channels(row[x]);
            s[i] += sum;
        }
        return;
    }
    if (!cellOf_.empty()) {
        const uint32_t* cell = cellOf_.data();
        for (int x = 0; x < srcWidth_; ++x) {
            const px::Pixel p = row[x];
            uint64_t* c = s + cell[x];
            c[0] += p & 0xFF;
            c[1] += (p >> 8) & 0xFF;
            c[2] += (p >> 16) & 0xFF;
        }
        return;
    }
    for (int i = 0; i < columns_; ++i, s += 3) {
        uint64_t b = 0, g = 0, r = 0;
        for (int x = columnStart_[size_t(i)]; x < columnEnd_[size_t(i)]; ++x) {
            const px::Pixel p = row[x];
            b += p & 0xFF;
            g += (p >> 8) & 0xFF;
            r += (p >> 16) & 0xFF;
        }
        s[0] += b;
        s[1] += g;
        s[2] += r;
    }
}

void GridAverager::accumulateWeighted(const px::Pixel* row) {
    const int y = rowsSeen_++;
    const size_t channels = grey_ ? 1 : 3;
    std::fill(rowSums_.begin(), rowSums_.end(), 0);
    uint64_t* r = rowSums_.data();
    const size_t lastColumn = size_t(columns_ - 1);
    for (int x = 0; x < srcWidth_; ++x) {
        const px::Pixel p = row[x];
        const uint64_t w = firstColumnWeight_[size_t(x)], rest = 256 - w;
        const size_t c = firstColumn_[size_t(x)];
        const uint64_t v[3] = {p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF};
        if (grey_) {
            const uint64_t sum = v[0] + v[1] + v[2];
            r[c] += sum * w;
            if (rest && c < lastColumn)
                r[c + 1] += sum * rest;
            continue;
        }
        for (size_t k = 0; k < 3; ++k) {
            r[c * channels + k] += v[k] * w;
            if (rest && c < lastColumn)
                r[(c + 1) * channels + k] += v[k] * rest;
        }
    }
    const uint64_t w = firstRowWeight_[size_t(y)], rest = 256 - w;
    for (size_t i = 0; i < rowSums_.size(); ++i) {
        sums_[i] += rowSums_[i] * w;
        nextSums_[i] += rowSums_[i] * rest;
    }
}

void GridAverager::finishWeighted(px::Pixel* out) {
    const double rowInverse = rowInverse_[size_t(next_)];
    if (grey_) {
        uint8_t* bytes = reinterpret_cast<uint8_t*>(out);
        for (int i = 0; i < columns_; ++i) {
            const double inverse = columnInverse_[size_t(i)] * rowInverse / 3;
            bytes[i] = uint8_t(std::min(255.0, double(sums_[size_t(i)]) * inverse + 0.5));
        }
    } else {
        for (int i = 0; i < columns_; ++i) {
            const double inverse = columnInverse_[size_t(i)] * rowInverse;
            const uint64_t* s = &sums_[size_t(3 * i)];
            out[i] = px::rgb(int(double(s[2]) * inverse + 0.5), int(double(s[1]) * inverse + 0.5),
                             int(double(s[0]) * inverse + 0.5));
        }
    }
    sums_.swap(nextSums_);
    std::fill(nextSums_.begin(), nextSums_.end(), 0);
}

void GridAverager::finish(px::Pixel* out, bool empty) {
    const uint64_t height = uint64_t(rowEnd_[size_t(next_)] - rowStart_[size_t(next_)]);
    const double rowInverse = 1.0 / double(height);
    uint64_t* s = sums_.data();
    if (grey_) {
        uint8_t* bytes = reinterpret_cast<uint8_t*>(out);
        for (int i = 0; i < columns_; ++i) {
            const double inverse = columnInverse_[size_t(i)] * rowInverse / 3;
            bytes[i] = uint8_t(std::min(255.0, double(s[i]) * inverse + 0.5));
            if (empty)
                s[i] = 0;
        }
        return;
    }
    for (int i = 0; i < columns_; ++i, s += 3) {
        const double inverse = columnInverse_[size_t(i)] * rowInverse;
        out[i] = px::rgb(int(double(s[2]) * inverse + 0.5), int(double(s[1]) * inverse + 0.5),
                         int(double(s[0]) * inverse + 0.5));
        if (empty)
            s[0] = s[1] = s[2] = 0;
    }
}
