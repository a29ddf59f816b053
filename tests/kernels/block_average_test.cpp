#include "kernel_pictures.h"
#include "kernels/block_average.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

using kpic::at;

px::Image averaged(const px::Image& pic, int h, int v, int outW, int outH,
                   px::Pixel fill = px::rgb(255, 0, 0)) {
    px::Image out(outW, outH, fill);
    averageBlocks(pic.view(), h, v, out.view());
    return out;
}

TEST(BlockAverage, SingleColourBlocksKeepTheirColourExactly) {
    for (px::Pixel c : {px::rgb(255, 0, 0), px::rgb(0, 0, 15), px::rgb(1, 2, 3), px::rgb(255, 255, 255)}) {
        const px::Image out = averaged(kpic::filled(12, 9, c), 3, 3, 4, 3, px::rgb(9, 9, 9));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(at(out, x, y), c) << x << "," << y;
    }
}

TEST(BlockAverage, HalvesRoundToEven) {
    // Each row pair gives one block of two pixels: (0,1) averages 0.5 -> 0, (1,2) 1.5 -> 2, (2,3) 2.5 -> 2.
    const std::tuple<int, int, int> rows[] = {{0, 1, 0}, {1, 2, 2}, {2, 3, 2}, {3, 4, 4}, {254, 255, 254}};
    for (auto [a, b, expected] : rows) {
        px::Image pic(2, 1, 0);
        kpic::set(pic, 0, 0, px::rgb(a, b, a));
        kpic::set(pic, 1, 0, px::rgb(b, a, b));
        const px::Pixel p = at(averaged(pic, 2, 1, 1, 1), 0, 0);
        EXPECT_EQ(px::red(p), expected) << a << "+" << b;
        EXPECT_EQ(px::green(p), expected) << a << "+" << b;
        EXPECT_EQ(px::blue(p), expected) << a << "+" << b;
    }
}

TEST(BlockAverage, BottomRowsThatDoNotFillABlockAreDropped) {
    // Factors 1 and 3 on 100 rows: 33 blocks, row 99 is never used, block 0 is rows 0 to 2.
    px::Image pic(1, 100, 0);
    for (int y = 0; y < 100; ++y)
        kpic::set(pic, 0, y, px::rgb(y, 0, 0));
    const px::Image out = averaged(pic, 1, 3, 1, 34, px::rgb(7, 7, 7));
    EXPECT_EQ(px::red(at(out, 0, 0)), 1);   // (0 + 1 + 2) / 3
    EXPECT_EQ(px::red(at(out, 0, 32)), 97); // rows 96 to 98
    EXPECT_EQ(at(out, 0, 33), px::rgb(7, 7, 7));
}

TEST(BlockAverage, BlocksOverhangingTheRightEdgeComeOutDarker) {
    // Width 5 with blocks 2 wide: the third block has one real pixel and is divided by 2.
    const px::Image out = averaged(kpic::filled(5, 2, px::rgb(200, 100, 50)), 2, 2, 3, 1);
    EXPECT_EQ(at(out, 0, 0), px::rgb(200, 100, 50));
    EXPECT_EQ(at(out, 2, 0), px::rgb(100, 50, 25));
}

TEST(BlockAverage, OnlyBlocksInsideTheBufferAreStored) {
    const px::Image pic = kpic::ramp(10, 10);
    const px::Image out = averaged(pic, 2, 2, 3, 2, px::rgb(1, 1, 1));
    // Block (2, 1): columns 4-5, rows 2-3 -> red 4.5 -> 4, green 2.5 -> 2, blue 7 -> 7.
    EXPECT_EQ(at(out, 2, 1), px::rgb(4, 2, 7));
    // A buffer wider than the blocks keeps what it held beyond them.
    const px::Image wide = averaged(pic, 3, 3, 6, 2, px::rgb(1, 1, 1));
    EXPECT_EQ(at(wide, 4, 0), px::rgb(1, 1, 1));
    EXPECT_NE(at(wide, 3, 0), px::rgb(1, 1, 1));
}

