#include "engine/text_mapping.h"
#include "support/pictures.h"

#include <gtest/gtest.h>

namespace {

std::vector<QChar> table(const QString& s) {
    return {s.begin(), s.end()};
}

TEST(Mapping, WorkedPositions) {
    const std::tuple<int, int, int> rows[] = {{10, 0, 1},  {10, 128, 6},    {10, 255, 10}, {2, 0, 1},
                                              {2, 127, 1}, {2, 128, 2},     {2, 255, 2},   {1, 0, 1},
                                              {1, 255, 1}, {256, 255, 256}, {256, 1, 2},   {256, 0, 1}};
    for (auto [count, b, p] : rows)
        EXPECT_EQ(mapping::position(count, b), p) << count << " entries, brightness " << b;
}

TEST(Mapping, BrightnessIsTheRoundedMeanOfTheChannels) {
    EXPECT_EQ(mapping::brightness(qRgb(0, 0, 8)), 3); // dark blue
    EXPECT_EQ(mapping::brightness(qRgb(8, 0, 0)), 3); // dark red
    EXPECT_EQ(mapping::brightness(qRgb(10, 10, 10)), 10);
    EXPECT_EQ(mapping::brightness(qRgb(1, 0, 0)), 0);
    EXPECT_EQ(mapping::brightness(qRgb(2, 0, 0)), 1);
    EXPECT_EQ(mapping::brightness(qRgb(255, 255, 255)), 255);
}

TEST(Mapping, BlackWhiteAndOneEntry) {
    const auto t = table("#+. ");
    EXPECT_EQ(mapping::transform(testpic::filled(3, 1, qRgb(0, 0, 0)), t), "###\r\n");
    EXPECT_EQ(mapping::transform(testpic::filled(3, 1, qRgb(255, 255, 255)), t), "   \r\n");
    EXPECT_EQ(mapping::transform(testpic::ramp(4, 2), table("x")), "xxxx\r\nxxxx\r\n");
}

TEST(Mapping, ThreeByTwoBufferGivesTenCharacters) {
    QImage buffer(3, 2, QImage::Format_RGB32);
    const QRgb px[2][3] = {{qRgb(0, 0, 0), qRgb(128, 128, 128), qRgb(255, 255, 255)},
                           {qRgb(255, 0, 0), qRgb(0, 0, 8), qRgb(200, 200, 255)}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            buffer.setPixel(x, y, px[y][x]);
    const QString text = mapping::transform(buffer, table("0123456789"));
    EXPECT_EQ(text.size(), 10);
    // Brightness 0, 128, 255 / 85, 3, 218 -> entries 1, 6, 10 / 4, 1, 9.
    EXPECT_EQ(text, "059\r\n308\r\n");
    EXPECT_EQ(mapping::transform(buffer, table("ab"), "\n"), "abb\naab\n");
}

TEST(Mapping, LookupTableAgreesWithTheFormula) {
    const auto t = table("abcdefghijklm");
    const auto lut = mapping::lookupTable(t);
    for (int sum = 0; sum <= 765; ++sum)
        ASSERT_EQ(lut[sum], t[mapping::position(int(t.size()), (sum + 1) / 3) - 1]) << sum;
}

} // namespace
