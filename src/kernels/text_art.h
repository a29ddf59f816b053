#pragma once

#include "kernels/pixels.h"

#include <string>
#include <string_view>
#include <vector>

// The forms a result is shared in besides plain text: the same characters, each in its block's average
// colour as ANSI escape sequences for a terminal, or as an HTML page. Either form, stripped of its
// markup, is the plain text.
namespace art {

// A colour a cell leaves as it is: the foreground of a blank, the background behind a glyph that covers
// its whole cell (or, without backgrounds, the text's own). Every colour px::rgb makes is opaque, black
// too: this one is not, so that no colour is ever taken for it.
constexpr px::Pixel kKeepColour = 0x00000000u;

// A result's lines of characters (code points, no line ends), each character with its block's colour
// when the result has them, and with a background colour of its own when the cells have two colours.
struct Lines {
    std::vector<std::u32string> text;
    std::vector<std::vector<px::Pixel>> colours;     // empty, or one list a line, one colour a character
    std::vector<std::vector<px::Pixel>> backgrounds; // empty, or as the colours: each cell's background
    bool coloured() const { return !colours.empty(); }
    bool twoColours() const { return !backgrounds.empty(); }
};

// The lines of a buffer mapped onto a table sorted darkest first, with the buffer's colours.
Lines fromBuffer(px::View buffer, const std::vector<char32_t>& sorted);

// The lines of a text whose lines end in `lineEnd` (a result as the result window holds it, perhaps
// edited); the last line end ends a line, it does not start one. No colours.
Lines fromText(std::u32string_view text, std::u32string_view lineEnd);

enum class Palette { TrueColor, Xterm256, Ansi16 };

// The nearest colour of xterm's 256-colour palette (16 to 255), and of the 16 standard colours (0 to 15).
int xterm256(px::Pixel colour);
int ansi16(px::Pixel colour);

// The escape sequence that sets the foreground to a colour in a palette.
std::string sgr(px::Pixel colour, Palette palette);
constexpr std::string_view kReset = "\x1b[0m";

// Text with each character in its colour: a run of characters of one colour shares one sequence, and every
// line ends with a reset before its line end, so the text is safe to print. The sequences are ASCII; the
// caller encodes the text as it encodes plain text.
std::u32string ansi(const Lines& lines, Palette palette, std::u32string_view lineEnd);
// The same text in UTF-8.
std::string ansiUtf8(const Lines& lines, Palette palette, std::u32string_view lineEnd);

struct Page {
    std::string title;      // UTF-8, shown as the page's title
    std::string fontFamily; // UTF-8; "monospace" is named after it
    double points = 8;
    bool dark = false; // light characters on black, for a table in reversed order
};

// Text for HTML: &, <, >, " and ' as entities, control characters as numeric references, the rest UTF-8.
std::string escapeHtml(std::u32string_view text);

// One self-contained UTF-8 page: the lines in a <pre> (a line break follows the <pre> tag, which browsers
// drop), coloured runs as <span> elements, lines ending in LF.
std::string html(const Lines& lines, const Page& page);

} // namespace art
