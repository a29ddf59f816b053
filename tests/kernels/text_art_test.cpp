#include "kernel_pictures.h"
#include "kernels/text_art.h"
#include "kernels/text_encoding.h"
#include "kernels/text_mapping.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

const std::vector<char32_t> kTable = {U'@', U'#', U'+', U'.', U' '};

// A buffer of known blocks: three colours in runs, and a last row of one colour.
px::Image blocks() {
    px::Image b(6, 2, 0);
    const px::Pixel row0[6] = {px::rgb(10, 20, 30), px::rgb(10, 20, 30), px::rgb(200, 0, 0),
                               px::rgb(0, 0, 255),  px::rgb(0, 0, 255),  px::rgb(10, 20, 30)};
    for (int x = 0; x < 6; ++x) {
        kpic::set(b, x, 0, row0[x]);
        kpic::set(b, x, 1, px::rgb(250, 250, 250));
    }
    return b;
}

std::string plain(const px::Image& b) {
    return mapping::TextMapper<char>(kTable, "\n").transform(b.view());
}

// The text with every escape sequence taken out.
std::string stripped(const std::string& ansi) {
    return std::regex_replace(ansi, std::regex("\x1b\\[[0-9;]*m"), "");
}

TEST(Ansi, StrippedOfItsSequencesItIsThePlainText) {
    const px::Image b = blocks();
    for (auto palette : {art::Palette::TrueColor, art::Palette::Xterm256, art::Palette::Ansi16}) {
        const art::Lines lines = art::fromBuffer(b.view(), kTable);
        const std::string out = textcode::utf8(art::ansi(lines, palette, U"\n"));
        EXPECT_EQ(stripped(out), plain(b));
        EXPECT_EQ(art::ansiUtf8(lines, palette, U"\n"), out) << "the UTF-8 form is the same text";
    }
}

TEST(Ansi, ColoursThatShareAPaletteEntryShareItsSequence) {
    art::Lines lines;
    lines.text = {U"é€a"};
    // Two reds that the 16 colours cannot tell apart, then blue.
    lines.colours = {{px::rgb(250, 0, 0), px::rgb(255, 10, 0), px::rgb(0, 0, 255)}};
    EXPECT_EQ(art::ansiUtf8(lines, art::Palette::Ansi16, U"\r\n"), "\x1b[91mé€\x1b[34ma\x1b[0m\r\n");
    EXPECT_EQ(art::ansiUtf8(lines, art::Palette::TrueColor, U"\n"),
              "\x1b[38;2;250;0;0mé\x1b[38;2;255;10;0m€\x1b[38;2;0;0;255ma\x1b[0m\n");
}

TEST(Ansi, EveryLineSetsItsColourAfterThePreviousLinesReset) {
    // The second line goes on in the colour the first ended in; the reset between them took it away.
    art::Lines lines;
    lines.text = {U"ab", U"c"};
    lines.colours = {{px::rgb(0, 0, 255), px::rgb(1, 2, 3)}, {px::rgb(1, 2, 3)}};
    for (auto palette : {art::Palette::TrueColor, art::Palette::Xterm256, art::Palette::Ansi16}) {
        const std::string out = art::ansiUtf8(lines, palette, U"\n");
        const std::string second = out.substr(out.find('\n') + 1);
        EXPECT_EQ(second.rfind(art::sgr(px::rgb(1, 2, 3), palette), 0), 0u) << second;
    }
}

TEST(Ansi, EveryColourIsItsBlocksAndRunsShareOne) {
    const std::string out =
        textcode::utf8(art::ansi(art::fromBuffer(blocks().view(), kTable), art::Palette::TrueColor, U"\n"));
    // Row 0 has four runs (dark, red, blue, dark), row 1 one; each line ends with a reset.
    // Brightness 20, 67, 85 and 250 take entries 1, 2, 2 and 5 of the table.
    EXPECT_EQ(out, "\x1b[38;2;10;20;30m@@\x1b[38;2;200;0;0m#\x1b[38;2;0;0;255m##\x1b[38;2;10;20;30m@\x1b[0m\n"
                   "\x1b[38;2;250;250;250m      \x1b[0m\n");
}

