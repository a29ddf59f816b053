#pragma once

#include <string>

// File checks the decoders make before opening anything. Paths are in the system's file-name encoding.
namespace files {

// True when the folder that would hold this file exists (a bare name lives in the current folder).
bool folderExists(const std::string& path);

// Raises 53 or 76 when the file is missing, and 75 when the name is a folder, a pipe or a device:
// reading such a thing would fail or wait for ever.
void requireRegularFile(const std::string& path);

} // namespace files
