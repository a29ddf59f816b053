#include "kernel_pictures.h"
#include "kernels/buffer.h"
#include "kernels/gif_blocks.h"
#include "kernels/grid_average.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Averaged as the converter averages a picture decoded smaller than its grid's cells: each picture pixel
// counts for the part of it a block covers, and the sizes chosen so that blocks split pixels on both axes.
TEST(GridAverage, WeightedBlocksCountEverySplitPixelsShare) {
    for (const auto& [width, height, columns, rows] :
         {std::tuple{10, 7, 3, 2}, {7, 10, 2, 3}, {13, 5, 4, 4}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " into " +
                     std::to_string(columns) + "x" + std::to_string(rows));
        std::vector<std::vector<px::Pixel>> picture{size_t(height), std::vector<px::Pixel>(size_t(width))};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture[size_t(y)][size_t(x)] = px::rgb(19 * x, 23 * y, 5 * x + 7 * y);
        GridAverager averager(width, height, columns, rows, false, true);
        std::vector<px::Pixel> out(size_t(columns) * size_t(rows));
        for (int y = 0; y < height; ++y)
            averager.addRow(picture[size_t(y)].data(), [&out, stride = size_t(columns)](int row) {
                return out.data() + size_t(row) * stride;
            });
        // Each block, worked out exactly from the pixels' shares.
        const auto share = [](int pixel, double from, double to) {
            return std::max(0.0, std::min<double>(pixel + 1, to) - std::max<double>(pixel, from));
        };
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < columns; ++i) {
                const double x0 = double(i) * width / columns, x1 = double(i + 1) * width / columns;
                const double y0 = double(j) * height / rows, y1 = double(j + 1) * height / rows;
                double sum[3] = {}, area = 0;
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) {
                        const double a = share(x, x0, x1) * share(y, y0, y1);
                        const px::Pixel p = picture[size_t(y)][size_t(x)];
                        sum[0] += a * px::red(p), sum[1] += a * px::green(p), sum[2] += a * px::blue(p);
                        area += a;
                    }
                const px::Pixel got = out[size_t(j) * size_t(columns) + size_t(i)];
                EXPECT_NEAR(px::red(got), sum[0] / area, 0.51) << i << "," << j;
                EXPECT_NEAR(px::green(got), sum[1] / area, 0.51) << i << "," << j;
                EXPECT_NEAR(px::blue(got), sum[2] / area, 0.51) << i << "," << j;
            }
    }
}

// A grid mirrored left to right: each row's blocks, or a grey grid's bytes, in the other order.
TEST(GridAverage, MirroringReversesBlocksAndGreyParts) {
    px::Image colours(3, 2, 0);
    for (int i = 0; i < 6; ++i)
        colours.pixels[size_t(i)] = px::rgb(i, 0, 0);
    buffer::mirror(colours, true, false);
    EXPECT_EQ(px::red(colours.pixels[0]), 2);
    EXPECT_EQ(px::red(colours.pixels[3]), 5);
    // Six grey parts a row, packed four to a pixel.
    px::Image greys(2, 2, 0);
    const px::GreyView before = px::greyView(greys.view(), 6);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            const_cast<uint8_t*>(before.row(y))[x] = uint8_t(10 * y + x);
    buffer::mirror(greys, true, true, 6);
    const px::GreyView after = px::greyView(greys.view(), 6);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(after.row(y)[x], 10 * (1 - y) + (5 - x)) << x << "," << y;
}

// A GIF's blocks as the converter walks them before decoding: both versions of the format, fed whole or a
// byte at a time, end at their trailer; a byte no GIF has there is refused.
TEST(GifBlocks, BothVersionsEndAtTheirTrailer) {
    using namespace std::string_literals;
    // 1 x 1, a two-colour table, an image of one pixel, the trailer (GIF89a with a graphic control block).
    const std::string screen = "\x01\0\x01\0\x80\0\0"s + "\0\0\0\xff\xff\xff"s;
    const std::string image = "\x2c\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0"s;
    const std::string gif89 = "GIF89a"s + screen + "\x21\xf9\x04\0\0\0\0\0"s + image + "\x3b";
    const std::string gif87 = "GIF87a"s + screen + image + "\x3b";
    for (const std::string& gif : {gif89, gif87}) {
        SCOPED_TRACE(gif.substr(0, 6));
        gif::BlockWalker whole;
        EXPECT_EQ(whole.feed(gif + "after the trailer"), gif::BlockWalker::Verdict::Whole);
        EXPECT_EQ(whole.consumed(), int64_t(gif.size()));
        gif::BlockWalker bytes;
        for (size_t i = 0; i + 1 < gif.size(); ++i)
            ASSERT_EQ(bytes.feed(gif.substr(i, 1)), gif::BlockWalker::Verdict::More) << i;
        EXPECT_EQ(bytes.feed(gif.substr(gif.size() - 1)), gif::BlockWalker::Verdict::Whole);
        std::string wrong = gif;
        wrong[gif.size() - 1] = '\x99'; // no block starts so
        EXPECT_EQ(gif::BlockWalker().feed(wrong), gif::BlockWalker::Verdict::Invalid);
    }
}

} // namespace
