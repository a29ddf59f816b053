#pragma once

#include "kernels/pixels.h"

#include <cstdint>
#include <vector>

// Reduces a picture to exactly columns x rows blocks that cover all of it, every edge included: the
// converter's own sizing, where the desktop program's factors would leave blocks out. Block i of a row
// spans picture columns floor(i w / columns) up to floor((i + 1) w / columns), at least one column (a grid
// finer than the picture repeats its pixels), and rows alike; weighted, it spans the picture from
// i w / columns to (i + 1) w / columns exactly, each pixel counting for the part of it the block covers. Each
// block is the average colour of what it covers, each channel rounded to the nearest value (an exact half to
// the even one, unweighted).
class GridAverager {
  public:
    // The grid covers the picture's top-left srcWidth x srcHeight pixels; rows are fed whole, pixels and
    // rows beyond the covered part are passed over.
    // `grey`: each block's brightness, the mean of its three channels within one level, as one byte, the
    // bytes of a row packed into its pixels (px::greyView).
    // `weighted`: each pixel counts for the part of it a block covers (see below).
    GridAverager(int srcWidth, int srcHeight, int columns, int rows, bool grey = false,
                 bool weighted = false);

    // Feeds the next picture row (srcWidth pixels). Writes every buffer row this row completes to
    // out(row) and returns how many it completed; out receives rows in order.
    template <class Out> int addRow(const px::Pixel* row, Out&& out) {
        if (rowsSeen_ >= srcHeight_)
            return 0;
        int done = 0;
        if (weighted_) {
            accumulateWeighted(row);
            // A block is whole once the rows seen reach its lower edge, which may lie inside a row.
            while (next_ < rows_ && int64_t(rowsSeen_) * rows_ >= int64_t(next_ + 1) * srcHeight_) {
                finishWeighted(out(next_));
                ++next_;
                ++done;
            }
            return done;
        }
        accumulate(row);
        while (next_ < rows_ && rowEnd_[size_t(next_)] == rowsSeen_) {
            // The sums are emptied as the last row made of them is written.
            const bool last = next_ + 1 == rows_ || rowEnd_[size_t(next_ + 1)] != rowsSeen_;
            finish(out(next_), last);
            ++next_;
            ++done;
        }
        return done;
    }

  private:
    void accumulate(const px::Pixel* row);
    void finish(px::Pixel* out, bool empty);
    void accumulateWeighted(const px::Pixel* row);
    void finishWeighted(px::Pixel* out);

    int srcWidth_, srcHeight_, columns_, rows_;
    bool grey_;
    int rowsSeen_ = 0, next_ = 0;
    std::vector<int> columnStart_, columnEnd_, rowStart_, rowEnd_;
    std::vector<uint32_t> cellOf_; // for a grid no finer than the picture: each covered pixel's block
    std::vector<uint64_t> sums_;   // blue, green, red (or their sum) for each block of the row in progress
    std::vector<double> columnInverse_, rowInverse_; // 1 / each block's width (and weighted height)
    // Weighted, for a picture decoded at a fraction of its size, whose pixels are few to a block: a block
    // covers the same part of it as at its whole size, not the whole pixels nearest that. A pixel straddles
    // at most two blocks each way: the first, with its weight (in 256ths), and the next with the rest.
    bool weighted_ = false;
    std::vector<uint32_t> firstColumn_, firstRow_;
    std::vector<uint32_t> firstColumnWeight_, firstRowWeight_;
    std::vector<uint64_t> columnWeight_, rowWeight_; // each block's width and height, in 256ths of pixels
    std::vector<uint64_t> rowSums_, nextSums_;       // the row being added up; the next block row's share
};
