#pragma once

#include <string>
#include <string_view>

// Drawing in place on a terminal, as an animation's frames are drawn over each other, and the escape
// sequences it takes.
namespace screen {

constexpr std::string_view kHideCursor = "\x1b[?25l";

// The colours reset and the cursor shown again: how a terminal is left however drawing in place ends.
constexpr std::string_view kRestore = "\x1b[0m\x1b[?25h";

// Back to the start of the line `lines` lines up, where the frame before began.
inline std::string linesUp(long lines) {
    return "\x1b[" + std::to_string(lines) + "A\r";
}

// Frames written to standard output, each whole. The terminal is put back (kRestore) when the drawing is
// done, and when a signal ends the converter (base/signals.h); frames and the putting back are written one
// at a time, so that once the terminal is put back no frame follows.
class InPlace {
  public:
    InPlace();
    ~InPlace();
    // 0, the error number of a failed write, or ECANCELED when a signal is ending the converter.
    int draw(std::string_view frame);
    // Puts the terminal back when anything was drawn: 0, or the error number of a failed write.
    int restore();
};

} // namespace screen
