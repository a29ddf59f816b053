#pragma once

#include "qt_bridge/qt_services.h"

#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>

// A fingerprint of everything outside the converter that decides which fonts a measurement may use: the
// font configuration (the files fontconfig reads), the folders it names for fonts and every folder below
// them (by name, file number, size and time of change: a font added, removed, renamed or replaced changes
// its folder), and the environment that chooses either. A font file rewritten in place changes no folder:
// the files a measurement drew with are checked with its order (order_cache.h). Which files and folders
// those are is fontconfig's own answer, asked through the Qt bridge; a memo keeps it, so that a later run
// asks nothing and looks once at each remembered file and folder while they are as they were.
namespace cli {

// Asks fontconfig for its configuration files and font folders (the Qt bridge's module); raises the
// program's error when it cannot.
using FontConfigurationSource = std::function<FontConfiguration()>;

// `memo`: a file where the configuration's answer is kept for later runs (empty: none), in a folder of the
// user's own that nobody else may write; it is read only as a regular file of the user's and written never
// through a link. `unkept`, when given, gets the memo's text where it was made afresh without a file to keep
// it in (a cache folder not made yet). Nothing when the configuration had to be asked and could not be.
std::optional<std::string> fontFingerprint(const FontConfigurationSource& fonts, const std::string& memo = {},
                                           std::string* unkept = nullptr);

// A file or folder's identity: its size, time of change and number, or that it is missing; `out` gets
// what stat said.
std::string identityOf(const std::string& path, struct stat* out = nullptr);

} // namespace cli
