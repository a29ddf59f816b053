#include "kernels/grid_average.h"

#include <algorithm>

namespace {

// Where each of `count` blocks over `size` pixels starts and ends.
void spans(int size, int count, std::vector<int>& start, std::vector<int>& end) {
    start.resize(size_t(count));
    end.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        start[size_t(i)] = int(int64_t(i) * size / count);
        end[size_t(i)] = std::max(int(int64_t(i + 1) * size / count), start[size_t(i)] + 1);
    }
}

// sum / count to the nearest whole number, an exact half to the even one. The quotient comes from a
// multiplication by the block's inverse, corrected to the exact one: a division for every block of a large
// picture's grid costs more than all the summing.
inline uint32_t roundedQuotient(uint64_t sum, uint64_t count, double inverse) {
    uint64_t q = uint64_t(double(sum) * inverse);
    while (q * count > sum)
        --q;
    while ((q + 1) * count <= sum)
        ++q;
    const uint64_t rest = sum - q * count;
    const uint64_t twiceRest = 2 * rest;
    if (twiceRest > count || (twiceRest == count && (q & 1)))
        ++q;
    return uint32_t(q);
}

} // namespace

GridAverager::GridAverager(int srcWidth, int srcHeight, int columns, int rows, bool grey)
    : srcWidth_(std::max(1, srcWidth)), srcHeight_(std::max(1, srcHeight)), columns_(std::max(1, columns)),
      rows_(std::max(1, rows)), grey_(grey) {
    spans(srcWidth_, columns_, columnStart_, columnEnd_);
    spans(srcHeight_, rows_, rowStart_, rowEnd_);
    const uint32_t sumsPerBlock = grey_ ? 1 : 3;
    sums_.assign(size_t(columns_) * sumsPerBlock, 0);
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
        const uint64_t count = uint64_t(columnEnd_[size_t(i)] - columnStart_[size_t(i)]) * height;
        const double inverse = columnInverse_[size_t(i)] * rowInverse;
        out[i] =
            px::rgb(int(roundedQuotient(s[2], count, inverse)), int(roundedQuotient(s[1], count, inverse)),
                    int(roundedQuotient(s[0], count, inverse)));
        if (empty)
            s[0] = s[1] = s[2] = 0;
    }
}
