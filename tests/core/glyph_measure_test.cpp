#include "core/glyph_measure.h"
#include "support/gui_application.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::u32string textOf(const std::vector<char32_t>& chars) {
    return std::u32string(chars.begin(), chars.end());
}

class RealFont : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }
};

TEST_F(RealFont, AtSignFullStopSpaceInAFixedPitchFont) {
    for (double size : {8.0, 12.0, 30.0}) {
        const auto m = glyphs::measureTable("@ .", "Courier New", size);
        EXPECT_EQ(textOf(m.chars), U"@. ") << size;
        EXPECT_GT(m.levels[0], m.levels[1]);
        EXPECT_GT(m.levels[1], 0);
        EXPECT_EQ(m.levels[2], 0);
    }
}

TEST_F(RealFont, CharactersAreCountedByTheirPixelsNotTheirCodes) {
    // The lightest characters come first in the table and still end up last.
    const auto m = glyphs::measureTable(".-:=+@", "DejaVu Sans Mono", 20);
    EXPECT_EQ(m.chars.front(), U'@');
    EXPECT_TRUE(std::is_sorted(m.levels.rbegin(), m.levels.rend()));
    EXPECT_NE(m.chars.back(), U'@');
    const std::u32string lastTwo = {m.chars[4], m.chars[5]};
    EXPECT_TRUE(lastTwo.find(U'.') != std::u32string::npos || lastTwo.find(U'-') != std::u32string::npos);
}

TEST_F(RealFont, NearSolidGlyphsAtLargeSizesSortCorrectly) {
    const QString table = QString::fromUtf8("\u2591\u2588\u2592\u2593");
    const auto m = glyphs::measureTable(table, "DejaVu Sans Mono", 99);
    EXPECT_EQ(textOf(m.chars), U"\u2588\u2593\u2592\u2591");
    EXPECT_GT(m.levels[0], m.levels[1]);
}

TEST_F(RealFont, EmptyAndBlankTablesKeepTheirOrder) {
    EXPECT_TRUE(glyphs::measureTable("", "Courier New", 8).chars.empty());
    const auto blanks = glyphs::measureTable("  \t ", "Courier New", 8);
    EXPECT_TRUE(blanks.box.empty());
    EXPECT_EQ(textOf(blanks.chars), U"  \t ");
}

// What a window watching a measurement sees: the drawn table once, every column, the box, then every
// character alone on the surface, in table order.
class Recording : public glyphs::MeasureObserver {
  public:
    QStringList events;
    void tableDrawn(const QImage& overlay) override { events << QString("table %1").arg(overlay.width()); }
    void columnScanned(int x, const QImage&) override { events << QString("column %1").arg(x); }
    void inkBoxFound(const glyphs::InkBox& box) override { events << QString("box %1").arg(box.empty()); }
    void measuring(int index, int count, const QImage& glyph) override {
        events << QString("measure %1/%2 %3").arg(index).arg(count).arg(glyph.width());
    }
};

TEST_F(RealFont, ObserverSeesEveryStepInOrder) {
    Recording r;
    const auto m = glyphs::measureTable("#. ", "Courier New", 10, &r);
    QStringList expected = {"table 20"};
    for (int x = 0; x < 20; ++x)
        expected << QString("column %1").arg(x);
    expected << "box 0";
    ASSERT_EQ(r.events.mid(0, expected.size()), expected);
    ASSERT_EQ(r.events.size(), expected.size() + 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r.events[expected.size() + i], QString("measure %1/3 20").arg(i));
    EXPECT_EQ(m.counts.size(), 3u);
    EXPECT_EQ(std::u32string(m.table.begin(), m.table.end()), U"#. ");
}

TEST_F(RealFont, ACharacterBeyondTheBasicPlaneIsOneEntry) {
    const auto m = glyphs::measureTable(QString::fromUtf8("\U0001F600. "), "DejaVu Sans", 12);
    ASSERT_EQ(m.chars.size(), 3u);
    EXPECT_EQ(std::u32string(m.table.begin(), m.table.end()), U"\U0001F600. ");
    EXPECT_EQ(glyphs::characterText(U'\U0001F600').size(), 2);
}

// A glyph's pattern is where the glyph sits in its character cell, not in the box the table's ink spans:
// the upper half block measured with a blank fills the top of its pattern and leaves the bottom empty.
TEST_F(RealFont, PatternsShowWhereTheGlyphSitsInItsCell) {
    const auto m = glyphs::measureTable(QString::fromUtf8("\u2580 "), "DejaVu Sans Mono", 12);
    ASSERT_EQ(m.chars.front(), U'\u2580');
    const glyphs::Pattern& p = m.patterns.front();
    ASSERT_FALSE(p.empty());
    double top = 0, bottom = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            (y < p.height / 2 ? top : bottom) += p.at(x, y) / (p.width * p.height / 2.0);
    EXPECT_GT(top, 200);
    EXPECT_LT(bottom, 40);
}

} // namespace
