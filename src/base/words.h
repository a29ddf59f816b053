#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Words as a command line's messages use them: a mistyped word's nearest known one, a list of words as a
// sentence names them, and text filled into lines.
namespace words {

// The nearest of some words to what was typed: one it begins (when at least three characters are typed),
// or one a couple of edits away (a character inserted, removed, changed, or two swapped); nothing when none
// is near.
std::optional<std::string> nearest(const std::string& typed, const std::vector<std::string>& known);

// "a", "a or b", "a, b or c".
std::string listed(const std::vector<std::string>& words);

// Words filled into lines of at most `width` characters, starting at `column`; every line after the first
// is indented by `indent`.
std::string wrapped(const std::string& text, size_t column, size_t indent, size_t width);

} // namespace words