TEST(BlockAverage, WideBlocksSumInEveryWidthClass) {
    // The averager sums rows in 16-bit lanes up to 256 pixels a block and in 32-bit ones beyond; a
    // block of 300 x 1 white pixels and one of 256 x 1 must both stay white.
    for (int h : {255, 256, 257, 300}) {
        const px::Image out = averaged(kpic::filled(h * 2, 1, px::rgb(255, 255, 255)), h, 1, 2, 1);
        EXPECT_EQ(at(out, 0, 0), px::rgb(255, 255, 255)) << h;
        EXPECT_EQ(at(out, 1, 0), px::rgb(255, 255, 255)) << h;
    }
}

// The average of one block, pixel by pixel: what every way of summing must agree with.
px::Pixel referenceBlock(const px::Image& pic, int bx, int by, int h, int v) {
    uint64_t red = 0, green = 0, blue = 0;
    for (int y = by * v; y < by * v + v; ++y)
        for (int x = bx * h; x < std::min(bx * h + h, pic.width); ++x) {
            red += uint64_t(px::red(at(pic, x, y)));
            green += uint64_t(px::green(at(pic, x, y)));
            blue += uint64_t(px::blue(at(pic, x, y)));
        }
    const auto rounded = [area = uint64_t(h) * uint64_t(v)](uint64_t sum) {
        uint64_t q = sum / area;
        const uint64_t twice = 2 * (sum % area);
        return int(q + (twice > area || (twice == area && (q & 1)) ? 1 : 0));
    };
    return px::rgb(rounded(red), rounded(green), rounded(blue));
}

TEST(BlockAverage, EveryBlockShapeAgreesWithThePlainSum) {
    // Shapes on both sides of each way the averager sums: blocks up to 257 rows high by columns, higher
    // ones row by row; rows of blocks up to 256 pixels wide in 16-bit lanes, wider ones in 32 bits.
    px::Image pic(700, 620, 0);
    uint32_t seed = 12345;
    for (auto& p : pic.pixels) {
        seed = seed * 1664525u + 1013904223u;
        p = px::rgb(int(seed >> 24), int(seed >> 16) & 0xFF, int(seed >> 8) & 0xFF);
    }
    const std::pair<int, int> shapes[] = {{1, 1},   {3, 5},   {8, 16},    {7, 257},
                                          {2, 258}, {300, 2}, {257, 300}, {256, 3}};
    for (auto [h, v] : shapes) {
        const int w = std::min(pic.width / h + 1, 40), rows = pic.height / v;
        const px::Image out = averaged(pic, h, v, w, rows);
        for (int by = 0; by < rows; ++by)
            for (int bx = 0; bx < w; ++bx)
                ASSERT_EQ(at(out, bx, by), referenceBlock(pic, bx, by, h, v))
                    << h << "x" << v << " block " << bx << "," << by;
    }
}

TEST(BlockAverage, StreamedRowsGiveTheSameBuffer) {
    const px::Image pic = kpic::ramp(101, 67);
    const px::Image whole = averaged(pic, 4, 3, 24, 21);
    BlockAverager streamed(pic.width, 4, 3, 24, 21);
    std::vector<px::Pixel> row(24);
    int completed = 0;
    for (int y = 0; y < pic.height; ++y) {
        const int done = streamed.addRow(pic.view().row(y), row.data());
        if (done < 0)
            continue;
        EXPECT_EQ(done, completed++);
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(row[size_t(x)], at(whole, x, done)) << x << "," << done;
    }
    EXPECT_EQ(completed, 21);
}

TEST(BlockAverage, EmptyBufferIsHarmless) {
    px::Image none;
    averageBlocks(kpic::ramp(10, 10).view(), 20, 20, none.view());
    BlockAverager averager(10, 3, 3, -2, -2);
    std::vector<px::Pixel> row(1);
    const px::Image pic = kpic::ramp(10, 10);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(averager.addRow(pic.view().row(y), row.data()), -1);
}

} // namespace
