#include "core/errors.h"
#include "core/numbers.h"

#include "base/numbers.h"

#include <QLocale>
#include <cmath>
#include <random>

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

struct ValRow {
    const char* name;
    const char16_t* text;
    double expected;
};

class LenientNumber : public ::testing::TestWithParam<ValRow> {};

TEST_P(LenientNumber, ReadsTheLeadingNumber) {
    EXPECT_DOUBLE_EQ(num::val(QString::fromUtf16(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LenientNumber,
    ::testing::Values(ValRow{"TrailingLetters", u"2x", 2}, ValRow{"PointOne", u"1.0", 1},
                      ValRow{"NoNumber", u"abc", 0}, ValRow{"Empty", u"", 0},
                      ValRow{"BlanksInside", u" 1 2", 12}, ValRow{"TabsAndLineFeeds", u"\t3\n4", 34},
                      ValRow{"Negative", u"-7", -7}, ValRow{"TrailingPoint", u"8.", 8},
                      ValRow{"LeadingPoint", u".5", 0.5}, ValRow{"SecondPointStops", u"1.2.3", 1.2},
                      ValRow{"Exponent", u"1e3", 1000}, ValRow{"DoubleExponent", u"2D2", 200},
                      ValRow{"DanglingExponent", u"5e", 5}, ValRow{"Hex", u"&H10", 16},
                      ValRow{"HexIs16BitSigned", u"&HFFFF", -1}, ValRow{"LongHex", u"&H10000", 65536},
                      ValRow{"Octal", u"&O17", 15}, ValRow{"CommaIsNoMark", u"2,5", 2},
                      ValRow{"NonAsciiStops", u"3\u00bd", 3}, ValRow{"Huge", u"1e308", 1e308}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LenientNumberLimits, OverflowIsError6) {
    EXPECT_EQ(errorOf([] { num::val("1e400"); }), err::Overflow);
}

TEST(StrictNumber, AcceptsOnlyWholeNumbers) {
    EXPECT_DOUBLE_EQ(num::strictToDouble("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(num::strictToDouble(" 3 "), 3);
    EXPECT_DOUBLE_EQ(num::strictToDouble("-0"), 0);
    EXPECT_DOUBLE_EQ(num::strictToDouble("&H1F"), 31);
    for (const char* bad : {"", "  ", "abc", "2x", "1.2.3", "&H", "&Hxyz", "nan", "inf"})
        EXPECT_EQ(errorOf([bad] { num::strictToDouble(bad); }), err::TypeMismatch) << bad;
    EXPECT_EQ(errorOf([] { num::strictToDouble("1e999"); }), err::Overflow);
}

// The converter reads settings without Qt: its reading of a locale's numbers must be Qt's. Short texts of
// digits, marks, signs, exponents and blanks, as Qt reads them after trimming, in a point and in a comma
// locale.
TEST(StrictNumber, PlainReadingIsQtsReading) {
    const char* pieces[] = {"0", "1", "5",      "9", ",", ".", "e", "E",
                            "+", "-", "\u2212", " ", "x", "i", "n", "f"};
    std::mt19937 random(17);
    for (const auto& [name, marks] : {std::pair<const char*, numbers::Marks>{"C", {U'.', U','}},
                                      std::pair<const char*, numbers::Marks>{"de_DE", {U',', U'.'}}}) {
        const QLocale locale(QString::fromLatin1(name));
        for (int i = 0; i < 30000; ++i) {
            QString text;
            for (int n = 1 + int(random() % 8); n > 0; --n)
                text += QString::fromUtf8(pieces[random() % std::size(pieces)]);
            text = text.trimmed();
            bool ok = false;
            const double qt = locale.toDouble(text, &ok);
            if (text.isEmpty() || (ok && !std::isfinite(qt)))
                continue; // inf and nan are refused whoever reads them
            const std::optional<double> plain = numbers::readLocaleNumber(text.toStdString(), marks);
            ASSERT_EQ(plain.has_value(), ok) << name << " [" << text.toStdString() << "]";
            if (ok) {
                ASSERT_EQ(*plain, qt) << name << " [" << text.toStdString() << "]";
            }
        }
    }
}

TEST(Rounding, HalfGoesToTheEvenNeighbour) {
    const std::pair<double, double> rows[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {0.5, 0},
                                              {1.5, 2}, {2.6, 3}, {2.4, 2}};
    for (auto [in, out] : rows)
        EXPECT_EQ(num::roundHalfEven(in), out) << in;
}

TEST(Rounding, RangeChecksRaiseOverflow) {
    EXPECT_EQ(num::toInt16(32767.4), 32767);
    EXPECT_EQ(num::toInt16(-32768), -32768);
    EXPECT_EQ(errorOf([] { num::toInt16(32767.5); }), err::Overflow); // rounds to the even 32768
    EXPECT_EQ(num::toInt32(2147483647), 2147483647);
    EXPECT_EQ(errorOf([] { num::toInt32(2147483648.0); }), err::Overflow);
    EXPECT_EQ(errorOf([] { num::toInt32(1e308); }), err::Overflow);
}

TEST(NumberText, GeneralFormat) {
    EXPECT_EQ(num::format(10), "10");
    EXPECT_EQ(num::format(10.5), "10.5");
    EXPECT_EQ(num::format(0), "0");
    EXPECT_EQ(num::format(-0.0), "0");
    EXPECT_EQ(num::format(-3), "-3");
    EXPECT_EQ(num::format(123456789012345.0), "123456789012345");
    EXPECT_EQ(num::format(1e15), "1E+15");
    EXPECT_EQ(num::format(0.0001), "0.0001");
    EXPECT_EQ(num::format(0.00001), "1E-05");
    EXPECT_EQ(num::format(1e308), "1E+308");
    EXPECT_EQ(num::format(0.1 + 0.2), "0.3"); // fifteen significant digits hide the binary tail
}

} // namespace
