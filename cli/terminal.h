#pragma once

#include "kernels/pixels.h"

#include <optional>
#include <string_view>

// What the converter asks of the terminal it writes to: its size, the size of its character cell, and
// whether its background is dark. Talking to the terminal stays here.
namespace cli {

// The size of the terminal `fd` is, in characters and lines; nothing when it is no terminal.
std::optional<px::Size> terminalSize(int fd);

// The pixels of one character cell of the terminal `fd` is, when it reports its size in pixels (the pixel
// fields of TIOCGWINSZ); nothing otherwise.
std::optional<px::Size> terminalCell(int fd);

enum class Background { Dark, Light };

// How long a terminal has to answer the background query.
constexpr int kBackgroundQueryMs = 100;

// The background of the terminal that `output` writes to, asked of the terminal itself when `input` is the
// same terminal: the OSC 11 query followed by a device-attributes request (DA1), which every terminal
// answers, so that one that does not know the first is known at once. Echo is off while the answers are
// read, and everything they send is read, so nothing shows on the screen or stays in the input; the
// terminal's modes are put back as they were, also when a signal ends the converter meanwhile. Nothing
// when the terminal does not say within `timeoutMs`.
std::optional<Background> askBackground(int input, int output, int timeoutMs = kBackgroundQueryMs);

// The background an OSC 11 answer names ("rgb:RRRR/GGGG/BBBB", 1 to 4 hex digits a channel); nothing for
// another answer.
std::optional<Background> backgroundOfAnswer(std::string_view answer);

// The background $COLORFGBG ("FG;BG", as rxvt and others set it) names; nothing when unset or unknown.
std::optional<Background> backgroundOfColorFgBg(const char* value);

} // namespace cli
