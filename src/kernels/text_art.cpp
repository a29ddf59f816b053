#include "kernels/text_art.h"

#include "kernels/text_encoding.h"
#include "kernels/text_mapping.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace art {

namespace {

int distance(px::Pixel colour, int r, int g, int b) {
    const int dr = px::red(colour) - r, dg = px::green(colour) - g, db = px::blue(colour) - b;
    return dr * dr + dg * dg + db * db;
}

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

int xterm256(px::Pixel colour) {
    // The nearest of the cube's colours and of the 24 greys.
    const auto level = [](int v) {
        int best = 0;
        for (int i = 1; i < 6; ++i)
            if (std::abs(kCube[size_t(i)] - v) < std::abs(kCube[size_t(best)] - v))
                best = i;
        return best;
    };
    const int r = level(px::red(colour)), g = level(px::green(colour)), b = level(px::blue(colour));
    int best = 16 + 36 * r + 6 * g + b;
    int bestDistance = distance(colour, kCube[size_t(r)], kCube[size_t(g)], kCube[size_t(b)]);
    for (int i = 0; i < 24; ++i) {
        const int grey = 8 + 10 * i;
        const int d = distance(colour, grey, grey, grey);
        if (d < bestDistance) {
            bestDistance = d;
            best = 232 + i;
        }
    }
    return best;
}

int ansi16(px::Pixel colour) {
    int best = 0;
    for (int i = 1; i < 16; ++i)
        if (distance(colour, kAnsi16[size_t(i)][0], kAnsi16[size_t(i)][1], kAnsi16[size_t(i)][2]) <
            distance(colour, kAnsi16[size_t(best)][0], kAnsi16[size_t(best)][1], kAnsi16[size_t(best)][2]))
            best = i;
    return best;
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

template <class Text> void appendSgr(Text& out, px::Pixel colour, Palette palette, int key) {
    switch (palette) {
    case Palette::TrueColor:
        appendAscii(out, "\x1b[38;2;");
        appendNumber(out, px::red(colour));
        out.push_back(';');
        appendNumber(out, px::green(colour));
        out.push_back(';');
        appendNumber(out, px::blue(colour));
        break;
    case Palette::Xterm256:
        appendAscii(out, "\x1b[38;5;");
        appendNumber(out, key);
        break;
    case Palette::Ansi16:
        appendAscii(out, "\x1b[");
        appendNumber(out, key < 8 ? 30 + key : 90 + key - 8);
        break;
    }
    out.push_back('m');
}

// The coloured text in code points or in UTF-8. A photograph changes colour at nearly every character, so
// the sequences are written straight into the text, and a palette's nearest colour is looked up once for
// a run of equal colours.
template <class Text, class PutChar>
Text ansiText(const Lines& lines, Palette palette, std::u32string_view lineEnd, PutChar put) {
    Text out;
    size_t characters = 0;
    for (const std::u32string& line : lines.text)
        characters += line.size() + lineEnd.size();
    out.reserve(characters * (lines.coloured() ? 20 : 1));
    for (size_t y = 0; y < lines.text.size(); ++y) {
        const std::u32string& text = lines.text[y];
        int current = -1;
        px::Pixel previous = 0;
        for (size_t x = 0; x < text.size(); ++x) {
            if (lines.coloured()) {
                const px::Pixel colour = lines.colours[y][x];
                if (current < 0 || colour != previous) {
                    const int key = paletteKey(colour, palette);
                    if (key != current)
                        appendSgr(out, colour, palette, key);
                    current = key;
                    previous = colour;
                }
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
            size_t x = 0;
            while (x < text.size()) {
                const px::Pixel colour = lines.colours[y][x] & 0xFFFFFF;
                size_t end = x + 1;
                while (end < text.size() && (lines.colours[y][end] & 0xFFFFFF) == colour)
                    ++end;
                out += "<span style=\"color:" + hexColour(colour) + "\">" +
                       escapeHtml(std::u32string_view(text).substr(x, end - x)) + "</span>";
                x = end;
            }
        }
        out += "\n";
    }
    out += "</pre></body>\n</html>\n";
    return out;
}

} // namespace art
