#pragma once

#include "kernels/pixels.h"
#include "kernels/text_art.h"

#include <optional>
#include <string_view>

// What the converter asks of the terminal it writes to: its size, the size of its character cell, whether
// its background is dark, and the colours it shows. Talking to the terminal stays here.
namespace cli {

// The size of the terminal `fd` is, in characters and lines; nothing when it is no terminal.
std::optional<px::Size> terminalSize(int fd);

// The pixels of one character cell of the terminal `fd` is, when it reports its size in pixels (the pixel
// fields of TIOCGWINSZ); nothing otherwise.
std::optional<px::Size> terminalCell(int fd);

enum class Background { Dark, Light };

// How long a terminal that answers nothing is waited for. One that knows the background query answers it
// before its answer to the device-attributes request, which every terminal sends, so an answering terminal
// is not waited for beyond its answer.
constexpr int kBackgroundQueryMs = 500;

// Whether a terminal of this $TERM may be asked anything: it is set, and not "dumb".
bool mayAskTerminal(const char* term);

// The background of the terminal that `output` writes to, asked of the terminal itself when `input` is the
// same terminal, the converter is in its foreground and nothing typed is waiting to be read: the OSC 11
// query followed by a device-attributes request (DA1). The answers are read a byte at a time, with echo
// off, up to the end of the DA1 answer and no further, so that what the user types afterwards stays for
// the shell. The terminal's modes are put back as they were, also when a signal ends the converter
// meanwhile, and before Ctrl-Z stops it or Ctrl-\ ends it (the query is then over). Nothing when the
// terminal does not say within `timeoutMs`.
std::optional<Background> askBackground(int input, int output, int timeoutMs = kBackgroundQueryMs);

// The background an OSC 11 answer names ("rgb:RRRR/GGGG/BBBB", 1 to 4 hex digits a channel); nothing for
// another answer.
std::optional<Background> backgroundOfAnswer(std::string_view answer);

// The background $COLORFGBG ("FG;BG", as rxvt and others set it) names; nothing when unset or unknown.
std::optional<Background> backgroundOfColorFgBg(const char* value);

// The colours a terminal shows, as its environment says: 24-bit where $COLORTERM is truecolor or 24bit,
// else 256 where $TERM names a 256-colour terminal, else the 16 every colour terminal has.
art::Palette paletteOfEnvironment(const char* colorTerm, const char* term);

} // namespace cli
