#include "base/words.h"

#include <gtest/gtest.h>

namespace {

// What a mistyped word is taken to mean: a word it begins, one or two edits away (two for longer words), two
// letters swapped counting as one edit; nothing far off.
TEST(Words, NearestKnownWord) {
    const std::vector<std::string> known = {"--color", "--columns", "--contrast", "shape", "ink", "position"};
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"--colour", "--color"}, {"--column", "--columns"}, {"shaep", "shape"},      {"inc", "ink"},
        {"posit", "position"},   {"--contr", "--contrast"}, {"curve", std::nullopt}, {"x", std::nullopt},
    };
    for (const auto& [typed, meant] : rows)
        EXPECT_EQ(words::nearest(typed, known), meant) << typed;
}

TEST(Words, ListsAndLines) {
    EXPECT_EQ(words::listed({}), "");
    EXPECT_EQ(words::listed({"text"}), "text");
    EXPECT_EQ(words::listed({"dark", "light"}), "dark or light");
    EXPECT_EQ(words::listed({"text", "html", "png"}), "text, html or png");
    // Lines of at most 20 characters, the first starting at column 5, the others indented by 2.
    EXPECT_EQ(words::wrapped("one two three four five six seven", 5, 2, 20),
              "one two three\n  four five six\n  seven");
}

} // namespace
