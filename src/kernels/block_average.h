#pragma once

#include "kernels/pixels.h"

#include <cstdint>
#include <functional>
#include <vector>

// Reduces a picture into the buffer: every block of hStep x vStep picture pixels becomes one buffer
// pixel holding the block's average colour, each channel rounded to the nearest value, an exact half
// to the even one. Blocks start afresh every vStep rows; a partial block at the bottom is dropped.
// Picture pixels right of the picture's edge add nothing but still count in the divisor, so a block
// that overhangs the edge comes out darker. Blocks outside the buffer are not stored.
class BlockAverager {
  public:
    // outWidth/outHeight: the buffer's drawing area; may be smaller than the number of blocks.
    BlockAverager(int srcWidth, int hStep, int vStep, int outWidth, int outHeight);

    // Feeds the next picture row (srcWidth pixels). Returns the buffer row that this row completed
    // (its first storedBlocks() pixels written to `out`), or -1 when no stored row completed.
    int addRow(const px::Pixel* row, px::Pixel* out);

    int rowsSeen() const { return rowsSeen_; }
    // Blocks that are both in the picture and inside the buffer: the pixels of a completed row.
    int storedBlocks() const { return blocks_; }

  private:
    int srcWidth_, hStep_, vStep_, outWidth_, outHeight_;
    int blocks_;
    int rowsInBlock_ = 0;
    int rowsSeen_ = 0;
    uint64_t area_;
    std::vector<uint64_t> sums_;    // blue, green, red for each stored block
    std::vector<uint16_t> columns_; // the block row's sums so far, per byte of the stored columns
};

// Averages a whole picture into `buffer` (its size is the drawing area); buffer pixels that no stored
// block reaches keep what they held. `rowDone(y)` runs after every picture row.
void averageBlocks(px::View picture, int hStep, int vStep, px::MutableView buffer,
                   const std::function<void(int y)>& rowDone = {});
