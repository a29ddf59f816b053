#pragma once

#include <cstdint>

// The limits both programs apply to a conversion.
namespace limits {

// A table has room for this many characters (code points).
constexpr int kMaxTableLength = 256;
// Sizes above this many points are capped for a run; below the smallest, a font draws nothing.
constexpr double kMaxFontSize = 99;
constexpr double kMinFontSize = 1;
// A factor (picture pixels per character) rounds to a whole number of at least this.
constexpr int kMinFactor = 1;
// Row and column counts of the text stay within 16 bits.
constexpr int kMaxBufferSide = 32767;

// Files are checked by size before they are read. A table is its file's first line, read no further than
// this (256 characters take at most a kilobyte in UTF-8); a settings file of eleven lines of folders and
// names is far smaller than its bound.
constexpr int64_t kMaxTableLineBytes = 64 * 1024;
constexpr int64_t kMaxSettingsFileBytes = 4 * 1024 * 1024;
// A font name longer than this is no font's name; the font system takes seconds to match one.
constexpr int kMaxFontNameLength = 256;

} // namespace limits
