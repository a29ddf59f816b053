#include "base/settings_lines.h"

#include "base/text_files.h"
#include "kernels/errors.h"
#include "kernels/limits.h"
#include "kernels/text_encoding.h"
#include "kernels/version.h"

namespace ini {

Line parseLine(std::string_view line) {
    const size_t p = line.find('=');
    if (p == std::string_view::npos)
        err::raise(err::InvalidArgument);
    return {std::string(line.substr(0, p)), std::string(line.substr(p + 1))};
}

std::optional<Key> keyOf(std::string_view key) {
    for (size_t i = 0; i < kKeyNames.size(); ++i)
        if (key == kKeyNames[i])
            return Key(i);
    return std::nullopt;
}

void applyLine(std::string_view line, Target& target) {
    const Line l = parseLine(line);
    if (const std::optional<Key> key = keyOf(l.key))
        target.apply(*key, l.value);
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    for (const std::u32string& line : files::readLines(path, limits::kMaxSettingsFileBytes))
        lines.push_back(textcode::utf8(line));
    return lines;
}

std::vector<std::string> fileLines(const Values& v) {
    return {
        "version=" + version::dotted(),
        "asciiTablePath=" + v.asciiTablePath,
        "asciiTableFile=" + v.asciiTableFile,
        "picturePath=" + v.picturePath,
        "pictureFile=" + v.pictureFile,
        "xScale=" + v.xScale,
        "yScale=" + v.yScale,
        "Font=" + v.font,
        "FontSize=" + v.fontSize,
        "asciiPath=" + v.asciiPath,
        "asciiFile=" + v.asciiFile,
    };
}

} // namespace ini
