#include "kernels/text_art.h"

#include "kernels/colour_space.h"
#include "kernels/text_encoding.h"
#include "kernels/text_mapping.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace art {

namespace {

// xterm's default values for the 16 standard colours.
constexpr std::array<std::array<int, 3>, 16> kAnsi16 = {{{0, 0, 0},
                                                         {205, 0, 0},
                                                         {0, 205, 0},
                                                         {205, 205, 0},
                                                         {0, 0, 238},
                                                         {205, 0, 205},
                                                         {0, 205, 205},
                                                         {229, 229, 229},
                                                         {127, 127, 127},
                                                         {255, 0, 0},
                                                         {0, 255, 0},
                                                         {255, 255, 0},
                                                         {92, 92, 255},
                                                         {255, 0, 255},
                                                         {0, 255, 255},
                                                         {255, 255, 255}}};

// The six levels of each channel of xterm's colour cube.
constexpr std::array<int, 6> kCube = {0, 95, 135, 175, 215, 255};

std::string hexColour(px::Pixel c) {
    char out[8];
    std::snprintf(out, sizeof out, "#%02x%02x%02x", px::red(c), px::green(c), px::blue(c));
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    char units[4];
    out.append(units, size_t(mapping::encode<char>(c, units)));
}

} // namespace

Lines fromBuffer(px::View buffer, const std::vector<char32_t>& sorted) {
    Lines lines;
    if (sorted.empty())
        return lines;
    const auto lut = mapping::lookupTable(sorted);
    lines.text.reserve(size_t(std::max(0, buffer.height)));
    lines.colours.reserve(size_t(std::max(0, buffer.height)));
    for (int y = 0; y < buffer.height; ++y) {
        const px::Pixel* row = buffer.row(y);
        std::u32string text(size_t(buffer.width), U' ');
        for (int x = 0; x < buffer.width; ++x)
            text[size_t(x)] = lut[size_t(mapping::brightness(row[x]))];
        lines.text.push_back(std::move(text));
        lines.colours.emplace_back(row, row + buffer.width);
    }
    return lines;
}

Lines fromText(std::u32string_view text, std::u32string_view lineEnd) {
    Lines lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = lineEnd.empty() ? std::u32string_view::npos : text.find(lineEnd, at);
        if (end == std::u32string_view::npos) {
            lines.text.emplace_back(text.substr(at));
            break;
        }
        lines.text.emplace_back(text.substr(at, end - at));
        at = end + lineEnd.size();
    }
    return lines;
}

namespace {

// A palette's colours in CIELAB, to find the nearest as the eye sees it.
struct PaletteLab {
    std::vector<colours::Lab> lab;
    std::vector<int> index;
    int nearest(px::Pixel colour) const {
        const colours::Lab c = colours::lab(colour);
        size_t best = 0;
        for (size_t i = 1; i < lab.size(); ++i)
            if (colours::labDistance(c, lab[i]) < colours::labDistance(c, lab[best]))
                best = i;
        return index[best];
    }
};

} // namespace

int xterm256(px::Pixel colour) {
    // The cube's colours and the 24 greys (the first 16 are the terminal's own, whatever it makes them).
    static const PaletteLab palette = [] {
        PaletteLab p;
        for (int i = 16; i < 256; ++i) {
            const int grey = 8 + 10 * (i - 232);
            const int r = i < 232 ? kCube[size_t((i - 16) / 36)] : grey,
                      g = i < 232 ? kCube[size_t((i - 16) / 6 % 6)] : grey,
                      b = i < 232 ? kCube[size_t((i - 16) % 6)] : grey;
            p.lab.push_back(colours::lab(px::rgb(r, g, b)));
            p.index.push_back(i);
        }
        return p;
    }();
    return palette.nearest(colour);
}

int ansi16(px::Pixel colour) {
    static const PaletteLab palette = [] {
        PaletteLab p;
        for (int i = 0; i < 16; ++i) {
            p.lab.push_back(
                colours::lab(px::rgb(kAnsi16[size_t(i)][0], kAnsi16[size_t(i)][1], kAnsi16[size_t(i)][2])));
            p.index.push_back(i);
        }
        return p;
    }();
    return palette.nearest(colour);
}

