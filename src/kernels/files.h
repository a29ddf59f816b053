#pragma once

#include <string>
#include <string_view>

// File checks the decoders make before opening anything. Paths are in the system's file-name encoding.
namespace files {

// True when the folder that would hold this file exists (a bare name lives in the current folder).
bool folderExists(const std::string& path);

// Raises 53 or 76 when the file is missing, and 75 when the name is a folder, a pipe or a device:
// reading such a thing would fail or wait for ever.
void requireRegularFile(const std::string& path);

// The whole file; false when it cannot be read.
bool readFile(const std::string& path, std::string& out);

// Writes a file of its own beside the target and moves it into place, so that readers see the old file or
// the whole new one, never a part, and several writers at once leave one whole file. Returns 0, or the
// error number (errno) of what failed.
int writeFileWhole(const std::string& path, std::string_view bytes);

// A file the program ships (the help page, the default table): beside the executable when the program runs
// from its build folder or a portable folder, else in the data folder of the tree it is installed in
// (share/tessarine beside bin). When neither exists, the name beside the executable, as before.
std::string programDataFile(const std::string& programFolder, const std::string& name);

} // namespace files
