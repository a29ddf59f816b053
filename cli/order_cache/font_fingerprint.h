#pragma once

#include <string>
#include <sys/stat.h>

// A fingerprint of everything outside the converter that decides which fonts a measurement may use: the
// font configuration (fontconfig's files, followed through their includes), the folders it names for fonts
// and every folder below them (by name, file number, size and time of change: a font added, removed,
// renamed or replaced changes its folder), and the environment that chooses either. A font file rewritten
// in place changes no folder: the files a measurement drew with are checked with its order (order_cache.h).
// Computed with plain file system calls, without loading fontconfig or Qt.
namespace cli {

// `memo`: a file where the configuration's reading is kept for later runs (empty: none), in a folder of
// the user's own that nobody else may write; it is read only as a regular file of the user's and written
// never through a link.
std::string fontFingerprint(const std::string& memo = {});

// A file or folder's identity: its size, time of change and number, or that it is missing; `out` gets
// what stat said.
std::string identityOf(const std::string& path, struct stat* out = nullptr);

} // namespace cli
