// The environment every test program runs in, whatever the shell that started it, set before main and so
// before any toolkit or font system reads it: the suite's own fonts (only those the project installs,
// "monospace" made DejaVu Sans Mono as on a fresh Debian 12; TESSARINE_TEST_FONTS=liberation-mono makes it
// Liberation Mono, and TESSARINE_TEST_FONTS=system keeps the machine's own), a fixed terminal and locale,
// and no display.
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const bool kSet = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("LANG", "C.UTF-8", 1);
    setenv("TERM", "xterm-256color", 1);
    unsetenv("COLORTERM");
    unsetenv("COLORFGBG");
    const char* fonts = std::getenv("TESSARINE_TEST_FONTS");
    if (fonts && std::strcmp(fonts, "system") == 0)
        return true;
    const std::string file =
        fonts && std::strcmp(fonts, "liberation-mono") == 0 ? "fonts-liberation-mono.conf" : "fonts.conf";
    setenv("FONTCONFIG_FILE", (std::string(TESSARINE_TEST_FONTS_DIR) + "/" + file).c_str(), 1);
    return true;
}();

} // namespace
