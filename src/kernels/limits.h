#pragma once

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

} // namespace limits
