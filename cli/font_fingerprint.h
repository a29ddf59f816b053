#pragma once

#include <string>

// A fingerprint of everything a measurement in a font depends on outside the converter: the font
// configuration (fontconfig's files, followed through their includes), the fonts it lists (every entry
// under its font folders by name and file number, every folder by time of change) and the environment
// that chooses either. It changes whenever any of them changes as fontconfig sees changes (a font file
// overwritten in place, keeping its number and its folder's time, goes unseen by both); computed with
// plain file system calls, without loading fontconfig or Qt.
namespace cli {

// `memo`: a file where the configuration's reading is kept for later runs (empty: none).
std::string fontFingerprint(const std::string& memo = {});

} // namespace cli
