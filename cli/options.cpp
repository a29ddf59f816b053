#include "options.h"

#include "kernels/output_forms.h"

#include <algorithm>
#include <cstring>

namespace cli {

namespace {

// "{forms}" in a help text stands for the output forms, each with its description.
const OptionRule kRules[] = {
    {"output", 'o', "FILE|DIR", &Options::output, nullptr,
     "Write to FILE (one picture; - is standard output) or into folder DIR (a name ending in /), each "
     "picture as NAME.txt."},
    {.longName = "columns",
     .value = "N",
     .text = &Options::columns,
     .help = "Exactly N characters a line; the lines follow the picture's proportions in the character cell, "
             "unless --rows is given too.",
     .aliases = {"--width", "-W"}},
    {.longName = "rows",
     .value = "N",
     .text = &Options::rows,
     .help = "Exactly N lines; with --columns, exactly that grid.",
     .aliases = {"--height", "-H"}},
    {nullptr, 's', "WxH", &Options::fit, nullptr,
     "The largest grid within W characters by H lines that keeps the picture's proportions."},
    {"stretch", 0, nullptr, nullptr, &Options::stretch,
     "Fill the size given (-s, or the terminal) exactly, the proportions set aside."},
    {"scale", 0, "HxV", &Options::scale, nullptr,
     "Picture pixels per character, horizontally x vertically, whole numbers of at least 1, with the "
     "desktop program's arithmetic (which leaves out the picture's last four blocks each way)."},
    {"table", 0, "FILE|NAME", &Options::table, nullptr,
     "Character table file, its first line the table, or a table shipped with the program by name: ascii "
     "(every printable ASCII character; the default), classic (the desktop program's twelve characters; "
     "the default with --mapping position, --scale or --settings), ramp-70, ramp-10, blocks or braille."},
    {.longName = "symbols",
     .value = "ascii|block|braille",
     .text = &Options::symbols,
     .help = "chafa's classes of symbols, as the tables ascii, blocks and braille.",
     .words = {"ascii", "block", "braille"}},
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
    {.longName = "background",
     .value = "dark|light",
     .text = &Options::background,
     .help = "The background the text is shown on: light text for a dark one, dark text for a light one. By "
             "default the terminal's own, as it answers when asked, else $COLORFGBG, else dark (into a file "
             "or a pipe too, as other converters have it); a page (html, png) is light; --scale and "
             "--settings give dark text for a light page.",
     .words = {"dark", "light"}},
    {"invert", 0, nullptr, nullptr, &Options::invert,
     "Flip the polarity in force, found or given: the lightest character for the darkest block on a light "
     "background, the darkest on a dark one."},
    {"flipx", 0, nullptr, nullptr, &Options::flipX, "Mirror the picture left to right."},
    {"flipy", 0, nullptr, nullptr, &Options::flipY, "Mirror the picture top to bottom."},
    {.longName = "mapping",
     .value = "shape|ink|position",
     .text = &Options::mapping,
     .help = "How each block's character is chosen: shape (the glyph whose ink best follows the pattern of "
             "darkness within the block; the default), ink (the character whose ink is nearest the block's "
             "darkness) or position (by its place in the table sorted by ink, as the desktop program does; "
             "the default with --scale or --settings).",
     .words = {"shape", "ink", "position"}},
    {"dither", 0, nullptr, nullptr, &Options::dither,
     "With ink and shape: carry the darkness a character could not reach on to the blocks around it."},
    {.longName = "levels",
     .value = "auto|none",
     .text = &Options::levels,
     .help = "auto stretches the picture's brightness between its 1st and 99th percentile first (default "
             "none).",
     .words = {"auto", "none"}},
    {"brightness", 0, "N", &Options::brightness, nullptr,
     "Brightness added, in hundredths of the range: -100 to 100 (default 0)."},
    {"contrast", 0, "N", &Options::contrast, nullptr,
     "Contrast: -100 (flat grey) to 100 (twice the spread around middle grey) (default 0)."},
    {"gamma", 0, "G", &Options::gamma, nullptr,
     "Gamma, 0.1 to 10: above 1 lightens the middle greys, below 1 darkens them (default 1)."},
    {"score", 0, nullptr, nullptr, &Options::score,
     "After each text, print its likeness to the picture on standard error: detail (structural "
     "similarity) and tone (correlation of the cells' greys), each from -1 to 1, 1 the closest, the text "
     "drawn in the measured font; with --color, the colour difference of the cells (CIEDE2000)."},
    {.longName = "color",
     .value = "MODE",
     .text = &Options::color,
     .help =
         "Colour, as ANSI escape sequences: MODE (after = or as the next word) auto (the default: 24-bit "
         "where $COLORTERM is truecolor or 24bit, else 256 colours where $TERM ends in 256color, else 16), "
         "truecolor (or full), 256 or 16 colours, or none; with html and png, the exact colours. With the "
         "shape and ink mappings each cell gets its glyph, a foreground and a background colour chosen "
         "together; with position, each character is in its block's average colour.",
     .defaultValue = "auto",
     .aliases = {"--colors"},
     .words = {"auto", "truecolor", "full", "256", "16", "none"}},
    {"fg-only", 0, nullptr, nullptr, &Options::fgOnly,
     "With --color: one colour a cell, the character's, on the terminal's own background."},
    {.longName = "fill",
     .flag = &Options::fill,
     .help = "Colour behind each glyph: --color's two colours a cell (with the shape and ink mappings).",
     .valueRefused = "--fill takes no value here: the characters to draw with are --table (or --symbols)"},
    {.longName = "format",
     .shortName = 'f',
     .value = "FORMAT",
     .text = &Options::format,
     .help = "{forms}; also chosen by -o NAME.html or -o NAME.png (img2txt's ansi is text with --color 16, "
             "utf8 text).",
     .words = {"text", "html", "png", "ansi", "utf8"}},
    {.longName = "animate",
     .value = "on|off",
     .text = &Options::animate,
     .help = "Play an animated picture (a GIF) in place in the terminal, frame by frame at its own delays, "
             "looping as it says, until Ctrl-C. Only as text on a terminal: into a file or a pipe, or with "
             "html or png, it is an error. "
             "Without it, an animation's first frame.",
     .defaultValue = "on",
     .words = {"on", "off"}},
    {"loops", 0, "N", &Options::loops, nullptr, "Play an animation N times at most."},
    {"duration", 0, "SECONDS", &Options::duration, nullptr,
     "Play an animation for so many seconds at most (on the clock, however long a frame takes to draw; at "
     "most a day, 86400)."},
    {.longName = "help",
     .shortName = 'h',
     .flag = &Options::help,
     .help = "Show this help and exit.",
     .aliases = {"-?"}},
    {"version", 'v', nullptr, nullptr, &Options::version, "Show the version and exit."},
};

// Names other converters use that mean something else here, or nothing: one line says what to type instead.
struct PeerName {
    const char* name;
    const char* instead;
};
constexpr PeerName kPeerNames[] = {
    {"-c", "-c is chafa's colours and img2txt's contrast: here they are --color and --contrast"},
    {"-w", "-w is chafa's work factor: the width in characters is --columns (or --width)"},
    {"-x", "-x is img2txt's font width: here the cell is the measured font's (--font, --size); to mirror the "
           "picture, --flipx"},
    {"-y", "-y is img2txt's font height: here the cell is the measured font's (--font, --size); to mirror "
           "the picture, --flipy"},
    {"--watch", "--watch is not supported: tessarine-convert draws a picture once (run it again to redraw)"},
};

// Every name of a rule, with its dashes: its long and short names and its aliases.
std::vector<std::string> namesOf(const OptionRule& rule) {
    std::vector<std::string> names;
    if (rule.longName)
        names.push_back(std::string("--") + rule.longName);
    if (rule.shortName)
        names.push_back(std::string("-") + rule.shortName);
    names.insert(names.end(), rule.aliases.begin(), rule.aliases.end());
    return names;
}

const OptionRule* ruleNamed(const std::string& name) {
    for (const OptionRule& rule : kRules)
        for (const std::string& n : namesOf(rule))
            if (n == name)
                return &rule;
    return nullptr;
}

// Edits (a character inserted, removed, changed, or two swapped) from one word to another.
size_t distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

std::string unknownOption(const std::string& shown) {
    for (const PeerName& p : kPeerNames)
        if (shown == p.name)
            return p.instead;
    std::vector<std::string> names;
    for (const OptionRule& rule : kRules)
        for (const std::string& n : namesOf(rule))
            if ((n.size() > 2) == (shown.size() > 2)) // long names for a long one, short for a short one
                names.push_back(n);
    if (const std::optional<std::string> near = nearestWord(shown, names))
        return "unknown option " + shown + "; did you mean " + *near + "?";
    return "unknown option " + shown + " (see --help)";
}

// "a, b or c".
std::string listed(const std::vector<const char*>& words) {
    std::string out;
    for (size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + std::string(words[i]);
    return out;
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

std::optional<std::string> nearestWord(const std::string& typed, const std::vector<std::string>& words) {
    std::optional<std::string> best;
    size_t bestDistance = std::clamp<size_t>(typed.size() / 3, 1, 2) + 1;
    for (const std::string& w : words) {
        const bool begins =
            typed.size() >= 3 && w.size() > typed.size() && w.compare(0, typed.size(), typed) == 0;
        const size_t d = begins ? 1 : distance(typed, w);
        if (d < bestDistance)
            best = w, bestDistance = d;
    }
    return best;
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
        std::optional<std::string> inlineValue;
        std::string shown = a.substr(0, 2);
        if (a[1] == '-') {
            const size_t eq = a.find('=');
            shown = a.substr(0, eq);
            if (eq != std::string::npos)
                inlineValue = a.substr(eq + 1);
        } else if (a.size() > 2) {
            inlineValue = a.substr(2);
        }
        const OptionRule* rule = ruleNamed(shown);
        if (!rule)
            throw usage(unknownOption(shown));
        if (!rule->value) {
            if (inlineValue)
                throw usage(rule->valueRefused ? rule->valueRefused : shown + " takes no value");
            o.*(rule->flag) = true;
            continue;
        }
        // An optional value comes after "=", or next when it is one of the option's words: a picture
        // named so is written ./256.
        if (!inlineValue && rule->defaultValue) {
            const bool word =
                i + 1 < arguments.size() && std::any_of(rule->words.begin(), rule->words.end(),
                                                        [&](const char* w) { return arguments[i + 1] == w; });
            inlineValue = word ? arguments[++i] : std::string(rule->defaultValue);
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                throw usage(shown + " needs a value");
            inlineValue = arguments[++i];
        }
        o.*(rule->text) = *inlineValue;
    }
    return o;
}

void requireWord(const char* option, const std::string& value) {
    const OptionRule* rule = ruleNamed(option);
    if (!rule || rule->words.empty() ||
        std::any_of(rule->words.begin(), rule->words.end(), [&](const char* w) { return value == w; }))
        return;
    const std::optional<std::string> near =
        nearestWord(value, std::vector<std::string>(rule->words.begin(), rule->words.end()));
    throw usage(std::string(option) + " takes " + listed(rule->words) +
                (near ? "; did you mean " + *near + "?" : ""));
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
            name += rule.defaultValue ? std::string("[=") + rule.value + "]" : std::string(" ") + rule.value;
        std::string help = rule.help;
        if (const size_t forms = help.find("{forms}"); forms != std::string::npos)
            help.replace(forms, 7, formsText());
        if (!rule.aliases.empty()) {
            std::string also;
            for (const char* alias : rule.aliases)
                also += std::string(also.empty() ? "" : ", ") + alias;
            help += " (also " + also + ")";
        }
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
                     "terminal's polarity (light text on a dark terminal; into a file or a pipe, "
                     "$COLORFGBG's, else light "
                     "text for a dark terminal: --background light for a light one). "
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
  tessarine-convert cat.gif --animate --loops 3       plays in the terminal
  tessarine-convert *.jpg --settings Tessarine.ini -o texts/

)" +
           paragraph(
               "Errors go to standard error as \"tessarine-convert: FILE: REASON\". Exit status: 0 when "
               "every picture converted, 1 when some failed, 2 for a usage error or when all failed.");
}

} // namespace cli
