#include "kernel_pictures.h"
#include "kernels/text_mapping.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

namespace {

std::vector<char32_t> table(const std::u32string& s) {
    return {s.begin(), s.end()};
}

std::u32string transform(const px::Image& buffer, const std::u32string& t,
                         const std::u32string& end = U"\r\n") {
    return mapping::TextMapper<char32_t>(table(t), end).transform(buffer.view());
}

TEST(Mapping, WorkedPositions) {
    const std::tuple<int, int, int> rows[] = {{10, 0, 1},  {10, 128, 6},    {10, 255, 10}, {2, 0, 1},
                                              {2, 127, 1}, {2, 128, 2},     {2, 255, 2},   {1, 0, 1},
                                              {1, 255, 1}, {256, 255, 256}, {256, 1, 2},   {256, 0, 1}};
    for (auto [count, b, p] : rows)
        EXPECT_EQ(mapping::position(count, b), p) << count << " entries, brightness " << b;
}

TEST(Mapping, BrightnessIsTheRoundedMeanOfTheChannels) {
    EXPECT_EQ(mapping::brightness(px::rgb(0, 0, 8)), 3); // dark blue
    EXPECT_EQ(mapping::brightness(px::rgb(8, 0, 0)), 3); // dark red
    EXPECT_EQ(mapping::brightness(px::rgb(10, 10, 10)), 10);
    EXPECT_EQ(mapping::brightness(px::rgb(1, 0, 0)), 0);
    EXPECT_EQ(mapping::brightness(px::rgb(2, 0, 0)), 1);
    EXPECT_EQ(mapping::brightness(px::rgb(255, 255, 255)), 255);
}

TEST(Mapping, BlackWhiteAndOneEntry) {
    EXPECT_EQ(transform(kpic::filled(3, 1, px::rgb(0, 0, 0)), U"#+. "), U"###\r\n");
    EXPECT_EQ(transform(kpic::filled(3, 1, px::rgb(255, 255, 255)), U"#+. "), U"   \r\n");
    EXPECT_EQ(transform(kpic::ramp(4, 2), U"x"), U"xxxx\r\nxxxx\r\n");
}

TEST(Mapping, ThreeByTwoBufferGivesTenCharacters) {
    px::Image buffer(3, 2, 0);
    const px::Pixel pixels[2][3] = {{px::rgb(0, 0, 0), px::rgb(128, 128, 128), px::rgb(255, 255, 255)},
                                    {px::rgb(255, 0, 0), px::rgb(0, 0, 8), px::rgb(200, 200, 255)}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            kpic::set(buffer, x, y, pixels[y][x]);
    const std::u32string text = transform(buffer, U"0123456789");
    EXPECT_EQ(text.size(), 10u);
    // Brightness 0, 128, 255 / 85, 3, 218 -> entries 1, 6, 10 / 4, 1, 9.
    EXPECT_EQ(text, U"059\r\n308\r\n");
    EXPECT_EQ(transform(buffer, U"ab", U"\n"), U"abb\naab\n");
}

TEST(Mapping, EveryPixelGoesThroughTheDocumentedFormula) {
    // Pixels of every channel sum, in several mixes of channels: the mapper's character is the table's
    // entry at position(count, brightness(pixel)).
    const auto t = table(U"abcdefghijklm");
    px::Image buffer(766, 3, 0);
    for (int sum = 0; sum <= 765; ++sum) {
        const int third = sum / 3, rest = sum % 3;
        kpic::set(buffer, sum, 0, px::rgb(third + (rest > 0), third + (rest > 1), third));
        kpic::set(buffer, sum, 1,
                  px::rgb(std::min(sum, 255), std::clamp(sum - 255, 0, 255), std::max(sum - 510, 0)));
        kpic::set(buffer, sum, 2,
                  px::rgb(std::max(sum - 510, 0), std::clamp(sum - 255, 0, 255), std::min(sum, 255)));
    }
    const std::u32string text = mapping::TextMapper<char32_t>(t, U"\n").transform(buffer.view());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x <= 765; ++x) {
            const px::Pixel p = kpic::at(buffer, x, y);
            ASSERT_EQ(text[size_t(y) * 767 + size_t(x)],
                      t[size_t(mapping::position(13, mapping::brightness(p)) - 1)])
                << x << "," << y;
        }
}

TEST(Mapping, EveryEncodingWritesTheSameCharacters) {
    // A table that needs one, two, three and four UTF-8 bytes and a UTF-16 surrogate pair.
    const std::u32string t = U"\U0001F600\u2588\u00e9#";
    const px::Image buffer = kpic::ramp(37, 5);
    const std::u32string wide = transform(buffer, t, U"\n");
    const std::string utf8 = mapping::TextMapper<char>(table(t), "\n").transform(buffer.view());
    const std::u16string utf16 = mapping::TextMapper<char16_t>(table(t), u"\n").transform(buffer.view());
    std::string expected8;
    std::u16string expected16;
    for (char32_t c : wide) {
        char units8[4];
        char16_t units16[2];
        expected8.append(units8, size_t(mapping::encode<char>(c, units8)));
        expected16.append(units16, size_t(mapping::encode<char16_t>(c, units16)));
    }
    EXPECT_EQ(utf8, expected8);
    EXPECT_EQ(utf16, expected16);
    char units[4];
    EXPECT_EQ(mapping::encode<char>(U'\U0001F600', units), 4);
    EXPECT_EQ(std::string(units, 4), "\xF0\x9F\x98\x80");
    char16_t pair[2];
    EXPECT_EQ(mapping::encode<char16_t>(U'\U0001F600', pair), 2);
    EXPECT_EQ(pair[0], 0xD83D);
    EXPECT_EQ(pair[1], 0xDE00);
}

TEST(Mapping, EmptyBufferGivesNoText) {
    EXPECT_TRUE(transform(px::Image(), U"#").empty());
    EXPECT_TRUE(transform(px::Image(0, 3, 0), U"#").empty());
}

} // namespace
