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
            text[size_t(x)] = lut[size_t(px::red(row[x]) + px::green(row[x]) + px::blue(row[x]))];
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

std::string sgr(px::Pixel colour, Palette palette) {
    char out[32];
    switch (palette) {
    case Palette::TrueColor:
        std::snprintf(out, sizeof out, "\x1b[38;2;%d;%d;%dm", px::red(colour), px::green(colour),
                      px::blue(colour));
        break;
    case Palette::Xterm256:
        std::snprintf(out, sizeof out, "\x1b[38;5;%dm", xterm256(colour));
        break;
    case Palette::Ansi16: {
        const int c = ansi16(colour);
        std::snprintf(out, sizeof out, "\x1b[%dm", c < 8 ? 30 + c : 90 + c - 8);
        break;
    }
    }
    return out;
}

std::u32string ansi(const Lines& lines, Palette palette, std::u32string_view lineEnd) {
    std::u32string out;
    const auto append = [&out](std::string_view ascii) { out.append(ascii.begin(), ascii.end()); };
    for (size_t y = 0; y < lines.text.size(); ++y) {
        const std::u32string& text = lines.text[y];
        std::string current;
        for (size_t x = 0; x < text.size(); ++x) {
            if (lines.coloured()) {
                std::string wanted = sgr(lines.colours[y][x], palette);
                if (wanted != current) {
                    append(wanted);
                    current = std::move(wanted);
                }
            }
            out += text[x];
        }
        append(kReset);
        out += lineEnd;
    }
    return out;
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

std::string html(const Lines& lines, const Page& page) {
    std::string family;
    for (char c : page.fontFamily) {
        if (c == '"' || c == '\\')
            family += '\\';
        if (c == '<' || c == '>')
            continue; // nothing in a style may end the style element
        family += c;
    }
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
