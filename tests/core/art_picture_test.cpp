#include "core/art_picture.h"
#include "core/errors.h"
#include "core/glyph_measure.h"
#include "kernels/errors.h"
#include "support/gui_application.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

class ArtPicture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }
    static QImage decoded(const QByteArray& png) {
        EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
        return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
    }
    static QImage decoded(const std::string& png) {
        return decoded(QByteArray(png.data(), qsizetype(png.size())));
    }
    // The share of dark pixels in one cell.
    static double ink(const QImage& img, QSize cell, int column, int line) {
        int dark = 0;
        for (int y = line * cell.height(); y < (line + 1) * cell.height(); ++y)
            for (int x = column * cell.width(); x < (column + 1) * cell.width(); ++x)
                dark += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
        return double(dark) / (cell.width() * cell.height());
    }
};

TEST_F(ArtPicture, OneCellACharacterDarkWhereTheInkIs) {
    const QFont font = glyphs::measuringFont("DejaVu Sans Mono", 12);
    const QSize cell = art::cellSize(font);
    art::Lines lines;
    lines.text = {U"@ @ .", U" @", U"@@@@@@@"};
    const QImage img = decoded(art::png(lines, font, false));
    EXPECT_EQ(img.size(), QSize(7 * cell.width(), 3 * cell.height())) << "the longest line sets the width";
    EXPECT_GT(ink(img, cell, 0, 0), 0.15);
    EXPECT_EQ(ink(img, cell, 1, 0), 0.0);
    EXPECT_GT(ink(img, cell, 0, 0), ink(img, cell, 4, 0)) << "@ has more ink than .";
    EXPECT_GT(ink(img, cell, 1, 1), 0.15);
    EXPECT_EQ(ink(img, cell, 6, 1), 0.0) << "beyond a short line, the background";
    EXPECT_EQ(img.pixel(img.width() - 1, 0), qRgb(255, 255, 255));
}

TEST_F(ArtPicture, ColouredCharactersAndTheDarkBackground) {
    const QFont font = glyphs::measuringFont("DejaVu Sans Mono", 16);
    const QSize cell = art::cellSize(font);
    art::Lines lines;
    lines.text = {U"@@"};
    lines.colours = {{px::rgb(255, 0, 0), px::rgb(0, 0, 255)}};
    for (bool dark : {false, true}) {
        const QImage img = decoded(art::png(lines, font, dark));
        bool red = false, blue = false;
        for (int y = 0; y < cell.height(); ++y)
            for (int x = 0; x < cell.width(); ++x) {
                red = red || img.pixel(x, y) == qRgb(255, 0, 0);
                blue = blue || img.pixel(cell.width() + x, y) == qRgb(0, 0, 255);
            }
        EXPECT_TRUE(red && blue) << dark;
        EXPECT_EQ(img.pixel(0, 0), dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    }
    art::Lines plain;
    plain.text = {U"@"};
    const QImage light = decoded(art::png(plain, font, true));
    EXPECT_LT(ink(light, cell, 0, 0), 0.85) << "without colours, dark is white on black";
    EXPECT_EQ(light.pixel(0, 0), qRgb(0, 0, 0));
}

TEST_F(ArtPicture, CharactersTheFontLacksAreDrawnFromAFallbackFont) {
    const QFont font = glyphs::measuringFont("Courier New", 12);
    const QSize cell = art::cellSize(font);
    art::Lines lines;
    lines.text = {U"\u2588x"}; // a full block: not in every monospaced font
    const art::Glyphs g = art::glyphs(lines, font);
    EXPECT_EQ(g.masks.size(), 2u);
    const QImage img = decoded(art::png(lines, font, false));
    EXPECT_GT(ink(img, cell, 0, 0), 0.5);
}

// Glyphs made by hand: a cell of 3 x 2 pixels, and a mark that reaches one pixel into every neighbour.
art::Glyphs handMade() {
    art::Glyphs g;
    g.cellWidth = 3;
    g.cellHeight = 2;
    g.margin = 1;
    std::vector<uint8_t> wide(5 * 4, 0);
    for (int x = 0; x < 5; ++x)
        wide[size_t(1 * 5 + x)] = 255; // the cell's first row, one pixel beyond it on both sides
    wide[0] = 128;                     // and a grey pixel up and to the left
    g.masks[U'w'] = wide;
    std::vector<uint8_t> dot(5 * 4, 0);
    dot[size_t(2 * 5 + 2)] = 255; // the middle of the cell's second row
    g.masks[U'.'] = dot;
    return g;
}

TEST_F(ArtPicture, GlyphsReachIntoNeighbouringCellsInDrawingOrder) {
    art::Lines lines;
    lines.text = {U" . ", U"w"};
    lines.colours = {{0, px::rgb(0, 0, 255), 0}, {px::rgb(255, 0, 0)}};
    const QImage img = decoded(art::png(lines, handMade(), false));
    ASSERT_EQ(img.size(), QSize(9, 4));
    EXPECT_EQ(img.pixel(4, 1), qRgb(0, 0, 255)) << "the dot in its cell";
    // The w of the second line: its row 2 from x 0 to 3 (clipped at the left), its grey corner above
    // the picture's left edge is cut off.
    for (int x = 0; x <= 3; ++x)
        EXPECT_EQ(img.pixel(x, 2), qRgb(255, 0, 0)) << x;
    EXPECT_EQ(img.pixel(4, 2), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(0, 3), qRgb(255, 255, 255));

    // Drawn later, a line's glyph covers what an earlier line drew where they meet.
    art::Lines over;
    over.text = {U".", U"w"};
    over.colours = {{px::rgb(0, 0, 255)}, {px::rgb(255, 0, 0)}};
    art::Glyphs g = handMade();
    g.masks[U'w'][0] = 0;
    g.masks[U'w'][2] = 255; // reaches up into the dot's place: (1, 1) of the picture
    const QImage stacked = decoded(art::png(over, g, false));
    EXPECT_EQ(stacked.pixel(1, 1), qRgb(255, 0, 0));
}

TEST_F(ArtPicture, PartsCompressedSideBySideMakeTheSamePicture) {
    const QFont font = glyphs::measuringFont("Courier New", 8);
    art::Lines lines;
    const std::u32string table = U"@%#*+=-:. ";
    for (int y = 0; y < 120; ++y) {
        std::u32string line;
        for (int x = 0; x < 320; ++x)
            line += table[size_t((x * 7 + y * 3 + x * y) % table.size())];
        lines.text.push_back(line);
    }
    const art::Glyphs g = art::glyphs(lines, font);
    const std::string one = art::png(lines, g, false, 1);
    const std::string four = art::png(lines, g, false, 4);
    EXPECT_NE(one, four) << "the picture is large enough to be split";
    const QImage a = decoded(one), b = decoded(four);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.size(), QSize(320 * g.cellWidth, 120 * g.cellHeight));
}

TEST_F(ArtPicture, EmptyAndOversizedPictures) {
    const QImage empty = decoded(art::png(art::Lines{}, handMade(), false));
    EXPECT_EQ(empty.size(), QSize(1, 1));
    EXPECT_EQ(empty.pixel(0, 0), qRgb(255, 255, 255));

    art::Glyphs huge;
    huge.cellWidth = 1000;
    huge.cellHeight = 1000;
    art::Lines lines;
    lines.text = {std::u32string(1000, U'.')};
    try {
        art::png(lines, huge, false);
        ADD_FAILURE() << "a picture of 10^9 pixels was written";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.number(), err::OutOfMemory);
    }
}

} // namespace
