#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// Files as both programs read and write them, below any toolkit. Paths are in the system's file-name
// encoding. What fails is raised as the program's error with its number: 53 a missing file, 76 a missing
// folder, 75 a file that cannot be read or written.
namespace files {

// True when the folder that would hold this file exists (a bare name lives in the current folder).
bool folderExists(const std::string& path);

// Raises 53 or 76 when the file is missing, and 75 when the name is a folder, a pipe or a device:
// reading such a thing would fail or wait for ever.
void requireRegularFile(const std::string& path);

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

// A regular file opened for reading; raises requireRegularFile's errors, and 75 with the system's reason
// when it cannot be opened.
File openForReading(const std::string& path);

// Up to `count` first bytes of a regular file; nothing when it is no regular file or cannot be read.
std::string head(const std::string& path, size_t count);

// The whole file; false when it cannot be read.
bool readFile(const std::string& path, std::string& out);
// The whole regular file; raises openForReading's errors.
std::string read(const std::string& path);

// Writes a file of its own beside the target and moves it into place, so that readers see the old file or
// the whole new one, never a part, and several writers at once leave one whole file. Returns 0, or the
// error number (errno) of what failed.
int writeFileWhole(const std::string& path, std::string_view bytes);

} // namespace files
