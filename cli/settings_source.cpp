#include "settings_source.h"

#include "base/numbers.h"
#include "base/settings_lines.h"
#include "base/text_files.h"
#include "kernels/errors.h"
#include "options.h"

#include <cmath>
#include <vector>

namespace settings_source {

namespace {

class Reader : public ini::Target {
  public:
    Settings settings;

    void apply(ini::Key key, const std::string& value) override {
        switch (key) {
        case ini::Key::AsciiTableFile:
            settings.table = files::readFirstLine(value);
            break;
        case ini::Key::Font:
            settings.font = value;
            break;
        case ini::Key::FontSize: // the size box's non-negative number
            settings.size = std::fabs(numbers::val(value));
            break;
        case ini::Key::XScale: // the scale window's fields
            settings.h = numbers::strictToDouble(value);
            break;
        case ini::Key::YScale:
            settings.v = numbers::strictToDouble(value);
            break;
        default:
            break;
        }
    }
};

} // namespace

Settings read(const std::string& path) {
    std::vector<std::string> lines;
    try {
        lines = ini::readLines(path);
    } catch (const err::Error& e) {
        throw cli::usage(path + ": " + e.description());
    }
    Reader reader;
    for (size_t i = 0; i < lines.size(); ++i) {
        ini::Line line;
        try {
            line = ini::parseLine(lines[i]);
        } catch (const err::Error&) {
            throw cli::usage(path + ": line " + std::to_string(i + 1) + " has no \"=\"");
        }
        try {
            ini::applyLine(lines[i], reader);
        } catch (const err::Error& e) {
            throw cli::usage(path + ": " + line.key + ": " + e.description());
        }
    }
    return reader.settings;
}

} // namespace settings_source
