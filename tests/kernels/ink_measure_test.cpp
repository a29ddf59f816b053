#include "kernel_pictures.h"
#include "kernels/ink_measure.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

struct SortRow {
    const char* name;
    std::u32string table;
    std::vector<int32_t> levels;
    std::u32string sorted;
};

class DarkestFirst : public ::testing::TestWithParam<SortRow> {};

TEST_P(DarkestFirst, OrdersByCountKeepingTableOrderForTies) {
    std::vector<char32_t> chars(GetParam().table.begin(), GetParam().table.end());
    auto levels = GetParam().levels;
    glyphs::sortDarkestFirst(chars, levels);
    EXPECT_EQ(std::u32string(chars.begin(), chars.end()), GetParam().sorted);
    EXPECT_TRUE(std::is_sorted(levels.rbegin(), levels.rend()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DarkestFirst,
    ::testing::Values(SortRow{"Darkest", U"abc", {1, 5, 3}, U"bca"},
                      SortRow{"TiesKeepOrder", U"xyzw", {2, 7, 2, 7}, U"ywxz"},
                      SortRow{"DuplicatesKept", U"a.a", {4, 1, 4}, U"aa."},
                      SortRow{"OneCharacter", U"@", {9}, U"@"},
                      SortRow{"SpacesOnly", U"   ", {0, 0, 0}, U"   "},
                      SortRow{"AlreadySorted", U"#+.", {9, 5, 1}, U"#+."},
                      SortRow{"Reversed", U".+#", {1, 5, 9}, U"#+."},
                      SortRow{"BeyondTheBasicPlane", U"\U0001F600.", {1, 2}, U".\U0001F600"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InkBox, EnclosesEveryDarkPixel) {
    px::Image img = kpic::filled(20, 20, px::rgb(255, 255, 255));
    kpic::set(img, 5, 9, px::rgb(0, 0, 0));
    kpic::set(img, 12, 3, px::rgb(0, 0, 0));
    kpic::set(img, 7, 15, px::rgb(0, 0, 0x7F)); // blue just below the extent limit
    const auto box = glyphs::findInkBox(img.view());
    EXPECT_EQ(box.minX, 5);
    EXPECT_EQ(box.maxX, 12);
    EXPECT_EQ(box.minY, 3);
    EXPECT_EQ(box.maxY, 15);
    EXPECT_TRUE(glyphs::findInkBox(kpic::filled(10, 10, px::rgb(255, 255, 255)).view()).empty());
}

TEST(InkTests, ThresholdsCompareTheWholeColourValue) {
    // 0x00BBGGRR values: the extent test is "below 0x800000", the ink test "below 0x7F7F7F".
    EXPECT_TRUE(glyphs::passesExtent(px::rgb(0xFF, 0xFF, 0x7F)));
    EXPECT_FALSE(glyphs::passesExtent(px::rgb(0, 0, 0x80)));
    EXPECT_TRUE(glyphs::passesInk(px::rgb(0x7E, 0x7F, 0x7F)));
    EXPECT_FALSE(glyphs::passesInk(px::rgb(0x7F, 0x7F, 0x7F)));
    EXPECT_FALSE(glyphs::passesInk(px::rgb(0x80, 0x80, 0x7F))); // in the box, but no ink
    EXPECT_TRUE(
        glyphs::passesInk(px::rgb(0xFF, 0xFF, 0x7E))); // pale yellow still counts: the blue byte decides
}

TEST(InkCount, CountsOnlyInsideTheBoxAndBeyond16Bits) {
    const px::Image img = kpic::filled(200, 200, px::rgb(0, 0, 0));
    EXPECT_EQ(glyphs::countInk(img.view(), {0, 0, 199, 199}), 40000); // more than a 16-bit level holds
    EXPECT_EQ(glyphs::countInk(img.view(), {10, 20, 19, 29}), 100);
    EXPECT_EQ(glyphs::countInk(img.view(), {-1, -1, 0, 0}), 1); // points outside the surface never count
}

TEST(SurfaceSide, TwiceThePointSize) {
    EXPECT_EQ(glyphs::surfaceSide(8), 16);
    EXPECT_EQ(glyphs::surfaceSide(99), 198);
    EXPECT_EQ(glyphs::surfaceSide(8.25), 16); // 16.5 pixels: the half goes to the even neighbour
    EXPECT_EQ(glyphs::surfaceSide(0), 0);
}

} // namespace
