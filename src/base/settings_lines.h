#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings file's lines, below any toolkit: one "key=value" line a setting, read in file order and
// applied key by key, written as eleven lines. Texts are UTF-8. Both programs read settings through here.
namespace ini {

enum class Key {
    AsciiTablePath,
    AsciiTableFile,
    PicturePath,
    PictureFile,
    XScale,
    YScale,
    Font,
    FontSize,
    AsciiFile,
    AsciiPath
};

// The keys a line's key is compared with, exactly and case-sensitively, in this order.
constexpr std::array<std::string_view, 10> kKeyNames = {
    "asciiTablePath", "asciiTableFile", "picturePath", "pictureFile", "xScale",
    "yScale",         "Font",           "FontSize",    "asciiFile",   "asciiPath"};

struct Line {
    std::string key;
    std::string value;
};

// Splits at the first "="; a line without one (an empty line too) raises error 5.
Line parseLine(std::string_view line);

// The key a line's key names; nothing for any other key (the line is then ignored).
std::optional<Key> keyOf(std::string_view key);

// What the lines of a settings file are applied to: one function a key.
class Target {
  public:
    virtual ~Target() = default;
    virtual void apply(Key key, const std::string& value) = 0;
};

// Parses a line and hands its value to the target under its key. Raises parseLine's error and whatever
// the target raises.
void applyLine(std::string_view line, Target& target);

// The file's lines, in order. Raises 53, 76 or 75 as reading a file does, and 7 for a file larger than
// the settings file's bound.
std::vector<std::string> readLines(const std::string& path);

struct Values {
    std::string asciiTablePath, asciiTableFile, picturePath, pictureFile;
    std::string xScale, yScale, font, fontSize, asciiPath, asciiFile;
};

// The eleven lines the desktop program writes, without line ends: the version first, then each key.
std::vector<std::string> fileLines(const Values& v);

} // namespace ini
