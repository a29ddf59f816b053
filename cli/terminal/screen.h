#pragma once

#include <string>
#include <string_view>

// The escape sequences that draw in place on a terminal, as an animation's frames are drawn over each other.
namespace screen {

constexpr std::string_view kHideCursor = "\x1b[?25l";

// The colours reset and the cursor shown again: how a terminal is left however drawing in place ends.
constexpr std::string_view kRestore = "\x1b[0m\x1b[?25h";

// Back to the start of the line `lines` lines up, where the frame before began.
inline std::string linesUp(long lines) {
    return "\x1b[" + std::to_string(lines) + "A\r";
}

} // namespace screen
