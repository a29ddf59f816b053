#include "kernels/block_average.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Blocks up to this width sum one row in 32-bit lanes (255 x 2^24 < 2^32).
constexpr int kLaneLimit = 1 << 24;
// Blocks up to this width sum red and blue of one row in 16-bit lanes (255 x 256 < 2^16).
constexpr int kPackedLimit = 256;
// Blocks up to this height sum each column's bytes over the block's rows in 16 bits (255 x 257 < 2^16).
constexpr int kColumnLimit = 257;

inline uint32_t roundedQuotient(uint64_t sum, uint64_t area) {
    uint64_t q, rest;
    if ((sum | area) >> 32 == 0) { // a 32-bit division is several times faster
        q = uint32_t(sum) / uint32_t(area);
        rest = uint32_t(sum) % uint32_t(area);
    } else {
        q = sum / area;
        rest = sum % area;
    }
    const uint64_t twiceRest = 2 * rest;
    if (twiceRest > area || (twiceRest == area && (q & 1)))
        ++q;
    return static_cast<uint32_t>(q);
}

} // namespace

BlockAverager::BlockAverager(int srcWidth, int hStep, int vStep, int outWidth, int outHeight)
    : srcWidth_(std::max(0, srcWidth)), hStep_(std::max(1, hStep)), vStep_(std::max(1, vStep)),
      outWidth_(std::max(0, outWidth)), outHeight_(std::max(0, outHeight)),
      area_(uint64_t(hStep_) * uint64_t(vStep_)) {
    const int64_t inPicture = (int64_t(srcWidth_) + hStep_ - 1) / hStep_;
    blocks_ = static_cast<int>(std::min<int64_t>(inPicture, outWidth_));
    sums_.assign(size_t(blocks_) * 3, 0);
    // Adding whole rows byte by byte into column sums is what a processor does fastest; the blocks are
    // then summed from the columns once a block row is complete. Pixel bytes are B, G, R, A in memory.
    if (vStep_ <= kColumnLimit && std::endian::native == std::endian::little) {
        const int64_t used = std::min<int64_t>(int64_t(blocks_) * hStep_, srcWidth_);
        columns_.assign(size_t(used) * 4, 0);
    }
}

int BlockAverager::addRow(const px::Pixel* row, px::Pixel* out) {
    const int blockRow = rowsSeen_ / vStep_;
    ++rowsSeen_;
    if (blockRow >= outHeight_)
        return -1;
    uint64_t* s = sums_.data();
    if (!columns_.empty()) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(row);
        uint16_t* c = columns_.data();
        const size_t n = columns_.size();
        for (size_t i = 0; i < n; ++i)
            c[i] = uint16_t(c[i] + bytes[i]);
        if (++rowsInBlock_ < vStep_)
            return -1;
        rowsInBlock_ = 0;
        const int used = int(n / 4);
        for (int b = 0; b < blocks_; ++b, s += 3) {
            const int x0 = b * hStep_;
            const int x1 = static_cast<int>(std::min<int64_t>(int64_t(x0) + hStep_, used));
            uint64_t blue = 0, green = 0, red = 0;
            for (int x = x0; x < x1; ++x) {
                blue += c[4 * x];
                green += c[4 * x + 1];
                red += c[4 * x + 2];
            }
            out[b] = px::rgb(int(roundedQuotient(red, area_)), int(roundedQuotient(green, area_)),
                             int(roundedQuotient(blue, area_)));
        }
        std::memset(c, 0, n * sizeof(uint16_t));
        return blockRow;
    }
    if (hStep_ <= kPackedLimit) {
        // Red and blue share one 32-bit sum in 16-bit lanes, which hold a row of up to 256 pixels.
        for (int b = 0; b < blocks_; ++b, s += 3) {
            const int x0 = b * hStep_;
            const int x1 = static_cast<int>(std::min<int64_t>(int64_t(x0) + hStep_, srcWidth_));
            uint32_t redBlue = 0, green = 0;
            for (int x = x0; x < x1; ++x) {
                const px::Pixel p = row[x];
                redBlue += p & 0x00FF00FF;
                green += (p >> 8) & 0xFF;
            }
            s[0] += redBlue & 0xFFFF;
            s[1] += green;
            s[2] += redBlue >> 16;
        }
    } else if (hStep_ <= kLaneLimit) {
        // One row of a block fits 32-bit sums.
        for (int b = 0; b < blocks_; ++b, s += 3) {
            const int x0 = b * hStep_;
            const int x1 = static_cast<int>(std::min<int64_t>(int64_t(x0) + hStep_, srcWidth_));
            uint32_t blue = 0, green = 0, red = 0;
            for (int x = x0; x < x1; ++x) {
                const px::Pixel p = row[x];
                blue += p & 0xFF;
                green += (p >> 8) & 0xFF;
                red += (p >> 16) & 0xFF;
            }
            s[0] += blue;
            s[1] += green;
            s[2] += red;
        }
    } else {
        for (int b = 0; b < blocks_; ++b, s += 3) {
            const int64_t x0 = int64_t(b) * hStep_;
            const int64_t x1 = std::min<int64_t>(x0 + hStep_, srcWidth_);
            for (int64_t x = x0; x < x1; ++x) {
                const px::Pixel p = row[x];
                s[0] += p & 0xFF;
                s[1] += (p >> 8) & 0xFF;
                s[2] += (p >> 16) & 0xFF;
            }
        }
    }
    if (++rowsInBlock_ < vStep_)
        return -1;
    rowsInBlock_ = 0;
    s = sums_.data();
    for (int b = 0; b < blocks_; ++b, s += 3) {
        out[b] = px::rgb(int(roundedQuotient(s[2], area_)), int(roundedQuotient(s[1], area_)),
                         int(roundedQuotient(s[0], area_)));
        s[0] = s[1] = s[2] = 0;
    }
    return blockRow;
}

void averageBlocks(px::View picture, int hStep, int vStep, px::MutableView buffer,
                   const std::function<void(int y)>& rowDone) {
    BlockAverager averager(picture.width, hStep, vStep, buffer.width, buffer.height);
    std::vector<px::Pixel> out(size_t(std::max(0, buffer.width)) + 1);
    for (int y = 0; y < picture.height; ++y) {
        const int done = averager.addRow(picture.row(y), out.data());
        if (done >= 0)
            std::copy_n(out.data(), averager.storedBlocks(), buffer.row(done));
        if (rowDone)
            rowDone(y);
    }
}
