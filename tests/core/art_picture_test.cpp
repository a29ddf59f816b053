#include "core/art_picture.h"
#include "core/glyph_measure.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

class ArtPicture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "art-tests";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            new QGuiApplication(argc, argv);
        }
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
    const QImage img = art::picture(lines, font, false);
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
        const QImage img = art::picture(lines, font, dark);
        bool red = false, blue = false;
        for (int y = 0; y < cell.height(); ++y)
            for (int x = 0; x < cell.width(); ++x) {
                red = red || img.pixel(x, y) == qRgb(255, 0, 0);
                blue = blue || img.pixel(cell.width() + x, y) == qRgb(0, 0, 255);
            }
        EXPECT_TRUE(red && blue) << dark;
        EXPECT_EQ(img.pixel(0, 0), dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    }
    const QByteArray png = art::png(art::picture(lines, font, false));
    EXPECT_TRUE(png.startsWith("\x89PNG"));
}

} // namespace
