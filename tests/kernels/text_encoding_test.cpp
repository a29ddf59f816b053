#include "kernels/text_encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEncoding, SingleByteWhenEveryCharacterFits) {
    const std::u32string table = U"ab\u20ac\u00e9";
    EXPECT_EQ(textcode::encode(table), "ab\x80\xe9");
    EXPECT_EQ(textcode::decode("ab\x80\xe9"), table);
}

TEST(TextEncoding, Utf8OtherwiseAndReadBackAsIs) {
    const std::u32string blocks = U"\u2588\u2593\u2592\u2591 \U0001F600";
    const std::string bytes = textcode::encode(blocks);
    EXPECT_EQ(bytes, "\xE2\x96\x88\xE2\x96\x93\xE2\x96\x92\xE2\x96\x91 \xF0\x9F\x98\x80");
    EXPECT_EQ(textcode::decode(bytes), blocks);
}

TEST(TextEncoding, WhatIsNotValidUtf8IsWindows1252) {
    const std::pair<const char*, std::u32string> rows[] = {
        {"caf\xe9", U"caf\u00e9"},                         // a lone Latin-1 byte
        {"\xC0\xAF", U"\u00c0\u00af"},                     // an overlong form
        {"\xED\xA0\x80", U"\u00ed\u00a0\u20ac"},           // a surrogate
        {"\xF4\x90\x80\x80", U"\u00f4\u0090\u20ac\u20ac"}, // past U+10FFFF
        {"ab\xE2\x96", U"ab\u00e2\u2013"},                 // cut short
    };
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(textcode::decode(bytes), text) << bytes;
    EXPECT_EQ(textcode::fromWindows1252(0x80), U'\u20ac');
    EXPECT_EQ(textcode::fromWindows1252(0x81), U'\u0081'); // undefined codes are the C1 controls
    EXPECT_EQ(textcode::toWindows1252(U'\u0081'), 0x81);
    EXPECT_EQ(textcode::toWindows1252(U'\u2588'), -1);
}

TEST(TextEncoding, ByteOrderMarkIsDroppedOnlyAtTheStart) {
    EXPECT_EQ(textcode::decode("\xEF\xBB\xBF"
                               "ab\xC3\xA9"),
              U"ab\u00e9");
    EXPECT_EQ(textcode::decode("a\xEF\xBB\xBF"
                               "b"),
              U"a\uFEFFb");
}

TEST(TextEncoding, EveryWindows1252CodeRoundTrips) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(char(c));
    const std::u32string text = textcode::decode(all);
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(textcode::encode(text), all);
}

TEST(TextEncoding, FirstLineEndsAtCrOrLf) {
    EXPECT_EQ(textcode::firstLineBytes("ab\r\ncd"), "ab");
    EXPECT_EQ(textcode::firstLineBytes("ab\ncd"), "ab");
    EXPECT_EQ(textcode::firstLineBytes("\rxyz"), "");
    EXPECT_EQ(textcode::firstLineBytes("whole"), "whole");
}

} // namespace

namespace {

// A name as a message shows it: what could steer a terminal escaped, everything else kept.
TEST(TextEncoding, NamesShownWithoutWhatSteersATerminal) {
    const std::pair<std::string, std::string> rows[] = {
        {"photo one.jpg", "photo one.jpg"},
        {"x\x1b]0;owned\x07\x1b[2J.jpg", "x\\033]0;owned\\007\\033[2J.jpg"},
        {"tab\there\nnew\x7f", "tab\\011here\\012new\\177"},
        {"c1 \xc2\x9b"
         "31m",
         "c1 \\x9b31m"}, // CSI as one C1 character
        {"gpj.\xe2\x80\xae"
         "exe",
         "gpj.\\u202eexe"}, // right-to-left override
        {"\xe2\x81\xa6isolate\xe2\x81\xa9", "\\u2066isolate\\u2069"},
        {"caf\xc3\xa9 \xe2\x96\x88 \xf0\x9f\x98\x80 back\\slash",
         "caf\xc3\xa9 \xe2\x96\x88 \xf0\x9f\x98\x80 back\\slash"},
        {"bad \xff\xc3 \xed\xa0\x80 cut\xe2\x96", "bad \\xff\\xc3 \\xed\\xa0\\x80 cut\\xe2\\x96"},
    };
    for (const auto& [name, shown] : rows)
        EXPECT_EQ(textcode::shown(name), shown) << shown;
}

} // namespace
