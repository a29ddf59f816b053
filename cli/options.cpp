#include "options.h"

#include "base/words.h"
#include "kernels/character_choice.h"
#include "kernels/output_forms.h"
#include "option_values.h"
#include "shipped_tables.h"

#include <algorithm>
#include <exception>

namespace cli {

namespace {

// The words of the tables that define them.
std::vector<std::string_view> formNames() {
    std::vector<std::string_view> names;
    for (const art::OutputForm& form : art::outputForms())
        names.push_back(form.name);
    return names;
}

std::vector<std::string_view> mappingNames() {
    return {choice::kMappingNames.begin(), choice::kMappingNames.end()};
}

// "{forms}" in a help text stands for the output forms, each with its description, "{tables}" for the
// shipped tables' names.
const OptionRule kRules[] = {
    {"output", 'o', "FILE|DIR", &Options::output, nullptr,
     "Write to FILE (one picture; - is standard output) or into folder DIR (a name ending in /), each "
     "picture as NAME.txt."},
    {.longName = "columns",
     .value = "N",
     .text = &Options::columns,
     .help = "Exactly N characters a line; the lines follow the picture's proportions in the character cell, "
             "unless --rows is given too.",
     .check = option_values::gridSide,
     .aliases = {"--width", "-W"}},
    {.longName = "rows",
     .value = "N",
     .text = &Options::rows,
     .help = "Exactly N lines; with --columns, exactly that grid.",
     .check = option_values::gridSide,
     .aliases = {"--height", "-H"}},
    {nullptr, 's', "WxH", &Options::fit, nullptr,
     "The largest grid within W characters by H lines that keeps the picture's proportions.",
     option_values::gridSize},
    {"stretch", 0, nullptr, nullptr, &Options::stretch,
     "Fill the size given (-s, or the terminal) exactly, the proportions set aside."},
    {"scale", 0, "HxV", &Options::scale, nullptr,
     "Picture pixels per character, horizontally x vertically, whole numbers of at least 1, with the "
     "desktop program's arithmetic (which leaves out the picture's last four blocks each way).",
     option_values::factors},
    {"table", 0, "FILE|NAME", &Options::table, nullptr,
     "Character table file, its first line the table, or a table shipped with the program by name: "
     "{tables}. ascii (every printable ASCII character) is the default, blocks (eighths, halves, quadrants "
     "and lines; blocks-shaded has shades) the default with --color, classic (the desktop program's twelve "
     "characters) the default with --mapping position, --scale or --settings."},
    {.longName = "symbols",
     .value = "ascii|block|braille",
     .text = &Options::symbols,
     .help = "chafa's classes of symbols, as the tables ascii, blocks and braille.",
     .wordAliases = {{"ascii", "ascii"}, {"block", "blocks"}, {"braille", "braille"}}},
    {"chars", 0, "TEXT", &Options::chars, nullptr, "The character table given directly."},
    {"font", 0, "NAME", &Options::font, nullptr,
     "Font to measure the characters in: by default the font system's monospace font, the font a terminal "
     "shows (\"Courier New\" with --scale or --settings)."},
    {"size", 0, "POINTS", &Options::size, nullptr,
     "Font size in points (default 10; 8 with --scale or --settings; sizes above 99 are capped at 99).",
     option_values::points},
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
     .vocabulary = mappingNames},
    {"dither", 0, nullptr, nullptr, &Options::dither,
     "With ink and shape: carry the darkness a character could not reach on to the blocks around it."},
    {.longName = "levels",
     .value = "auto|none",
     .text = &Options::levels,
     .help = "auto stretches the picture's brightness between its 1st and 99th percentile first (default "
             "auto in one ink at the converter's own sizes, none with colour, --scale or --settings).",
     .words = {"auto", "none"}},
    {"brightness", 0, "N", &Options::brightness, nullptr,
     "Brightness added, in hundredths of the range: -100 to 100 (default 0).", option_values::brightness},
    {"contrast", 0, "N", &Options::contrast, nullptr,
     "Contrast: -100 (flat grey) to 100 (twice the spread around middle grey) (default 0).",
     option_values::contrast},
    {"gamma", 0, "G", &Options::gamma, nullptr,
     "Gamma, 0.1 to 10: above 1 lightens the middle greys, below 1 darkens them (default 1).",
     option_values::gamma},
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
     .words = {"auto", "truecolor", "256", "16", "none"},
     .wordAliases = {{"full", "truecolor"}}},
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
     .vocabulary = formNames,
     .wordAliases = {{"ansi", "text"}, {"utf8", "text"}}},
    {.longName = "animate",
     .value = "on|off",
     .text = &Options::animate,
     .help = "Play an animated picture (a GIF) in place in the terminal, frame by frame at its own delays, "
             "looping as it says, until Ctrl-C. Only as text on a terminal: into a file or a pipe, or with "
             "html or png, it is an error. "
             "Without it, an animation's first frame.",
     .defaultValue = "on",
     .words = {"on", "off"}},
    {"loops", 0, "N", &Options::loops, nullptr, "Play an animation N times at most.", option_values::plays},
    {"duration", 0, "SECONDS", &Options::duration, nullptr,
     "Play an animation for so many seconds at most (on the clock, however long a frame takes to draw; at "
     "most a day, 86400).",
     option_values::seconds},
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

