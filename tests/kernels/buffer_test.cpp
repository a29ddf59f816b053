#include "kernel_pictures.h"
#include "kernels/buffer.h"
#include "kernels/errors.h"

#include <gtest/gtest.h>

namespace {

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const err::Error& e) {
        return e.number();
    }
    return 0;
}

// Fills a buffer row by row as a decoder hands rows over: through rowTarget and rowReady.
px::Image streamed(const px::Image& pic, const buffer::Factors& f) {
    buffer::Builder b(f);
    const px::Size area = b.start(pic.width, pic.height);
    px::Image out(area.width, area.height, buffer::kBackground);
    b.attach(out.view());
    for (int y = 0; y < pic.height; ++y) {
        std::copy_n(pic.view().row(y), pic.width, b.rowTarget(y));
        b.rowReady(y);
    }
    return out;
}

// The same from a picture in memory: through addRow.
px::Image fromMemory(const px::Image& pic, const buffer::Factors& f) {
    buffer::Builder b(f);
    const px::Size area = b.start(pic.width, pic.height);
    px::Image out(area.width, area.height, buffer::kBackground);
    b.attach(out.view());
    for (int y = 0; y < pic.height; ++y)
        b.addRow(y, pic.view().row(y));
    return out;
}

TEST(BufferSize, OuterSizeFollowsTheFactors) {
    // A 320 x 240 picture is a 324 x 244 picture box; factors 2 and 2 give 162 x 122.
    EXPECT_EQ(buffer::outerSize(324, 244, {true, 2, 2}), (px::Size{162, 122}));
    EXPECT_EQ(buffer::outerSize(324, 244, {false, 2, 2}), (px::Size{324, 244}));
    EXPECT_EQ(buffer::outerSize(104, 24, {true, 2.5, 1}), (px::Size{41, 24}));
    EXPECT_EQ(buffer::outerSize(104, 24, {true, 2.6, 1}), (px::Size{40, 24}));
}

TEST(BufferSize, RefusedFactors) {
    const std::pair<double, int> rows[] = {{0, err::DivisionByZero},      {-0.0, err::DivisionByZero},
                                           {0.5, err::DivisionByZero},    {-2, err::InvalidPropertyValue},
                                           {2147483648.0, err::Overflow}, {1e308, err::Overflow}};
    for (auto [h, number] : rows)
        EXPECT_EQ(errorOf([h = h] { buffer::outerSize(54, 54, {true, h, 1}); }), number) << h;
    EXPECT_EQ(errorOf([] { buffer::outerSize(54, 54, {true, 50000, 50000}); }), err::Overflow);
    EXPECT_EQ(errorOf([] { buffer::outerSize(32767 + 4, 8, {false, 1, 1}); }), err::Overflow);
    EXPECT_EQ(errorOf([] { buffer::outerSize(32767, 8, {false, 1, 1}); }), 0);
}

TEST(BufferBuilder, StreamedAndInMemoryRowsGiveTheSameBuffer) {
    const px::Image pic = kpic::ramp(203, 151);
    for (const buffer::Factors& f :
         {buffer::Factors{false, 1, 1}, buffer::Factors{true, 4, 8}, buffer::Factors{true, 2.5, 3},
          buffer::Factors{true, 2.6, 1}, buffer::Factors{true, 1, 3}}) {
        const px::Image a = streamed(pic, f), b = fromMemory(pic, f);
        EXPECT_EQ(a.width, b.width);
        EXPECT_EQ(a.pixels, b.pixels) << f.h << "x" << f.v;
    }
}

TEST(BufferBuilder, CopyIsThePictureAndBlocksAreAverages) {
    const px::Image pic = kpic::ramp(20, 12);
    EXPECT_EQ(streamed(pic, {true, 1, 1}).pixels, pic.pixels) << "both factors 1: a copy";
    const px::Image avg = streamed(pic, {true, 2, 2});
    ASSERT_EQ(avg.width, 8); // Int(24 / 2) - 4
    ASSERT_EQ(avg.height, 4);
    // Block (3, 1): columns 6-7, rows 2-3 -> red 6.5 -> 6, green 2.5 -> 2, blue 9 -> 9.
    EXPECT_EQ(kpic::at(avg, 3, 1), px::rgb(6, 2, 9));
}

// The colour fit's parts of a few pixels each keep the picture's edges where they are: weighted, a pixel
// counts for the share of it a part covers; finer than the pixels, parts are sampled between them.
TEST(BufferBuilder, ColourPartsKeepThePicturesEdgesInPlace) {
    px::Image pic = kpic::filled(4, 1, px::rgb(0, 0, 0));
    kpic::set(pic, 2, 0, px::rgb(255, 255, 255));
    kpic::set(pic, 3, 0, px::rgb(255, 255, 255));
    buffer::Factors three;
    three.columns = 3;
    three.rows = 1;
    // The middle part spans pixels 1.33 to 2.67: whole pixels give pixel 1 alone, shares half of each.
    EXPECT_EQ(kpic::at(fromMemory(pic, three), 1, 0), px::rgb(0, 0, 0));
    three.weighted = true;
    EXPECT_NEAR(px::red(kpic::at(fromMemory(pic, three), 1, 0)), 128, 1) << "shares in 256ths of a pixel";

    // Eight samples over four pixels: the edge between pixels 1 and 2 falls between samples 3 and 4, the
    // samples beside it halfway between the pixels' colour and the edge's, the ends the end pixels' own.
    const px::Image up = buffer::resample(pic.view(), 8, 1);
    ASSERT_EQ(up.width, 8);
    const int expected[8] = {0, 0, 0, 64, 191, 255, 255, 255};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(px::red(kpic::at(up, x, 0)), expected[x]) << "sample " << x;
    EXPECT_EQ(buffer::resample(pic.view(), 4, 1).pixels, pic.pixels) << "one sample a pixel: the picture";
}

TEST(BufferBuilder, FractionalFactorLeavesTheBackgroundWhereNoBlockLands) {
    // 2.6: buffer Int(104 / 2.6) - 4 = 36 wide, blocks 3 wide: 34 blocks, the last one overhanging the
    // picture by two columns (so a third as bright); the rest keeps the background.
    const px::Image out = streamed(kpic::filled(100, 20, px::rgb(0, 0, 200)), {true, 2.6, 1});
    ASSERT_EQ(out.width, 36);
    EXPECT_EQ(kpic::at(out, 32, 5), px::rgb(0, 0, 200));
    EXPECT_EQ(kpic::at(out, 33, 5), px::rgb(0, 0, 67));
    EXPECT_EQ(kpic::at(out, 34, 5), buffer::kBackground);
    EXPECT_EQ(buffer::kBackground, px::rgb(255, 0, 0));
}

} // namespace
