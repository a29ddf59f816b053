#include "engine/block_average.h"
#include "support/pictures.h"

#include <gtest/gtest.h>

namespace {

QImage averaged(const QImage& pic, int h, int v, int outW, int outH, QRgb fill = qRgb(255, 0, 0)) {
    QImage out(outW, outH, QImage::Format_RGB32);
    out.fill(fill);
    averageBlocks(pic, h, v, out);
    return out;
}

TEST(BlockAverage, SingleColourBlocksKeepTheirColourExactly) {
    for (QRgb c : {qRgb(255, 0, 0), qRgb(0, 0, 15), qRgb(1, 2, 3), qRgb(255, 255, 255)}) {
        const QImage out = averaged(testpic::filled(12, 9, c), 3, 3, 4, 3, qRgb(9, 9, 9));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(out.pixel(x, y), c) << x << "," << y;
    }
}

TEST(BlockAverage, HalvesRoundToEven) {
    // Each row pair gives one block of two pixels: (0,1) averages 0.5 -> 0, (1,2) 1.5 -> 2, (2,3) 2.5 -> 2.
    const std::tuple<int, int, int> rows[] = {{0, 1, 0}, {1, 2, 2}, {2, 3, 2}, {3, 4, 4}, {254, 255, 254}};
    for (auto [a, b, expected] : rows) {
        QImage pic(2, 1, QImage::Format_RGB32);
        pic.setPixel(0, 0, qRgb(a, b, a));
        pic.setPixel(1, 0, qRgb(b, a, b));
        const QImage out = averaged(pic, 2, 1, 1, 1);
        EXPECT_EQ(qRed(out.pixel(0, 0)), expected) << a << "+" << b;
        EXPECT_EQ(qGreen(out.pixel(0, 0)), expected) << a << "+" << b;
        EXPECT_EQ(qBlue(out.pixel(0, 0)), expected) << a << "+" << b;
    }
}

TEST(BlockAverage, BottomRowsThatDoNotFillABlockAreDropped) {
    // Factors 1 and 3 on 100 rows: 33 blocks, row 99 is never used, block 0 is rows 0 to 2.
    QImage pic(1, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        pic.setPixel(0, y, qRgb(y, 0, 0));
    const QImage out = averaged(pic, 1, 3, 1, 34, qRgb(7, 7, 7));
    EXPECT_EQ(qRed(out.pixel(0, 0)), 1);   // (0 + 1 + 2) / 3
    EXPECT_EQ(qRed(out.pixel(0, 32)), 97); // rows 96 to 98
    EXPECT_EQ(out.pixel(0, 33), qRgb(7, 7, 7));
}

TEST(BlockAverage, BlocksOverhangingTheRightEdgeComeOutDarker) {
    // Width 5 with blocks 2 wide: the third block has one real pixel and is divided by 2.
    const QImage out = averaged(testpic::filled(5, 2, qRgb(200, 100, 50)), 2, 2, 3, 1);
    EXPECT_EQ(out.pixel(0, 0), qRgb(200, 100, 50));
    EXPECT_EQ(out.pixel(2, 0), qRgb(100, 50, 25));
}

TEST(BlockAverage, OnlyBlocksInsideTheBufferAreStored) {
    const QImage pic = testpic::ramp(10, 10);
    const QImage out = averaged(pic, 2, 2, 3, 2, qRgb(1, 1, 1));
    EXPECT_EQ(out.size(), QSize(3, 2));
    // Block (2, 1): columns 4-5, rows 2-3 -> red 4.5 -> 4, green 2.5 -> 2, blue 7 -> 7.
    EXPECT_EQ(out.pixel(2, 1), qRgb(4, 2, 7));
    // A buffer wider than the blocks keeps what it held beyond them.
    const QImage wide = averaged(pic, 3, 3, 6, 2, qRgb(1, 1, 1));
    EXPECT_EQ(wide.pixel(4, 0), qRgb(1, 1, 1));
    EXPECT_NE(wide.pixel(3, 0), qRgb(1, 1, 1));
}

TEST(BlockAverage, StreamedRowsGiveTheSameBuffer) {
    const QImage pic = testpic::ramp(101, 67);
    const QImage whole = averaged(pic, 4, 3, 24, 21);
    BlockAverager streamed(pic.width(), 4, 3, 24, 21);
    std::vector<QRgb> row(24);
    int completed = 0;
    for (int y = 0; y < pic.height(); ++y) {
        const int done = streamed.addRow(reinterpret_cast<const QRgb*>(pic.constScanLine(y)), row.data());
        if (done < 0)
            continue;
        EXPECT_EQ(done, completed++);
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(row[x], whole.pixel(x, done)) << x << "," << done;
    }
    EXPECT_EQ(completed, 21);
}

TEST(BlockAverage, EmptyBufferIsHarmless) {
    QImage none;
    averageBlocks(testpic::ramp(10, 10), 20, 20, none);
    BlockAverager averager(10, 3, 3, -2, -2);
    std::vector<QRgb> row(1);
    const QImage pic = testpic::ramp(10, 10);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(averager.addRow(reinterpret_cast<const QRgb*>(pic.constScanLine(y)), row.data()), -1);
}

} // namespace
