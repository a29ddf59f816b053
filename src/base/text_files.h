#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Files that hold text (settings, character tables, results), read as the kernels' text encoding says:
// Windows-1252, or UTF-8 when the bytes are valid UTF-8 holding a multi-byte sequence. Lines end at CR,
// CR LF or LF.
namespace files {

// A text's lines; a final line end does not start another line.
std::vector<std::u32string> splitLines(std::u32string_view text);

// The whole file as text, when it is at most `limit` bytes; raises read's errors.
std::u32string readText(const std::string& path, int64_t limit);
// The file's lines.
std::vector<std::u32string> readLines(const std::string& path, int64_t limit);
// The first line of the file, without its line end: a character table, read no further than the table's
// bound (raises 7 beyond it).
std::u32string readFirstLine(const std::string& path);

} // namespace files
