#pragma once

#include <string>

// What the converter writes besides its text: the outputs of pictures, and its messages.
namespace cli {

// Prints "tessarine-convert: FILE: REASON" (or without FILE) on standard error.
void printError(const std::string& file, const std::string& reason);

// Writes a picture's output to standard output (an empty `path`), or whole into its file: it is written
// beside its place and then moved there, so a failed write never leaves half a file. A failure is
// reported for `picture`; false then.
bool writeOutput(const std::string& picture, const std::string& path, const std::string& bytes);

} // namespace cli