namespace {

template <class Text> void appendAscii(Text& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

template <class Text> void appendNumber(Text& out, int value) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0)
        out.push_back(typename Text::value_type(digits[--n]));
}

// What tells two colours apart in a palette: the colour itself, or its index in the palette.
int paletteKey(px::Pixel colour, Palette palette) {
    switch (palette) {
    case Palette::Xterm256:
        return xterm256(colour);
    case Palette::Ansi16:
        return ansi16(colour);
    case Palette::TrueColor:
        break;
    }
    return int(colour & 0xFFFFFF);
}

// The parameters that set the foreground (or the background) to a colour: "38;2;R;G;B", "38;5;N" or
// 30 to 37 and 90 to 97 for the foreground; 48 and 40 to 47, 100 to 107 for the background.
template <class Text>
void appendColour(Text& out, px::Pixel colour, Palette palette, int key, bool background) {
    switch (palette) {
    case Palette::TrueColor:
        appendAscii(out, background ? "48;2;" : "38;2;");
        appendNumber(out, px::red(colour));
        out.push_back(';');
        appendNumber(out, px::green(colour));
        out.push_back(';');
        appendNumber(out, px::blue(colour));
        break;
    case Palette::Xterm256:
        appendAscii(out, background ? "48;5;" : "38;5;");
        appendNumber(out, key);
        break;
    case Palette::Ansi16:
        appendNumber(out, (key < 8 ? 30 + key : 90 + key - 8) + (background ? 10 : 0));
        break;
    }
}

template <class Text> void appendSgr(Text& out, px::Pixel colour, Palette palette, int key) {
    appendAscii(out, "\x1b[");
    appendColour(out, colour, palette, key, false);
    out.push_back('m');
}

// One of a line's two colours as the writer goes along it: a palette's nearest colour is looked up once for
// a run of equal colours, and a sequence is needed only where the palette's colour changes.
struct Pen {
    int current = -1;
    px::Pixel previous = 0;
    // Whether `colour` needs a sequence (kKeepColour never does); `key` is then its palette key.
    bool changes(px::Pixel colour, Palette palette, int& key) {
        if (colour == kKeepColour || (current >= 0 && colour == previous))
            return false;
        previous = colour;
        key = paletteKey(colour, palette);
        if (key == current)
            return false;
        current = key;
        return true;
    }
};

// The coloured text in code points or in UTF-8. A photograph changes colour at nearly every character, so
// the sequences are written straight into the text; the foreground and background, when both change, share
// one sequence.
template <class Text, class PutChar>
Text ansiText(const Lines& lines, Palette palette, std::u32string_view lineEnd, PutChar put) {
    Text out;
    size_t characters = 0;
    for (const std::u32string& line : lines.text)
        characters += line.size() + lineEnd.size();
    out.reserve(characters * (lines.twoColours() ? 36 : lines.coloured() ? 20 : 1));
    for (size_t y = 0; y < lines.text.size(); ++y) {
        const std::u32string& text = lines.text[y];
        Pen foreground, background;
        for (size_t x = 0; x < text.size(); ++x) {
            int fore = 0, back = 0;
            const bool newFore = lines.coloured() && foreground.changes(lines.colours[y][x], palette, fore);
            const bool newBack =
                lines.twoColours() && background.changes(lines.backgrounds[y][x], palette, back);
            if (newFore || newBack) {
                appendAscii(out, "\x1b[");
                if (newFore)
                    appendColour(out, lines.colours[y][x], palette, fore, false);
                if (newFore && newBack)
                    out.push_back(';');
                if (newBack)
                    appendColour(out, lines.backgrounds[y][x], palette, back, true);
                out.push_back('m');
            }
            put(out, text[x]);
        }
        appendAscii(out, kReset);
        for (char32_t c : lineEnd)
            put(out, c);
    }
    return out;
}

} // namespace