TEST(Ansi, NearestPaletteColours) {
    const std::tuple<px::Pixel, int, int> rows[] = {
        {px::rgb(255, 0, 0), 196, 9},     {px::rgb(0, 0, 0), 16, 0},   {px::rgb(255, 255, 255), 231, 15},
        {px::rgb(128, 128, 128), 244, 8}, {px::rgb(0, 205, 0), 40, 2}, {px::rgb(95, 135, 175), 67, 8},
        {px::rgb(238, 238, 238), 255, 7}};
    for (auto [colour, x256, x16] : rows) {
        EXPECT_EQ(art::xterm256(colour), x256) << std::hex << colour;
        EXPECT_EQ(art::ansi16(colour), x16) << std::hex << colour;
    }
    EXPECT_EQ(art::sgr(px::rgb(1, 2, 3), art::Palette::TrueColor), "\x1b[38;2;1;2;3m");
    EXPECT_EQ(art::sgr(px::rgb(255, 0, 0), art::Palette::Xterm256), "\x1b[38;5;196m");
    EXPECT_EQ(art::sgr(px::rgb(255, 0, 0), art::Palette::Ansi16), "\x1b[91m");
    EXPECT_EQ(art::sgr(px::rgb(205, 0, 0), art::Palette::Ansi16), "\x1b[31m");
}

// The text of the page's <pre>, markup and references taken out: what a browser shows.
std::string pageText(const std::string& html) {
    const size_t start = html.find("<pre>\n") + 6, end = html.find("</pre>");
    std::string body = std::regex_replace(html.substr(start, end - start), std::regex("<[^>]*>"), "");
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '&') {
            out += body[i];
            continue;
        }
        const size_t semi = body.find(';', i);
        const std::string name = body.substr(i + 1, semi - i - 1);
        if (name == "amp")
            out += '&';
        else if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "quot")
            out += '"';
        else if (name[0] == '#')
            out += textcode::utf8(std::u32string(1, char32_t(std::stoul(name.substr(1)))));
        i = semi;
    }
    return out;
}

TEST(Html, ItsTextIsThePlainTextEscaped) {
    const std::vector<char32_t> tricky = {U'<', U'&', U'"', U'\'', U'\u00e9', U'\r', U'\n', U' '};
    px::Image b(8, 3, 0);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 3; ++y)
            kpic::set(b, x, y, px::rgb(x * 36, x * 36, x * 36));
    const std::string expected = mapping::TextMapper<char>(tricky, "\n").transform(b.view());
    for (bool coloured : {false, true}) {
        art::Lines lines = art::fromBuffer(b.view(), tricky);
        if (!coloured)
            lines.colours.clear();
        art::Page page{"a <cat> & \"dog\".jpg", "Courier \"New\"", 9, false};
        const std::string html = art::html(lines, page);
        EXPECT_EQ(pageText(html), expected) << coloured;
        EXPECT_NE(html.find("<title>a &lt;cat&gt; &amp; &quot;dog&quot;.jpg</title>"), std::string::npos);
        EXPECT_NE(html.find("font-family: \"Courier \\\"New\\\"\", monospace; font-size: 9pt"),
                  std::string::npos);
        EXPECT_NE(html.find("&#13;"), std::string::npos) << "a table's CR keeps its identity";
        EXPECT_EQ(html.find('\r'), std::string::npos);
        EXPECT_NE(html.find("\xC3\xA9"), std::string::npos) << "UTF-8 as it is";
        EXPECT_EQ(html.find("<span") != std::string::npos, coloured);
    }
    // A font name cannot break out of its CSS string, nor out of the style element.
    const std::string css =
        art::html(art::fromBuffer(b.view(), tricky), {"t", "Mono\nb{color:red}</style>\t", 9, false});
    EXPECT_NE(css.find("font-family: \"Mono\\A b{color:red}\\3C /style\\3E \\9 \", monospace;"),
              std::string::npos)
        << css;
}

TEST(Html, ColouredRunsAreMerged) {
    const std::string html = art::html(art::fromBuffer(blocks().view(), kTable), {"t", "Mono", 8, true});
    EXPECT_NE(html.find("<span style=\"color:#0a141e\">@@</span><span style=\"color:#c80000\">#</span>"
                        "<span style=\"color:#0000ff\">##</span><span style=\"color:#0a141e\">@</span>\n"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("background: #000000"), std::string::npos) << "dark";
}

TEST(Lines, TextSplitsAtItsLineEnds) {
    const art::Lines l = art::fromText(U"ab\r\n\r\nc\rd\r\n", U"\r\n");
    EXPECT_EQ(l.text, (std::vector<std::u32string>{U"ab", U"", U"c\rd"}));
    EXPECT_FALSE(l.coloured());
    EXPECT_EQ(art::fromText(U"no end", U"\r\n").text, (std::vector<std::u32string>{U"no end"}));
}

} // namespace
