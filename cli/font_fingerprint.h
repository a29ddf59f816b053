#pragma once

#include <string>

// A fingerprint of everything a measurement in a font depends on outside the converter: the font
// configuration (fontconfig's files, followed through their includes), the fonts it lists (every file
// and folder under its font folders, by size and time of change) and the environment that chooses either.
// It changes whenever any of them changes; computed with plain file system calls, without loading
// fontconfig or Qt.
namespace cli {

std::string fontFingerprint();

} // namespace cli
