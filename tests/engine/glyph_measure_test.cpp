#include "engine/glyph_measure.h"
#include "platform/picture_surface.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

std::vector<QChar> charsOf(const QString& s) {
    return {s.begin(), s.end()};
}

QString textOf(const std::vector<QChar>& chars) {
    return QString(chars.data(), qsizetype(chars.size()));
}

struct SortRow {
    const char* name;
    const char* table;
    std::vector<int32_t> levels;
    const char* sorted;
};

class DarkestFirst : public ::testing::TestWithParam<SortRow> {};

TEST_P(DarkestFirst, OrdersByCountKeepingTableOrderForTies) {
    auto chars = charsOf(GetParam().table);
    auto levels = GetParam().levels;
    glyphs::sortDarkestFirst(chars, levels);
    EXPECT_EQ(textOf(chars), GetParam().sorted);
    EXPECT_TRUE(std::is_sorted(levels.rbegin(), levels.rend()));
}

INSTANTIATE_TEST_SUITE_P(Rows, DarkestFirst,
                         ::testing::Values(SortRow{"Darkest", "abc", {1, 5, 3}, "bca"},
                                           SortRow{"TiesKeepOrder", "xyzw", {2, 7, 2, 7}, "ywxz"},
                                           SortRow{"DuplicatesKept", "a.a", {4, 1, 4}, "aa."},
                                           SortRow{"OneCharacter", "@", {9}, "@"},
                                           SortRow{"SpacesOnly", "   ", {0, 0, 0}, "   "},
                                           SortRow{"AlreadySorted", "#+.", {9, 5, 1}, "#+."},
                                           SortRow{"Reversed", ".+#", {1, 5, 9}, "#+."}),
                         [](const auto& info) { return std::string(info.param.name); });

QImage canvas(int w, int h) {
    return blankSurfaceImage(w, h, qRgb(255, 255, 255));
}

TEST(InkBox, EnclosesEveryDarkPixel) {
    QImage img = canvas(20, 20);
    img.setPixel(5, 9, qRgb(0, 0, 0));
    img.setPixel(12, 3, qRgb(0, 0, 0));
    img.setPixel(7, 15, qRgb(0, 0, 0x7F)); // blue just below the extent limit
    const auto box = glyphs::findInkBox(img);
    EXPECT_EQ(box.minX, 5);
    EXPECT_EQ(box.maxX, 12);
    EXPECT_EQ(box.minY, 3);
    EXPECT_EQ(box.maxY, 15);
    EXPECT_TRUE(glyphs::findInkBox(canvas(10, 10)).empty());
}

TEST(InkTests, ThresholdsCompareTheWholeColourValue) {
    // 0x00BBGGRR values: the extent test is "below 0x800000", the ink test "below 0x7F7F7F".
    EXPECT_TRUE(glyphs::passesExtent(qRgb(0xFF, 0xFF, 0x7F)));
    EXPECT_FALSE(glyphs::passesExtent(qRgb(0, 0, 0x80)));
    EXPECT_TRUE(glyphs::passesInk(qRgb(0x7E, 0x7F, 0x7F)));
    EXPECT_FALSE(glyphs::passesInk(qRgb(0x7F, 0x7F, 0x7F)));
    EXPECT_FALSE(glyphs::passesInk(qRgb(0x80, 0x80, 0x7F))); // in the box, but no ink
    EXPECT_TRUE(glyphs::passesInk(qRgb(0xFF, 0xFF, 0x7E))); // pale yellow still counts: the blue byte decides
}

TEST(InkCount, CountsOnlyInsideTheBoxAndBeyond16Bits) {
    QImage img = canvas(200, 200);
    img.fill(qRgb(0, 0, 0));
    EXPECT_EQ(glyphs::countInk(img, {0, 0, 199, 199}), 40000); // more than a 16-bit level holds
    EXPECT_EQ(glyphs::countInk(img, {10, 20, 19, 29}), 100);
    EXPECT_EQ(glyphs::countInk(img, {-1, -1, 0, 0}), 1); // points outside the surface never count
}

TEST(SurfaceSide, TwiceThePointSize) {
    EXPECT_EQ(glyphs::surfaceSide(8), 16);
    EXPECT_EQ(glyphs::surfaceSide(99), 198);
    EXPECT_EQ(glyphs::surfaceSide(8.25), 16); // 16.5 pixels: the half goes to the even neighbour
    EXPECT_EQ(glyphs::surfaceSide(0), 0);
}

class RealFont : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "glyph-tests";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            new QGuiApplication(argc, argv);
        }
    }
};

TEST_F(RealFont, AtSignFullStopSpaceInAFixedPitchFont) {
    for (double size : {8.0, 12.0, 30.0}) {
        const auto m = glyphs::measureTable("@ .", "Courier New", size);
        EXPECT_EQ(textOf(m.chars), "@. ") << size;
        EXPECT_GT(m.levels[0], m.levels[1]);
        EXPECT_GT(m.levels[1], 0);
        EXPECT_EQ(m.levels[2], 0);
    }
}

TEST_F(RealFont, CharactersAreCountedByTheirPixelsNotTheirCodes) {
    // The lightest characters come first in the table and still end up last.
    const auto m = glyphs::measureTable(".-:=+@", "DejaVu Sans Mono", 20);
    EXPECT_EQ(m.chars.front(), QChar('@'));
    EXPECT_TRUE(std::is_sorted(m.levels.rbegin(), m.levels.rend()));
    EXPECT_NE(m.chars.back(), QChar('@'));
    const QString lastTwo = QString(m.chars[4]) + m.chars[5];
    EXPECT_TRUE(lastTwo.contains('.') || lastTwo.contains('-')) << lastTwo.toStdString();
}

TEST_F(RealFont, NearSolidGlyphsAtLargeSizesSortCorrectly) {
    const QString table = QString::fromUtf8("\u2591\u2588\u2592\u2593");
    const auto m = glyphs::measureTable(table, "DejaVu Sans Mono", 99);
    EXPECT_EQ(textOf(m.chars), QString::fromUtf8("\u2588\u2593\u2592\u2591"));
    EXPECT_GT(m.levels[0], m.levels[1]);
}

TEST_F(RealFont, EmptyAndBlankTablesKeepTheirOrder) {
    EXPECT_TRUE(glyphs::measureTable("", "Courier New", 8).chars.empty());
    const auto blanks = glyphs::measureTable("  \t ", "Courier New", 8);
    EXPECT_TRUE(blanks.box.empty());
    EXPECT_EQ(textOf(blanks.chars), "  \t ");
}

} // namespace
