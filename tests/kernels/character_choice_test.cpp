#include "kernel_pictures.h"
#include "kernels/character_choice.h"
#include "kernels/colour_fit.h"
#include "kernels/colour_space.h"
#include "kernels/likeness.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numeric>

namespace {

// A made table of six characters, darkest first: full, left half, right half, an even grey, a dot and
// blank, with patterns on a 4 x 8 grid and ink counts (a pattern's ink over 255) to match.
choice::Table madeTable() {
    const auto pattern = [](auto ink) {
        glyphs::Pattern p{4, 8, std::vector<uint8_t>(32, 0)};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 4; ++x)
                p.ink[size_t(y * 4 + x)] = uint8_t(ink(x, y));
        return p;
    };
    choice::Table t;
    t.sorted = {U'#', U'[', U']', U'=', U'.', U' '};
    t.patterns = {pattern([](int, int) { return 255; }),
                  pattern([](int x, int) { return x < 2 ? 255 : 0; }),
                  pattern([](int x, int) { return x >= 2 ? 255 : 0; }),
                  pattern([](int, int) { return 127; }),
                  pattern([](int x, int y) { return x == 1 && y == 6 ? 255 : 0; }),
                  pattern([](int, int) { return 0; })};
    for (const glyphs::Pattern& p : t.patterns)
        t.levels.push_back(std::accumulate(p.ink.begin(), p.ink.end(), 0) / 255);
    return t;
}

px::Pixel grey(int v) {
    return px::rgb(v, v, v);
}

