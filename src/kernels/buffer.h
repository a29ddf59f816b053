#pragma once

#include "kernels/block_average.h"
#include "kernels/grid_average.h"
#include "kernels/pixels.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The buffer: one pixel for every character of the result. Its size comes from the picture box's
// outer size (the picture plus a 2-pixel border on each side) and the factors, and it is filled from the
// picture's rows in order: copied, or averaged block by block. Both programs build it here.
namespace buffer {

struct Factors {
    bool scaled = false; // off, or both factors exactly 1: the picture is the buffer
    double h = 1;        // picture pixels per character, horizontally
    double v = 1;        // and vertically
    // The converter's own sizing instead of the factors: exactly so many characters a line and lines,
    // their blocks covering the whole picture (grid_average.h). 0: the factors' arithmetic.
    int columns = 0;
    int rows = 0;
    // A grid over only the picture's top-left part of this size (0: all of it): the blocks of a factor
    // sizing split into parts.
    int coveredWidth = 0;
    int coveredHeight = 0;
    // A grid's blocks as their brightness only, one byte each (px::GreyView), rounded to within one level:
    // the parts of blocks, where only the mappings look, in a quarter of the memory.
    bool grey = false;
    // A grid's blocks of a few pixels each, each pixel counting for the part of it a block covers (as for a
    // picture decoded smaller), rather than the whole pixels nearest: the colour fit's parts keep their
    // edges where the picture's are.
    bool weighted = false;
    bool grid() const { return columns > 0 && rows > 0; }
};

// True when the factors ask for averaging rather than a copy.
bool averages(const Factors& factors);

// The buffer's outer size for a picture box of outer size ws x hs: Int(ws / h) by Int(hs / v) with
// scaling on. Raises 11 for a factor of 0 or one that rounds to 0, 380 for a negative factor, 6 when
// blocks or the buffer are too large.
px::Size outerSize(int ws, int hs, const Factors& factors);

// The buffer's drawing area (its outer size less the border) for a picture of this size; a grid's size.
px::Size drawingArea(int pictureWidth, int pictureHeight, const Factors& factors);

// The picture pixels one block of the buffer covers, each way (fractions for a grid).
struct BlockSize {
    double width = 1, height = 1;
};
BlockSize blockSize(int pictureWidth, int pictureHeight, const Factors& factors);

// A grid of `across` x `down` parts for every block of a sizing, over just the part of the picture the
// blocks cover: the sub-blocks of the shape mapping, the likeness score's cells.
Factors partsOf(int pictureWidth, int pictureHeight, const Factors& factors, int across, int down);

// The bytes of storage a buffer of these factors takes for a picture of this size (what Builder::start
// asks for).
int64_t storageBytes(int pictureWidth, int pictureHeight, const Factors& factors);

// A buffer to fill: its factors, and the room for it once the picture's size is known (the size
// Builder::start gives), filled with the background where no block will land.
struct Target {
    Factors factors;
    std::function<px::MutableView(px::Size area)> storage;
};

// Each across x down group of a grid's parts averaged into one pixel (each channel rounded to the nearest):
// a coarser grid of the same picture (its blocks, or coarser parts) from a finer one, with no second pass
// over the picture.
px::Image coarsen(px::View parts, int across, int down);
// The picture sampled at the centres of a grid of width x height cells over it, each sample from the four
// pixels nearest (bilinear, edges repeated): parts finer than the picture's pixels as a picture scaled up
// smoothly shows them, where averaging the pixels they cover would make each pixel a square.
px::Image resample(px::View picture, int width, int height);
// The brightness of every pixel, as the storage of a grey grid of the same size (px::greyView).
px::Image greyStorage(px::View colours);

// Mirrors a grid left to right, top to bottom, or both: the picture mirrored, as its blocks or parts see it.
// `greyWidth`: for a grey grid (px::greyView's storage), its width in bytes; 0 for pixels.
void mirror(px::Image& grid, bool leftRight, bool topBottom, int greyWidth = 0);

// Where no block lands, the buffer keeps the picture box's background, pure red.
constexpr px::Pixel kBackground = px::fromBgr(255);

// Fills a buffer from picture rows, top to bottom.
class Builder {
  public:
    explicit Builder(const Factors& factors);
    ~Builder();

    // The picture's size: returns the buffer's drawing area (outer size less the border), for which the
    // caller provides storage through attach(); for grey factors, the pixels that hold its bytes (a quarter
    // of its width). Raises outerSize's errors.
    // `decodedSmaller`: the rows come from a picture decoded at a fraction of its size (a JPEG's scaling),
    // and a grid weighs its few pixels a block by how much of each it covers.
    px::Size start(int pictureWidth, int pictureHeight, bool decodedSmaller = false);
    // Pixels of the drawing area's size; the builder writes only where blocks (or copied rows) land.
    void attach(px::MutableView storage);

    bool copies() const { return !averager_ && !grid_; }
    // Room for picture row y: the buffer's own row when it is copied there, else a scratch row.
    px::Pixel* rowTarget(int y);
    // Row y has been written to rowTarget(y).
    void rowReady(int y);
    // For a picture already in memory: copies or averages row y.
    void addRow(int y, const px::Pixel* row);

  private:
    Factors factors_;
    px::MutableView out_;
    int pictureWidth_ = 0;
    std::vector<px::Pixel> scratch_, done_;
    std::unique_ptr<BlockAverager> averager_;
    std::unique_ptr<GridAverager> grid_;
};

} // namespace buffer
