#pragma once

#include <optional>
#include <string>

// A settings file (Tessarine.ini) as a source of the converter's options: what it says of the table, the
// font, its size and the factors, read as the desktop program reads it, line by line, the table file read
// when its line is applied. The plan takes these where no option says otherwise.
namespace settings_source {

struct Settings {
    std::optional<std::u32string> table;
    std::optional<std::string> font;
    std::optional<double> size, h, v;
};

// Raises a usage error naming the file, and the line or key, for a file that cannot be read or a line
// the desktop program would refuse.
Settings read(const std::string& path);

} // namespace settings_source
