#pragma once

#include <string>

// A fingerprint of everything a measurement in a font depends on outside the converter: the font
// configuration (fontconfig's files, followed through their includes), the fonts it lists (every entry
// under its font folders by name, file number, size and time of change, every folder by time of change;
// the folders named in each way fontconfig accepts) and the environment that chooses either. It changes
// whenever any of them changes, a font rewritten in place too; computed with plain file system calls,
// without loading fontconfig or Qt.
namespace cli {

// `memo`: a file where the configuration's reading is kept for later runs (empty: none), in a folder of
// the user's own that nobody else may write; it is read only as a regular file of the user's and written
// never through a link.
std::string fontFingerprint(const std::string& memo = {});

} // namespace cli