std::string sgr(px::Pixel colour, Palette palette) {
    std::string out;
    appendSgr(out, colour, palette, paletteKey(colour, palette));
    return out;
}

std::u32string ansi(const Lines& lines, Palette palette, std::u32string_view lineEnd) {
    return ansiText<std::u32string>(lines, palette, lineEnd,
                                    [](std::u32string& out, char32_t c) { out += c; });
}

std::string ansiUtf8(const Lines& lines, Palette palette, std::u32string_view lineEnd) {
    return ansiText<std::string>(lines, palette, lineEnd, [](std::string& out, char32_t c) {
        if (c < 0x80)
            out.push_back(char(c));
        else
            appendUtf8(out, c);
    });
}

std::string escapeHtml(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        switch (c) {
        case U'&':
            out += "&amp;";
            break;
        case U'<':
            out += "&lt;";
            break;
        case U'>':
            out += "&gt;";
            break;
        case U'"':
            out += "&quot;";
            break;
        case U'\'':
            out += "&#39;";
            break;
        default:
            // Control characters (a table's CR and LF among them) keep their identity as references.
            if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
                out += "&#" + std::to_string(unsigned(c)) + ";";
            } else {
                appendUtf8(out, c);
            }
        }
    }
    return out;
}

// A font name inside a double-quoted CSS string: quotes and backslashes escaped, line breaks and other
// control characters as CSS's hex escapes (a raw line break would end the string, and what follows would be
// read as style rules), and angle brackets too, so that nothing can end the style element.
std::string cssString(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F || c == '<' || c == '>') {
            char escape[12];
            std::snprintf(escape, sizeof escape, "\\%X ", byte == 0 ? 0xFFFDu : unsigned(byte));
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

std::string html(const Lines& lines, const Page& page) {
    const std::string family = cssString(page.fontFamily);
    char size[32];
    std::snprintf(size, sizeof size, "%gpt", page.points);
    const std::string background = page.dark ? "#000000" : "#ffffff";
    const std::string foreground = page.dark ? "#ffffff" : "#000000";
    std::u32string title;
    textcode::decodeUtf8(page.title, title);
    std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                      escapeHtml(title) + "</title>\n<style>\nbody { margin: 0; background: " + background +
                      "; color: " + foreground + "; }\npre { margin: 0; font-family: \"" + family +
                      "\", monospace; font-size: " + size +
                      "; line-height: normal; }\n</style>\n</head>\n<body><pre>\n";
    for (size_t y = 0; y < lines.text.size(); ++y) {
        const std::u32string& text = lines.text[y];
        if (!lines.coloured()) {
            out += escapeHtml(text);
        } else {
            // Colours a cell keeps as they are take the one before them, so that runs stay long.
            std::vector<px::Pixel> fore = lines.colours[y], back;
            if (lines.twoColours())
                back = lines.backgrounds[y];
            for (size_t x = 0; x < fore.size(); ++x) {
                if (fore[x] == kKeepColour)
                    fore[x] = x > 0 ? fore[x - 1] : page.dark ? 0xFFFFFF : 0;
                if (!back.empty() && back[x] == kKeepColour)
                    back[x] = x > 0 ? back[x - 1] : page.dark ? 0 : 0xFFFFFF;
            }
            const auto same = [&](size_t a, size_t b) {
                return (fore[a] & 0xFFFFFF) == (fore[b] & 0xFFFFFF) &&
                       (back.empty() || (back[a] & 0xFFFFFF) == (back[b] & 0xFFFFFF));
            };
            size_t x = 0;
            while (x < text.size()) {
                size_t end = x + 1;
                while (end < text.size() && same(x, end))
                    ++end;
                out += "<span style=\"color:" + hexColour(fore[x] & 0xFFFFFF) +
                       (back.empty() ? std::string() : ";background:" + hexColour(back[x] & 0xFFFFFF)) +
                       "\">" + escapeHtml(std::u32string_view(text).substr(x, end - x)) + "</span>";
                x = end;
            }
        }
        out += "\n";
    }
    out += "</pre></body>\n</html>\n";
    return out;
}

} // namespace art
