#include "base/text_files.h"

#include "base/files.h"
#include "kernels/limits.h"
#include "kernels/text_encoding.h"

namespace files {

std::vector<std::u32string> splitLines(std::u32string_view text) {
    std::vector<std::u32string> lines;
    size_t start = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || c == U'\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (c == U'\r' && i + 1 < n && text[i + 1] == U'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.emplace_back(text.substr(start));
    return lines;
}

std::u32string readText(const std::string& path, int64_t limit) {
    return textcode::decode(read(path, limit));
}

std::vector<std::u32string> readLines(const std::string& path, int64_t limit) {
    return splitLines(readText(path, limit));
}

std::u32string readFirstLine(const std::string& path) {
    return textcode::decode(readFirstLineBytes(path, limits::kMaxTableLineBytes));
}

} // namespace files