TEST(Choice, ShapeFollowsTheBlocksPatternOfDarkness) {
    // One block dark on its left half, one dark on its right half, one flat mid grey; the ink mapping sees
    // only their means, which are alike.
    const choice::Table t = madeTable();
    px::Image blocks(3, 1, grey(128));
    std::vector<uint8_t> parts(12 * 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            parts[size_t(y * 12 + x)] = (x < 2) || (x >= 6 && x < 8) ? 0 : x >= 8 ? 128 : 255;
    choice::Options shape;
    shape.mapping = choice::Mapping::Shape;
    const auto chosen = choice::choose(blocks.view(), {{parts.data(), 12, 8, 12}, 4, 8}, t, shape);
    EXPECT_EQ(t.sorted[chosen[0]], U'[') << "dark on the left";
    EXPECT_EQ(t.sorted[chosen[1]], U']') << "dark on the right";
    EXPECT_EQ(t.sorted[chosen[2]], U'=') << "flat grey: the even glyph";
    // A picture of nothing but such blocks: the ink mapping gives them one glyph and no contrast to go by,
    // yet the shape still shows.
    std::vector<uint8_t> stripes(16 * 8);
    for (size_t i = 0; i < stripes.size(); ++i)
        stripes[i] = i % 4 < 2 ? 0 : 255;
    px::Image same(4, 1, grey(128));
    for (uint16_t e : choice::choose(same.view(), {{stripes.data(), 16, 8, 16}, 4, 8}, t, shape))
        EXPECT_EQ(t.sorted[e], U'[');
    // Parts that do not cover the buffer are not read: the ink mapping answers.
    choice::Options ink = shape;
    ink.mapping = choice::Mapping::Ink;
    EXPECT_EQ(choice::choose(same.view(), {{stripes.data(), 8, 8, 16}, 4, 8}, t, shape),
              choice::choose(same.view(), {}, t, ink));
    // Too small a block to split: the ink mapping.
    EXPECT_EQ(choice::subGrid(1.5, 16, 2), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(choice::subGrid(8, 16, 2), (std::pair<int, int>{4, 8}));
}

// A large text is matched on several cores, a band of rows each: every row of a flat picture gets the same
// glyph, the first of every band too (30,000 cells, past the size where the bands begin).
TEST(Choice, EveryRowOfALargeShapeTextIsMatched) {
    const choice::Table t = madeTable();
    const int columns = 200, rows = 150;
    px::Image blocks(columns, rows, grey(200));
    std::vector<uint8_t> parts(size_t(columns) * 4 * size_t(rows) * 8, 200);
    choice::Options shape;
    shape.mapping = choice::Mapping::Shape;
    const auto chosen =
        choice::choose(blocks.view(), {{parts.data(), columns * 4, rows * 8, columns * 4}, 4, 8}, t, shape);
    ASSERT_EQ(chosen.size(), size_t(columns) * rows);
    for (int y = 0; y < rows; ++y)
        ASSERT_EQ(chosen[size_t(y) * columns], chosen[0]) << "row " << y;
    EXPECT_EQ(std::count(chosen.begin(), chosen.end(), chosen[0]), columns * rows);
}

TEST(Choice, InkFollowsMeasuredInkAndDitherKeepsTheMeanTone) {
    const choice::Table t = madeTable();
    choice::Options ink;
    ink.mapping = choice::Mapping::Ink;
    // A ramp from black to white: the chosen characters' ink never rises along it.
    px::Image ramp(256, 1, 0);
    for (int x = 0; x < 256; ++x)
        kpic::set(ramp, x, 0, grey(x));
    const auto chosen = choice::choose(ramp.view(), {}, t, ink);
    for (int x = 1; x < 256; ++x)
        ASSERT_LE(t.levels[chosen[size_t(x)]], t.levels[chosen[size_t(x - 1)]]) << x;
    EXPECT_EQ(t.sorted[chosen.front()], U'#');
    EXPECT_EQ(t.sorted[chosen.back()], U' ');
    // A flat grey between two inks: dithered, the mean ink of the blocks is the grey's, within one level.
    const double inks[] = {255, 128, 128, 127, 8, 0}; // the made table's inks on its own scale
    for (int v : {40, 100, 190}) {
        ink.dither = true;
        const px::Image flat(64, 32, grey(v));
        const auto dithered = choice::choose(flat.view(), {}, t, ink);
        double mean = 0;
        for (uint16_t e : dithered)
            mean += inks[e];
        mean /= double(dithered.size());
        EXPECT_NEAR(mean, 255 - v, 8) << v << ": the error is carried, not lost";
    }
    // Rows are laid in turn from the left and from the right, so that no row's error always drifts the
    // same way: in a flat grey the second row's pattern starts at its right end.
    const auto text = [&](const px::Image& picture) {
        std::u32string out;
        const auto chosen = choice::choose(picture.view(), {}, t, ink);
        for (size_t i = 0; i < chosen.size(); ++i)
            out += (i > 0 && i % size_t(picture.width) == 0 ? U"|" : U"") +
                   std::u32string(1, t.sorted[chosen[i]]);
        return out;
    };
    EXPECT_EQ(text(px::Image(4, 2, grey(35))), U"####|[#[#");
    // Characters of equal ink: the earlier one in the table, as the described order has it.
    ink.dither = false;
    EXPECT_EQ(text(px::Image(4, 1, grey(127))), U"[[[[") << "'[' and ']' have the same ink";
}

TEST(ColourFit, AFlatBlockGetsOneColourWhateverTheGlyph) {
    const choice::Table t = madeTable();
    const px::Pixel teal = px::rgb(20, 140, 160);
    const px::Image parts(2 * 3, 4, teal); // three blocks of 2 x 4 parts, all one colour
    std::array<uint8_t, 256> same{};
    for (int v = 0; v < 256; ++v)
        same[size_t(v)] = uint8_t(v);
    // Chosen by the fit: the blank, on the block's colour.
    const colourfit::Cells free = colourfit::fit({parts.view(), 2, 4}, 3, 1, t, same);
    EXPECT_EQ(t.sorted[free.chosen[0]], U' ');
    EXPECT_EQ(free.background[0], teal);
    // Given (as the ink mapping gives them): a full glyph, a half one, a blank; one colour each.
    const std::vector<uint16_t> given = {0, 1, 5};
    const colourfit::Cells kept = colourfit::fit({parts.view(), 2, 4}, 3, 1, t, same, &given);
    EXPECT_EQ(kept.chosen, given);
    EXPECT_EQ(kept.foreground[0], teal);
    EXPECT_EQ(kept.background[0], art::kKeepColour) << "a full glyph hides its background";
    EXPECT_EQ(kept.foreground[1], teal);
    EXPECT_EQ(kept.background[1], teal);
    EXPECT_EQ(kept.foreground[2], art::kKeepColour) << "a blank has no ink to colour";
    EXPECT_EQ(kept.background[2], teal);
}

// A table as a terminal's cells of 8 x 16 pixels show it: a full block, the upper half, the left half, a
// thin vertical stroke, a letter's strokes (an open box, as in "o"), and blank.
choice::Table cellTable() {
    const auto pattern = [](auto ink) {
        glyphs::Pattern p{8, 16, std::vector<uint8_t>(128, 0)};
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x)
                p.ink[size_t(y * 8 + x)] = ink(x, y) ? 255 : 0;
        return p;
    };
    choice::Table t;
    t.sorted = {U'\u2588', U'\u2580', U'\u258C', U'|', U'o', U' '};
    t.patterns = {pattern([](int, int) { return true; }),
                  pattern([](int, int y) { return y < 8; }),
                  pattern([](int x, int) { return x < 4; }),
                  pattern([](int x, int y) { return x == 3 && y > 1; }),
                  pattern([](int x, int y) {
                      return y >= 6 && y <= 13 && x >= 1 && x <= 6 && (x == 1 || x == 6 || y == 6 || y == 13);
                  }),
                  pattern([](int, int) { return false; })};
    for (const glyphs::Pattern& p : t.patterns)
        t.levels.push_back(std::accumulate(p.ink.begin(), p.ink.end(), 0) / 255);
    return t;
}

std::array<uint8_t, 256> sameLevels() {
    std::array<uint8_t, 256> same{};
    for (int v = 0; v < 256; ++v)
        same[size_t(v)] = uint8_t(v);
    return same;
}

TEST(ColourFit, ColoursFollowTheBlocksStructureNotItsSmallVariations) {
    const choice::Table t = cellTable();
    // Blocks of 8 x 16 parts: a smooth ramp of ten grey levels down the first, across the second; a block
    // half red above, half blue below; a black block.
    px::Image parts(8 * 4, 16, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
            kpic::set(parts, x, y, grey(100 + y * 10 / 16));
            kpic::set(parts, 8 + x, y, grey(100 + x * 10 / 8 + (y % 2)));
            kpic::set(parts, 16 + x, y, y < 8 ? px::rgb(220, 20, 30) : px::rgb(20, 40, 210));
            kpic::set(parts, 24 + x, y, px::rgb(0, 0, 0));
        }
    const colourfit::Cells cells = colourfit::fit({parts.view(), 8, 16}, 4, 1, t, sameLevels());
    for (size_t cell : {0u, 1u}) {
        // A smooth block: one colour, or two near ones, never a glyph drawn in far colours.
        const bool flat =
            cells.foreground[cell] == art::kKeepColour || cells.background[cell] == art::kKeepColour;
        if (!flat)
            EXPECT_LE(colours::ciede2000(cells.foreground[cell], cells.background[cell]), 5)
                << cell << ": " << std::hex << cells.foreground[cell] << " on " << cells.background[cell];
    }
    // The half-and-half block: the half glyph in those two colours.
    EXPECT_EQ(t.sorted[cells.chosen[2]], U'\u2580');
    EXPECT_EQ(cells.foreground[2], px::rgb(220, 20, 30));
    EXPECT_EQ(cells.background[2], px::rgb(20, 40, 210));
    // Black is a colour like any other, never taken for one a cell keeps.
    EXPECT_TRUE(cells.foreground[3] == px::rgb(0, 0, 0) || cells.background[3] == px::rgb(0, 0, 0));
    EXPECT_NE(px::rgb(0, 0, 0), art::kKeepColour);
    // A thin stroke over a block that has one takes the colour of the pixels under it, and no colour of
    // either glyph leaves the block's own range.
    px::Image stroke(8, 16, px::rgb(200, 200, 190));
    for (int y = 2; y < 16; ++y)
        kpic::set(stroke, 3, y, px::rgb(40, 60, 50));
    const colourfit::Cells thin = colourfit::fit({stroke.view(), 8, 16}, 1, 1, t, sameLevels());
    EXPECT_EQ(t.sorted[thin.chosen[0]], U'|');
    EXPECT_EQ(thin.foreground[0], px::rgb(40, 60, 50));
    EXPECT_EQ(thin.background[0], px::rgb(200, 200, 190));
}

TEST(Choice, AFlatGreyGetsTheSameCharactersWhereverItStands) {
    // Nine glyphs of even ink, from none to half their cell's pixels in steps of a sixteenth.
    choice::Table t;
    for (int step = 8; step >= 0; --step) {
        glyphs::Pattern p{8, 16, std::vector<uint8_t>(128, 0)};
        for (int k = 0; k < 128; ++k)
            p.ink[size_t(k)] = (k * 7 + k / 8) % 16 < step ? 255 : 0;
        t.sorted.push_back(char32_t(U'0' + step));
        t.levels.push_back(std::accumulate(p.ink.begin(), p.ink.end(), 0) / 255);
        t.patterns.push_back(std::move(p));
    }
    choice::Options shape;
    shape.mapping = choice::Mapping::Shape;
    // Blocks of 4 x 8 parts, four rows of four: grey 87 alone, under a white band, under a black band.
    const auto text = [&](int band, bool inverted) {
        px::Image blocks(4, 4, grey(87));
        std::vector<uint8_t> parts(16 * 32, 87);
        for (int x = 0; band >= 0 && x < 4; ++x) {
            kpic::set(blocks, x, 0, grey(band));
            for (int y = 0; y < 8; ++y)
                for (int u = 0; u < 4; ++u)
                    parts[size_t(y * 16 + 4 * x + u)] = uint8_t(band);
        }
        shape.inverted = inverted;
        const auto chosen = choice::choose(blocks.view(), {{parts.data(), 16, 32, 16}, 4, 8}, t, shape);
        std::u32string out;
        for (size_t i = 8; i < chosen.size(); ++i) // the last two rows, grey alone
            out += t.sorted[chosen[i]];
        return out;
    };
    for (bool inverted : {false, true}) {
        const std::u32string alone = text(-1, inverted);
        EXPECT_EQ(text(255, inverted), alone) << "beside white";
        EXPECT_EQ(text(0, inverted), alone) << "beside black";
        EXPECT_EQ(alone, std::u32string(8, alone[0])) << "a flat grey, one character";
    }
    // Its tone is the light the grey stands for on the glyphs' scale (none to eight sixteenths), within a
    // step and nearer it than ink in proportion to the brightness: a dark grey lets little light through,
    // so little light ink on a dark page and much dark ink on a light one.
    const double light = std::pow(87 / 255.0, choice::kInkGamma), brightness = 87 / 255.0;
    for (bool inverted : {false, true}) {
        const double ink = double(text(-1, inverted)[0] - U'0');
        const double wanted = 8 * (inverted ? light : 1 - light),
                     linear = 8 * (inverted ? brightness : 1 - brightness);
        EXPECT_NEAR(ink, wanted, 1) << (inverted ? "light ink on a dark page" : "dark ink on a light page");
        EXPECT_LT(std::abs(ink - wanted), std::abs(ink - linear)) << "inverted " << inverted;
    }
}

TEST(Choice, AutomaticLevelsReachBothEndsOfTheTable) {
    const choice::Table t = madeTable();
    // A dull picture: greys from 100 to 140 only.
    px::Image dull(41, 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 41; ++x)
            kpic::set(dull, x, y, grey(100 + x));
    for (auto mapping : {choice::Mapping::Position, choice::Mapping::Ink}) {
        choice::Options o;
        o.mapping = mapping;
        const auto plain = choice::choose(dull.view(), {}, t, o);
        o.levels.automatic = true;
        const auto stretched = choice::choose(dull.view(), {}, t, o);
        EXPECT_FALSE(std::count(plain.begin(), plain.end(), 0) && std::count(plain.begin(), plain.end(), 5));
        EXPECT_TRUE(std::count(stretched.begin(), stretched.end(), 0)) << "the darkest character";
        EXPECT_TRUE(std::count(stretched.begin(), stretched.end(), 5)) << "the lightest character";
    }
    // Levels set by hand: contrast down to nothing is one grey; gamma above 1 lightens.
    const std::array<uint64_t, 256> none{};
    EXPECT_EQ(choice::levelsTable({false, 0, -100, 1}, none)[10],
              choice::levelsTable({false, 0, -100, 1}, none)[240]);
    EXPECT_GT(choice::levelsTable({false, 0, 0, 2}, none)[128], 128);
    EXPECT_EQ(choice::levelsTable({}, none)[77], 77) << "no levels: every brightness as it is";
}

TEST(Likeness, ADrawingOfThePictureScoresAboveAScrambledOne) {
    // The picture's own greys drawn back: detail and tone 1; the same cells shuffled score less.
    std::vector<double> picture(40 * 20);
    for (size_t k = 0; k < picture.size(); ++k)
        picture[k] = double((k * 37) % 251);
    const likeness::Score same = likeness::measure(picture, picture, 20, 10);
    EXPECT_NEAR(same.detail, 1, 1e-9);
    EXPECT_NEAR(same.tone, 1, 1e-9);
    std::vector<double> dimmer = picture;
    for (double& v : dimmer)
        v = v / 3 + 100; // a drawing cannot be as dark: its mean and spread do not count
    EXPECT_NEAR(likeness::measure(picture, dimmer, 20, 10).detail, 1, 1e-9);
    std::vector<double> scrambled(picture.rbegin(), picture.rend());
    const likeness::Score other = likeness::measure(picture, scrambled, 20, 10);
    EXPECT_LT(other.detail, 0.5);
    EXPECT_LT(other.tone, 0.5);
}

} // namespace
