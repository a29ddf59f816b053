#include "options.h"

#include <array>
#include <cstring>

namespace cli {

namespace {

struct OptionRule {
    const char* longName;
    char shortName; // 0: none
    bool takesValue;
    std::optional<std::string> Options::*value; // for options with a value
    bool Options::*flag;                        // for switches
    // For an option whose value may be left out: the value then, and the words it may take from the
    // next argument (any other next argument is not its value).
    const char* defaultValue = nullptr;
    std::array<const char*, 3> words = {};
};

const OptionRule kRules[] = {
    {"help", 'h', false, nullptr, &Options::help},
    {nullptr, '?', false, nullptr, &Options::help},
    {"version", 'v', false, nullptr, &Options::version},
    {"output", 'o', true, &Options::output, nullptr},
    {"table", 0, true, &Options::table, nullptr},
    {"chars", 0, true, &Options::chars, nullptr},
    {"font", 0, true, &Options::font, nullptr},
    {"size", 0, true, &Options::size, nullptr},
    {"scale", 0, true, &Options::scale, nullptr},
    {"columns", 0, true, &Options::columns, nullptr},
    {"settings", 0, true, &Options::settings, nullptr},
    {"crlf", 0, false, nullptr, &Options::crlf},
    {"order", 0, false, nullptr, &Options::order},
    {"no-cache", 0, false, nullptr, &Options::noCache},
    {"invert", 0, false, nullptr, &Options::invert},
    {"format", 0, true, &Options::format, nullptr},
    {"color", 0, true, &Options::color, nullptr, "truecolor", {"truecolor", "256", "16"}},
};

const OptionRule* findLong(const std::string& name) {
    for (const OptionRule& s : kRules)
        if (s.longName && std::strcmp(s.longName, name.c_str()) == 0)
            return &s;
    return nullptr;
}

const OptionRule* findShort(char c) {
    for (const OptionRule& s : kRules)
        if (s.shortName && s.shortName == c)
            return &s;
    return nullptr;
}

} // namespace

err::Error usage(const std::string& message) {
    return err::Error(err::InvalidArgument, message, err::Kind::Usage);
}

Options parseOptions(const std::vector<std::string>& arguments) {
    Options o;
    bool optionsEnd = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (optionsEnd || a == "-" || a.size() < 2 || a[0] != '-') {
            o.pictures.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        const OptionRule* rule = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown;
        if (a[1] == '-') {
            const size_t eq = a.find('=');
            const std::string name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            if (eq != std::string::npos)
                inlineValue = a.substr(eq + 1);
            shown = "--" + name;
            rule = findLong(name);
        } else {
            shown = a.substr(0, 2);
            rule = findShort(a[1]);
            if (a.size() > 2)
                inlineValue = a.substr(2);
        }
        if (!rule)
            throw usage("unknown option " + shown + " (see --help)");
        if (!rule->takesValue) {
            if (inlineValue)
                throw usage(shown + " takes no value");
            o.*(rule->flag) = true;
            continue;
        }
        if (!inlineValue && rule->defaultValue) {
            bool word = false;
            for (const char* w : rule->words)
                word = word || (w && i + 1 < arguments.size() && arguments[i + 1] == w);
            inlineValue = word ? arguments[++i] : std::string(rule->defaultValue);
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                throw usage(shown + " needs a value");
            inlineValue = arguments[++i];
        }
        o.*(rule->value) = *inlineValue;
    }
    return o;
}

std::string helpText() {
    return R"(Usage: tessarine-convert [options] PICTURE...

Turns pictures (BMP, GIF, JPEG) into text art, exactly as the Tessarine desktop program does: every
character stands for one block of the picture, chosen by the ink it leaves in the given font.
A PICTURE named - is read from standard input.

Options:
  -o, --output FILE|DIR  Write to FILE (one picture) or into folder DIR as NAME.txt (several pictures).
  --table FILE           Character table file; its first line is the table.
  --chars TEXT           The character table given directly.
  --font NAME            Font to measure the characters in (default "Courier New").
  --size POINTS          Font size in points (default 8; sizes above 99 are capped at 99).
  --scale HxV            Picture pixels per character, horizontally x vertically, whole numbers of at
                         least 1 (default 1x1).
  --columns N            Choose the factors for N characters a line, the vertical one from the font's
                         character cell.
  --settings FILE        Take table, font, size and factors from a Tessarine.ini.
  --crlf                 End lines with CR LF, byte for byte the program's saved result file (default LF).
  --order                Print the measured table order, darkest first, with each character's ink count,
                         and exit.
  --no-cache             Measure the table afresh instead of taking the order remembered from an earlier
                         run with the same table, font, size and fonts installed, and remember nothing.
  --invert               The table's order reversed, the lightest character for the darkest block: light
                         text for a dark background.
  --color [MODE]         Each character in its block's average colour, as ANSI escape sequences (MODE
                         truecolor, the default, 256 or 16 colours); with html and png, the exact colours.
  --format FORMAT        text (the default), html (a web page) or png (a picture in the measured font,
                         one character cell a block); also chosen by -o NAME.html or -o NAME.png.
  -h, --help             Show this help and exit.
  -v, --version          Show the version and exit.

When standard output is a terminal and none of --scale, --columns and --settings is given, the text is as
wide as the terminal.

Examples:
  tessarine-convert photo.jpg                                  fits the terminal
  tessarine-convert photo.jpg --columns 100 --color --invert   colours, for a dark terminal
  tessarine-convert photo.jpg --scale 8x16 --chars "@%#*+=-:. " -o photo.txt
  tessarine-convert photo.jpg --scale 8x16 --color -o photo.html
  tessarine-convert photo.jpg --scale 8x16 --font "DejaVu Sans Mono" -o photo.png
  tessarine-convert *.jpg --settings Tessarine.ini -o texts/

Errors go to standard error as "tessarine-convert: FILE: REASON". Exit status: 0 when every picture
converted, 1 when some failed, 2 for a usage error or when all failed.
)";
}

} // namespace cli
