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

inline uint32_t roundedQuotient(uint64_t sum, uint64_t count) {
    uint64_t q = sum / count;
    const uint64_t twiceRest = 2 * (sum % count);
    if (twiceRest > count || (twiceRest == count && (q & 1)))
        ++q;
    return uint32_t(q);
}

} // namespace

GridAverager::GridAverager(int srcWidth, int srcHeight, int columns, int rows)
    : srcWidth_(std::max(1, srcWidth)), srcHeight_(std::max(1, srcHeight)), columns_(std::max(1, columns)),
      rows_(std::max(1, rows)) {
    spans(srcWidth_, columns_, columnStart_, columnEnd_);
    spans(srcHeight_, rows_, rowStart_, rowEnd_);
    sums_.assign(size_t(columns_) * 3, 0);
}

void GridAverager::accumulate(const px::Pixel* row) {
    ++rowsSeen_;
    uint64_t* s = sums_.data();
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

void GridAverager::finish(px::Pixel* out) const {
    const uint64_t height = uint64_t(rowEnd_[size_t(next_)] - rowStart_[size_t(next_)]);
    const uint64_t* s = sums_.data();
    for (int i = 0; i < columns_; ++i, s += 3) {
        const uint64_t count = uint64_t(columnEnd_[size_t(i)] - columnStart_[size_t(i)]) * height;
        out[i] = px::rgb(int(roundedQuotient(s[2], count)), int(roundedQuotient(s[1], count)),
                         int(roundedQuotient(s[0], count)));
    }
}
