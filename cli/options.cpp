#include "options.h"

#include "kernels/output_forms.h"

#include <cstring>

namespace cli {

namespace {

// "{forms}" in a help text stands for the output forms, each with its description.
constexpr OptionRule kRules[] = {
    {"output", 'o', "FILE|DIR", &Options::output, nullptr,
     "Write to FILE (one picture; - is standard output) or into folder DIR, each picture as NAME.txt."},
    {"columns", 0, "N", &Options::columns, nullptr,
     "Exactly N characters a line; the lines follow the picture's proportions in the font's character "
     "cell, unless --rows is given too."},
    {"rows", 0, "N", &Options::rows, nullptr, "Exactly N lines; with --columns, exactly that grid."},
    {"scale", 0, "HxV", &Options::scale, nullptr,
     "Picture pixels per character, horizontally x vertically, whole numbers of at least 1, with the "
     "desktop program's arithmetic (which leaves out the picture's last four blocks each way)."},
    {"table", 0, "FILE|NAME", &Options::table, nullptr,
     "Character table file, its first line the table, or a table shipped with the program by name: ascii "
     "(every printable ASCII character; the default), classic (the desktop program's twelve characters; "
     "the default with --mapping position, --scale or --settings), ramp-70, ramp-10, blocks or braille."},
    {"chars", 0, "TEXT", &Options::chars, nullptr, "The character table given directly."},
    {"font", 0, "NAME", &Options::font, nullptr,
     "Font to measure the characters in: by default the font system's monospace font, the font a terminal "
     "shows (\"Courier New\" with --scale or --settings)."},
    {"size", 0, "POINTS", &Options::size, nullptr,
     "Font size in points (default 10; 8 with --scale or --settings; sizes above 99 are capped at 99)."},
    {"settings", 0, "FILE", &Options::settings, nullptr,
     "Take table, font, size and factors from a Tessarine.ini, as the desktop program does."},
    {"crlf", 0, nullptr, nullptr, &Options::crlf,
     "End lines with CR LF, byte for byte the program's saved result file (default LF)."},
    {"order", 0, nullptr, nullptr, &Options::order,
     "Print the measured table order, darkest first, with each character's ink count, and exit."},
    {"no-cache", 0, nullptr, nullptr, &Options::noCache,
     "Measure the table afresh instead of taking the order remembered from an earlier run with the same "
     "table, font, size and fonts installed, and remember nothing."},
    {"background", 0, "dark|light", &Options::background, nullptr,
     "The background the text is shown on: light text for a dark one, dark text for a light one. By "
     "default the terminal's own, as it answers when asked (else $COLORFGBG, else dark); light into a "
     "file or a pipe and with --scale or --settings."},
    {"invert", 0, nullptr, nullptr, &Options::invert,
     "Flip the polarity in force, found or given: the lightest character for the darkest block on a light "
     "background, the darkest on a dark one."},
    {"mapping", 0, "position|ink|shape", &Options::mapping, nullptr,
     "How each block's character is chosen: shape (the glyph whose ink best follows the pattern of "
     "darkness within the block; the default), ink (the character whose measured ink is nearest the "
     "block's darkness) or position (by its place in the table sorted by ink, as the desktop program "
     "does; the default with --scale or --settings)."},
    {"dither", 0, nullptr, nullptr, &Options::dither,
     "With ink and shape: carry the darkness a character could not reach on to the blocks around it."},
    {"levels", 0, "auto|none", &Options::levels, nullptr,
     "auto stretches the picture's brightness between its 1st and 99th percentile first (default none)."},
    {"brightness", 0, "N", &Options::brightness, nullptr,
     "Brightness added, in hundredths of the range: -100 to 100 (default 0)."},
    {"contrast", 0, "N", &Options::contrast, nullptr,
     "Contrast: -100 (flat grey) to 100 (twice the spread around middle grey) (default 0)."},
    {"gamma", 0, "G", &Options::gamma, nullptr,
     "Gamma, 0.1 to 10: above 1 lightens the middle greys, below 1 darkens them (default 1)."},
    {"score", 0, nullptr, nullptr, &Options::score,
     "After each text, print its likeness to the picture on standard error: detail (structural "
     "similarity) and tone (correlation of the cells' greys), each from -1 to 1, 1 the closest, the text "
     "drawn in the measured font."},
    {"color", 0, "[=MODE]", &Options::color, nullptr,
     "Colour, as ANSI escape sequences: MODE truecolor (the default), 256 or 16 colours; with html and "
     "png, the exact colours. With the shape and ink mappings each cell gets its glyph, a foreground and a "
     "background colour chosen together; with position, each character is in its block's average colour.",
     "truecolor"},
    {"fg-only", 0, nullptr, nullptr, &Options::fgOnly,
     "With --color: one colour a cell, the character's, on the terminal's own background."},
    {"format", 0, "FORMAT", &Options::format, nullptr,
     "{forms}; also chosen by -o NAME.html or -o NAME.png."},
    {"help", 'h', nullptr, nullptr, &Options::help, "Show this help and exit."},
    {nullptr, '?', nullptr, nullptr, &Options::help},
    {"version", 'v', nullptr, nullptr, &Options::version, "Show the version and exit."},
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

// "text (the default), html (a web page) or png (...)".
std::string formsText() {
    std::string out;
    const auto forms = art::outputForms();
    for (size_t i = 0; i < forms.size(); ++i) {
        if (i > 0)
            out += i + 1 == forms.size() ? " or " : ", ";
        out += std::string(forms[i].name) + " " + std::string(forms[i].description);
    }
    return out;
}

// Words filled into lines of at most `width` characters, starting at `column`; every line after the first
// is indented by `indent`.
std::string wrapped(const std::string& text, size_t column, size_t indent, size_t width) {
    std::string out;
    size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        if (!first && column + 1 + word.size() > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (!first) {
            out += " ";
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
    }
    return out;
}

} // namespace

err::Error usage(const std::string& message) {
    return err::Error(err::InvalidArgument, message, err::Kind::Usage);
}

std::span<const OptionRule> optionRules() {
    return kRules;
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
        if (!rule->value) {
            if (inlineValue)
                throw usage(shown + " takes no value");
            o.*(rule->flag) = true;
            continue;
        }
        if (!inlineValue && rule->defaultValue)
            inlineValue = std::string(rule->defaultValue);
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                throw usage(shown + " needs a value");
            inlineValue = arguments[++i];
        }
        o.*(rule->text) = *inlineValue;
    }
    return o;
}

std::string helpText() {
    constexpr size_t kWidth = 79, kColumn = 22;
    std::string options;
    for (const OptionRule& rule : kRules) {
        if (!rule.help)
            continue;
        std::string name = "  ";
        if (rule.shortName)
            name += std::string("-") + rule.shortName + (rule.longName ? ", " : "");
        if (rule.longName)
            name += std::string("--") + rule.longName;
        if (rule.value)
            name += std::string(rule.value[0] == '[' ? "" : " ") + rule.value;
        std::string help = rule.help;
        if (const size_t forms = help.find("{forms}"); forms != std::string::npos)
            help.replace(forms, 7, formsText());
        if (name.size() + 2 > kColumn)
            options +=
                name + "\n" + std::string(kColumn, ' ') + wrapped(help, kColumn, kColumn, kWidth) + "\n";
        else
            options += name + std::string(kColumn - name.size(), ' ') +
                       wrapped(help, kColumn, kColumn, kWidth) + "\n";
    }
    const auto paragraph = [](const std::string& text) { return wrapped(text, 0, 0, kWidth) + "\n"; };
    return "Usage: tessarine-convert [options] PICTURE...\n\n" +
           paragraph("Turns pictures into text art, as the Tessarine desktop program does: every character "
                     "stands for one block of the picture, chosen by the ink it leaves in the given font. "
                     "A PICTURE may be JPEG, PNG, BMP or GIF, or any other format the installed Qt image "
                     "readers read (WebP and TIFF with Debian's qt6-image-formats-plugins); one named - is "
                     "read from standard input. Several pictures are written one after another.") +
           "\nOptions:\n" + options + "\n" +
           paragraph("Without --columns, --rows, --scale or --settings, the text fills as much of the "
                     "terminal as the picture's proportions allow, or is 80 characters wide ($COLUMNS when "
                     "it is set) when standard output is no terminal.") +
           "\n" +
           paragraph("By default the converter draws its best art: the glyph whose shape follows each block "
                     "(--mapping shape), from every printable ASCII character (--table ascii), measured in "
                     "the font a terminal shows (the font system's monospace font) at 10 points, in the "
                     "terminal's polarity (light text on a dark terminal; dark text into a file or a pipe). "
                     "--scale and --settings give the desktop program's text instead, with its defaults: "
                     "--mapping position, --table classic, \"Courier New\" at 8 points.") +
           R"(
Examples:
  tessarine-convert photo.jpg                         fits the terminal
  tessarine-convert photo.jpg --columns 100 --color   two colours a cell
  tessarine-convert photo.jpg --color --table blocks  the finest colour art
  tessarine-convert photo.jpg --background light --score
  tessarine-convert photo.jpg --scale 8x16 --chars "@%#*+=-:. " -o photo.txt
  tessarine-convert photo.jpg --columns 160 --color -o photo.html
  tessarine-convert photo.jpg -o photo.png
  tessarine-convert *.jpg --settings Tessarine.ini -o texts/

)" +
           paragraph(
               "Errors go to standard error as \"tessarine-convert: FILE: REASON\". Exit status: 0 when "
               "every picture converted, 1 when some failed, 2 for a usage error or when all failed.");
}

} // namespace cli
