#include "terminal/terminal.h"

#include <gtest/gtest.h>
#include <optional>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using cli::Background;

TEST(Terminal, ColoursAsTheEnvironmentSays) {
    struct Row {
        const char *colorTerm, *term;
        art::Palette palette;
    };
    const Row rows[] = {
        {"truecolor", "xterm-256color", art::Palette::TrueColor},
        {"24bit", "linux", art::Palette::TrueColor},
        {"TrueColor", nullptr, art::Palette::TrueColor},
        {nullptr, "xterm-256color", art::Palette::Xterm256},
        {"", "screen-256color", art::Palette::Xterm256},
        {"yes", "tmux-256color", art::Palette::Xterm256}, // a COLORTERM that names no depth
        {nullptr, "xterm", art::Palette::Ansi16},
        {nullptr, "linux", art::Palette::Ansi16},
        {nullptr, "dumb", art::Palette::Ansi16},
        {nullptr, nullptr, art::Palette::Ansi16},
    };
    for (const Row& r : rows)
        EXPECT_EQ(cli::paletteOfEnvironment(r.colorTerm, r.term), r.palette)
            << (r.colorTerm ? r.colorTerm : "(unset)") << " " << (r.term ? r.term : "(unset)");
    EXPECT_TRUE(cli::mayAskTerminal("xterm"));
    EXPECT_FALSE(cli::mayAskTerminal("dumb"));
    EXPECT_FALSE(cli::mayAskTerminal(""));
    EXPECT_FALSE(cli::mayAskTerminal(nullptr));
}

TEST(Terminal, BackgroundAnswersAndColorFgBg) {
    struct Row {
        const char* answer;
        std::optional<Background> background;
    };
    const Row answers[] = {
        {"\x1b]11;rgb:0000/0000/0000\x07", Background::Dark},
        {"\x1b]11;rgb:ffff/ffff/ffff\x1b\\", Background::Light}, // xterm's ending, ST
        {"\x1b]11;rgb:ff/ff/ff\x07", Background::Light},         // two digits a channel are 8 bits
        {"\x1b]11;rgb:f/f/f\x07", Background::Light},
        {"\x1b]11;rgb:fff/fff/fff\x07", Background::Light},
        {"\x1b]11;rgb:2e2e/3434/3636\x07", Background::Dark}, // a dark grey
        {"\x1b]11;rgb:c0/c0/c0\x07", Background::Light},      // a light grey
        {"\x1b]11;rgb:ffff/ffff\x07", std::nullopt},
        {"\x1b]11;rgb:fffff/ffff/ffff\x07", std::nullopt},
        {"\x1b]11;rgb:gg/00/00\x07", std::nullopt},
        {"\x1b]11;rgb://\x07", std::nullopt},
        {"\x1b]11;?\x07", std::nullopt},
    };
    for (const Row& r : answers)
        EXPECT_EQ(cli::backgroundOfAnswer(r.answer), r.background) << std::string(r.answer).substr(1);
    const Row colorFgBg[] = {
        {"0;15", Background::Light},
        {"15;0", Background::Dark},
        {"0;7", Background::Light},
        {"7;8", Background::Dark},
        {"0;default;15", Background::Light},
        {"12;1", Background::Dark},
        {"15;default", std::nullopt},
        {"0;16", std::nullopt},
        {"", std::nullopt},
        {"0;", std::nullopt},
        {"0;123", std::nullopt},
    };
    for (const Row& r : colorFgBg)
        EXPECT_EQ(cli::backgroundOfColorFgBg(r.answer), r.background) << r.answer;
    EXPECT_EQ(cli::backgroundOfColorFgBg(nullptr), std::nullopt);
}

} // namespace

namespace {

// A terminal that tells its size in pixels gives the cell's, as wide and as high as they are.
TEST(Terminal, CellFromTheTerminalsPixels) {
    int master = -1, slave = -1;
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    size.ws_xpixel = 640;
    size.ws_ypixel = 408;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
    const std::optional<px::Size> cell = cli::terminalCell(slave);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->width, 8);
    EXPECT_EQ(cell->height, 17);
    size.ws_xpixel = size.ws_ypixel = 0; // one that does not
    ioctl(slave, TIOCSWINSZ, &size);
    EXPECT_FALSE(cli::terminalCell(slave));
    ::close(slave);
    ::close(master);
}

} // namespace