std::string unknownOption(const std::string& shown) {
    for (const PeerName& p : kPeerNames)
        if (shown == p.name)
            return p.instead;
    std::vector<std::string> names;
    for (const OptionRule& rule : kRules)
        for (const std::string& n : namesOf(rule))
            if ((n.size() > 2) == (shown.size() > 2)) // long names for a long one, short for a short one
                names.push_back(n);
    if (const std::optional<std::string> near = words::nearest(shown, names))
        return "unknown option " + shown + "; did you mean " + *near + "?";
    return "unknown option " + shown + " (see --help)";
}

// The name an option's messages give it: its long name, else its short one.
std::string nameOf(const OptionRule& rule) {
    return rule.longName ? std::string("--") + rule.longName : std::string("-") + rule.shortName;
}

// A value checked by its row: one of its words, or of the kind its check takes.
void checkValue(const OptionRule& rule, const std::string& value) {
    const std::string name = nameOf(rule);
    if (rule.check)
        rule.check(name.c_str(), value);
    const std::vector<std::string> words = optionWords(rule);
    if (words.empty() || std::find(words.begin(), words.end(), value) != words.end())
        return;
    const std::optional<std::string> near = words::nearest(value, words);
    throw usage(name + " takes " + words::listed(words) + (near ? "; did you mean " + *near + "?" : ""));
}

// "text (the default), html (a web page) or png (...)".
std::string formsText() {
    std::vector<std::string> forms;
    for (const art::OutputForm& form : art::outputForms())
        forms.push_back(std::string(form.name) + " " + std::string(form.description));
    return words::listed(forms);
}

// "{tables}": the shipped tables' names.
std::string tablesText() {
    return words::listed({tables::shippedNames().begin(), tables::shippedNames().end()});
}

} // namespace

err::Error usage(const std::string& message) {
    return err::Error(err::InvalidArgument, message, err::Kind::Usage);
}

std::span<const OptionRule> optionRules() {
    return kRules;
}

std::vector<std::string> optionWords(const OptionRule& rule) {
    std::vector<std::string> own(rule.words.begin(), rule.words.end());
    if (rule.vocabulary)
        for (std::string_view word : rule.vocabulary())
            own.emplace_back(word);
    std::vector<std::string> all;
    for (const std::string& word : own) {
        all.push_back(word);
        for (const WordAlias& alias : rule.wordAliases)
            if (word == alias.means)
                all.emplace_back(alias.word);
    }
    for (const WordAlias& alias : rule.wordAliases)
        if (std::find(own.begin(), own.end(), alias.means) == own.end())
            all.emplace_back(alias.word);
    return all;
}

std::string wordMeant(const char* option, const std::string& value) {
    if (const OptionRule* rule = ruleNamed(option))
        for (const WordAlias& alias : rule->wordAliases)
            if (value == alias.word)
                return alias.means;
    return value;
}

Options parseOptions(const std::vector<std::string>& arguments) {
    Options o;
    bool optionsEnd = false;
    // A wrong value is reported once the whole line is read: --help and --version still answer.
    std::exception_ptr wrongValue;
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
            const std::vector<std::string> words = optionWords(*rule);
            const bool word = i + 1 < arguments.size() &&
                              std::find(words.begin(), words.end(), arguments[i + 1]) != words.end();
            inlineValue = word ? arguments[++i] : std::string(rule->defaultValue);
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                throw usage(shown + " needs a value");
            inlineValue = arguments[++i];
        }
        try {
            checkValue(*rule, *inlineValue);
        } catch (const err::Error&) {
            if (!wrongValue)
                wrongValue = std::current_exception();
        }
        o.*(rule->text) = *inlineValue;
    }
    if (wrongValue && !o.help && !o.version)
        std::rethrow_exception(wrongValue);
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
            name += rule.defaultValue ? std::string("[=") + rule.value + "]" : std::string(" ") + rule.value;
        std::string help = rule.help;
        if (const size_t forms = help.find("{forms}"); forms != std::string::npos)
            help.replace(forms, 7, formsText());
        if (const size_t names = help.find("{tables}"); names != std::string::npos)
            help.replace(names, 8, tablesText());
        if (!rule.aliases.empty()) {
            std::string also;
            for (const char* alias : rule.aliases)
                also += std::string(also.empty() ? "" : ", ") + alias;
            help += " (also " + also + ")";
        }
        if (name.size() + 2 > kColumn)
            options += name + "\n" + std::string(kColumn, ' ') +
                       words::wrapped(help, kColumn, kColumn, kWidth) + "\n";
        else
            options += name + std::string(kColumn - name.size(), ' ') +
                       words::wrapped(help, kColumn, kColumn, kWidth) + "\n";
    }
    const auto paragraph = [](const std::string& text) { return words::wrapped(text, 0, 0, kWidth) + "\n"; };
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
