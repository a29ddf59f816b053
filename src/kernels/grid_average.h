#pragma once

#include "kernels/pixels.h"

#include <cstdint>
#include <vector>

// Reduces a picture to exactly columns x rows blocks that cover all of it, every edge included: the
// converter's own sizing, where the desktop program's factors would leave blocks out. Block i of a row
// spans picture columns floor(i w / columns) up to floor((i + 1) w / columns), at least one column (a grid
// finer than the picture repeats its pixels), and rows alike. Each block is the average colour of its
// pixels, each channel rounded to the nearest value, an exact half to the even one.
class GridAverager {
  public:
    GridAverager(int srcWidth, int srcHeight, int columns, int rows);

    // Feeds the next picture row (srcWidth pixels). Writes every buffer row this row completes to
    // out(row) and returns how many it completed; out receives rows in order.
    template <class Out> int addRow(const px::Pixel* row, Out&& out) {
        accumulate(row);
        int done = 0;
        while (next_ < rows_ && rowEnd_[size_t(next_)] == rowsSeen_) {
            finish(out(next_));
            ++next_;
            ++done;
        }
        if (done > 0)
            std::fill(sums_.begin(), sums_.end(), 0);
        return done;
    }

  private:
    void accumulate(const px::Pixel* row);
    void finish(px::Pixel* out) const;

    int srcWidth_, srcHeight_, columns_, rows_;
    int rowsSeen_ = 0, next_ = 0;
    std::vector<int> columnStart_, columnEnd_, rowStart_, rowEnd_;
    std::vector<uint64_t> sums_; // blue, green, red for each block of the block row in progress
};
