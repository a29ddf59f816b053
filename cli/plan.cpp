#include "plan.h"

#include "base/files.h"
#include "base/numbers.h"
#include "base/words.h"
#include "kernels/errors.h"
#include "kernels/limits.h"
#include "kernels/text_encoding.h"
#include "option_values.h"
#include "picture_input.h"
#include "settings_source.h"
#include "shipped_tables.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

// A table given on the command line: UTF-8, or single bytes when it is not valid UTF-8.
std::u32string argumentText(const std::string& bytes) {
    std::u32string text;
    if (textcode::decodeUtf8(bytes, text))
        return text;
    return textcode::decode(bytes);
}

std::string baseName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool isStandardOutput(const std::string& path) {
    struct stat named {
    }, output{};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(STDOUT_FILENO, &output) == 0 &&
           named.st_dev == output.st_dev && named.st_ino == output.st_ino;
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

// At the converter's own sizes the text is an exact grid: a character that breaks or moves a line (a
// line feed, a tab, any control character, a line or paragraph separator) would break it. The desktop
// program's sizes keep its table as it is, whatever it holds.
void refuseLineBreakers(const std::u32string& table) {
    for (char32_t c : table)
        if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", unsigned(c));
            throw usage(std::string("the character table holds a line break or another control character (") +
                        code + "), which would break the text's lines");
        }
}

// Takes the font, size and factors a settings file gives; returns its table, when it names one.
std::optional<std::u32string> applySettings(Plan& p, const std::string& path) {
    const settings_source::Settings s = settings_source::read(path);
    if (s.font)
        p.font = *s.font;
    if (s.size)
        p.size = *s.size;
    if (s.h)
        p.factors.h = *s.h;
    if (s.v)
        p.factors.v = *s.v;
    p.factors.scaled = !(p.factors.h == 1 && p.factors.v == 1);
    return s.table;
}

// The values below were checked as the command line was read (option_values.h): here they are only read.
long long wholeOf(const std::optional<std::string>& text) {
    return text ? numbers::readWhole(*text).value_or(0) : 0;
}

void applyScale(Plan& p, const std::string& scale) {
    const auto [h, v] = option_values::wholeSides(scale);
    p.factors.h = double(h);
    p.factors.v = double(v);
    p.factors.scaled = !(h == 1 && v == 1);
}

// The mapping, the levels and dithering.
void applyArt(Plan& p, const Options& o) {
    if (o.mapping)
        p.art.mapping = choice::mappingNamed(*o.mapping).value_or(p.art.mapping);
    p.art.levels.automatic = o.levels && *o.levels == "auto";
    if (o.brightness)
        p.art.levels.brightness = int(numbers::readSignedWhole(*o.brightness).value_or(0));
    if (o.contrast)
        p.art.levels.contrast = int(numbers::readSignedWhole(*o.contrast).value_or(0));
    if (o.gamma)
        p.art.levels.gamma = numbers::readNumber(*o.gamma).value_or(p.art.levels.gamma);
    if (o.dither && p.art.mapping == choice::Mapping::Position)
        throw usage("--dither works with --mapping ink or shape");
    p.art.dither = o.dither;
    p.score = o.score;
}

// Picture formats an output name may end in that the converter does not write: text under such a name is
// a mistake, unless the form is asked for.
constexpr const char* kPictureSuffixes[] = {".jpg", ".jpeg", ".gif", ".bmp", ".webp",
                                            ".tif", ".tiff", ".ppm", ".pgm", ".svg"};

void refusePictureNames(const Options& o) {
    if (o.format || !o.output || *o.output == "-" || o.output->back() == '/' || isDirectory(*o.output))
        return;
    // A picture named as the output is refused as such, with its own reason.
    for (const std::string& picture : o.pictures)
        if (files::sameFile(*o.output, picture))
            return;
    std::string lower = std::filesystem::path(*o.output).extension().string();
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (std::find(std::begin(kPictureSuffixes), std::end(kPictureSuffixes), lower) ==
        std::end(kPictureSuffixes))
        return;
    std::vector<std::string> forms, names;
    for (const art::OutputForm& form : art::outputForms()) {
        forms.push_back(std::string(form.name) + " (NAME" + std::string(form.extension) + ")");
        names.emplace_back(form.name);
    }
    throw usage("-o " + *o.output + ": tessarine-convert writes " + words::listed(forms) + ", not " +
                lower.substr(1) + "; to write one under this name, add --format " + words::listed(names));
}

void applyForm(Plan& p, const Options& o, const Surroundings& world) {
    std::string colour = wordMeant("--color", o.color.value_or(o.fill ? "auto" : "none"));
    // img2txt's formats are text: ansi in 16 colours, unless --color says otherwise.
    const std::string format = o.format ? wordMeant("--format", *o.format) : std::string();
    if (o.format == "ansi" && !o.color)
        colour = "16";
    if (colour == "auto")
        p.colours = paletteOfEnvironment(world.variable("COLORTERM"), world.variable("TERM"));
    else if (colour == "truecolor")
        p.colours = art::Palette::TrueColor;
    else if (colour == "256")
        p.colours = art::Palette::Xterm256;
    else if (colour == "16")
        p.colours = art::Palette::Ansi16;
    if (o.fgOnly && !p.colours)
        throw usage("--fg-only goes with --color");
    if (o.fill && (!p.colours || o.fgOnly))
        throw usage(
            "--fill is the background of --color's two colours a cell: not with --color none or --fg-only");
    if (o.fill && p.art.mapping == choice::Mapping::Position)
        throw usage("--fill gives two colours a cell with --mapping shape or ink; --mapping position colours "
                    "each character alone");
    p.twoColours = p.colours && !o.fgOnly && p.art.mapping != choice::Mapping::Position;
    refusePictureNames(o);
    if (!format.empty())
        p.form = art::formNamed(format);
    else if (o.output)
        if (const art::OutputForm* chosen = art::formForFileName(*o.output))
            p.form = chosen;
}

// Where the text is shown: light text for a dark background. Given; else, at the converter's own sizes,
// the terminal's own background when it can be asked and its answer can change the text (its answer, else
// $COLORFGBG, else dark, as most terminals are and as jp2a, chafa and timg take it into a pipe); a page
// (html, png) is light unless told. --scale and --settings keep the desktop program's dark text on a light
// page. --invert flips whatever is in force.
void applyBackground(Plan& p, const Options& o, bool ownSizes, bool toTerminal, Surroundings& world) {
    std::optional<Background> background;
    if (o.background) {
        background = *o.background == "dark" ? Background::Dark : Background::Light;
    } else if (ownSizes && p.form == &art::textForm() && !o.order) {
        // Two colours a cell set every cell's colours: the terminal's background never shows.
        if (toTerminal && !p.twoColours && mayAskTerminal(world.variable("TERM")))
            background = world.askBackground();
        if (!background)
            background = backgroundOfColorFgBg(world.variable("COLORFGBG"));
        if (!background)
            background = Background::Dark;
    }
    p.invert = (background == Background::Dark) != o.invert;
    p.art.inverted = p.invert;
}

// --animate plays text in a terminal: into a file or a pipe, frames one after another would be no picture,
// and neither would pages or pictures one after another.
void applyAnimation(Plan& p, const Options& o, const Surroundings& world) {
    p.animate = o.animate && *o.animate == "on";
    if (p.animate && ((o.output && *o.output != "-") || !world.outputIsTerminal()))
        throw usage("--animate plays in a terminal: standard output is none (without it, the first frame is "
                    "written)");
    if (p.animate && p.form != &art::textForm())
        throw usage(std::string("--animate plays text in a terminal: not with --format ") +
                    std::string(p.form->name));
    if (o.loops)
        p.loops = int(std::min<long long>(wholeOf(o.loops), 1000000));
    if (o.duration)
        p.duration = numbers::readNumber(*o.duration).value_or(0);
}

// The converter's own sizing unless factors were asked for: the grid asked for; else, for a terminal,
// as much of it as the picture's proportions allow, one line left for the prompt; else 80 characters
// ($COLUMNS) a line.
void applySize(Plan& p, const Options& o, const Surroundings& world) {
    const int columns = int(wholeOf(o.columns)), rows = int(wholeOf(o.rows));
    if (columns > 0 || rows > 0) {
        p.grid = Plan::Grid{columns, rows, false};
        return;
    }
    // chafa's -s WxH: the largest grid within it; with --stretch, all of it.
    if (o.fit) {
        const auto [w, h] = option_values::wholeSides(*o.fit);
        p.grid = Plan::Grid{int(w), int(h), !o.stretch};
        return;
    }
    if (o.scale || o.settings)
        return;
    const bool toStandardOutput = !o.output || *o.output == "-";
    if (const std::optional<px::Size> terminal = world.terminalSize(); terminal && toStandardOutput) {
        p.grid = Plan::Grid{terminal->width, std::max(1, terminal->height - 1), !o.stretch};
        return;
    }
    long long wide = 80;
    if (const char* given = world.variable("COLUMNS"))
        if (const std::optional<long long> n = numbers::readWhole(given); n && *n >= 1)
            wide = *n;
    p.grid = Plan::Grid{int(std::min<long long>(wide, limits::kMaxBufferSide)), 0, false};
}

// One job a picture, with its output's name; several pictures go into a folder, each as its base name
// and the form's extension.
void addJobs(Plan& p, const Options& o, Surroundings& world) {
    if (o.pictures.empty())
        throw usage("no picture given (see --help)");
    // "-o -" is standard output, where several pictures are written one after another; so is a name of
    // the file standard output already is (/dev/stdout), which another user may not be let to open anew.
    std::string out = o.output && *o.output != "-" ? *o.output : std::string();
    if (!out.empty() && isStandardOutput(out))
        out.clear();
    // A name ending in "/" is a folder, whatever the number of pictures.
    const bool intoFolder = !out.empty() && (o.pictures.size() > 1 || isDirectory(out) || out.back() == '/');
    if (intoFolder && !world.makeFolder(out))
        throw usage("cannot create folder " + out);
    if (std::count(o.pictures.begin(), o.pictures.end(), std::string(kStandardInput)) > 1)
        throw usage("standard input (-) can be read only once");
    std::map<std::string, std::string> names;
    for (const std::string& picture : o.pictures) {
        Job job{picture, picture, out, false, false, {}};
        if (intoFolder) {
            const std::string name = (picture == kStandardInput ? std::string("stdin") : baseName(picture)) +
                                     std::string(p.form->extension);
            job.output = (std::filesystem::path(out) / name).string();
            // The name stays with the picture that holds it: a later clash names that one.
            if (const auto taken = names.find(name); taken != names.end()) {
                world.report(picture, "output " + name + " is already written for " + taken->second);
                job.refused = true;
            } else {
                names[name] = picture;
            }
        }
        p.jobs.push_back(job);
    }
    for (Job& job : p.jobs) {
        if (job.refused)
            continue;
        if (job.picture == kStandardInput) {
            try {
                job.source = world.keepStandardInput();
            } catch (const err::Error& e) {
                job.inputError = e.description();
                continue;
            }
        }
        job.viaQt = picture_input::decodedByQt(job.source);
        if (job.viaQt && !picture_input::startsAsItsFormatGoesOn(job.source))
            job.inputError = err::description(err::InvalidPicture);
    }
    // Nothing is written over a picture the run reads.
    for (const Job& job : p.jobs)
        for (const Job& input : p.jobs)
            if (!job.output.empty() && files::sameFile(job.output, input.source))
                throw usage("-o " + job.output + " is the picture " + input.picture +
                            "; it is not written over");
}

} // namespace

bool Plan::needsQt() const {
    if (form->needsGlyphs)
        return true;
    return std::any_of(jobs.begin(), jobs.end(),
                       [](const Job& job) { return !job.refused && job.inputError.empty() && job.viaQt; });
}

buffer::Factors gridFor(px::Size picture, const Plan::Grid& grid, double cellAspect) {
    // Characters a line for so many lines, and lines for so many characters, that keep the proportions.
    const double aspect = double(std::max(1, picture.width)) / std::max(1, picture.height) * cellAspect;
    const auto clamp = [](double n) {
        return int(std::clamp(std::round(n), 1.0, double(limits::kMaxBufferSide)));
    };
    buffer::Factors f;
    f.columns = grid.columns;
    f.rows = grid.rows;
    if (grid.fit) {
        f.rows = clamp(grid.columns / aspect);
        if (f.rows > grid.rows) {
            f.rows = grid.rows;
            f.columns = std::min(grid.columns, clamp(grid.rows * aspect));
        }
    } else if (f.rows == 0) {
        f.rows = clamp(f.columns / aspect);
    } else if (f.columns == 0) {
        f.columns = clamp(f.rows * aspect);
    }
    return f;
}

Plan makePlan(const Options& o, Surroundings& world) {
    Plan p;
    if (int(o.table.has_value()) + int(o.chars.has_value()) + int(o.symbols.has_value()) > 1)
        throw usage(o.table && o.chars ? "--table and --chars exclude each other"
                                       : "--symbols names a table: it excludes --table and --chars");
    if (o.scale && (o.columns || o.rows || o.fit))
        throw usage(std::string("--scale and ") +
                    (o.columns ? "--columns"
                     : o.rows  ? "--rows"
                               : "-s") +
                    " exclude each other");
    if (o.fit && (o.columns || o.rows))
        throw usage("-s and --columns or --rows exclude each other");
    // At its own sizes the converter draws its best: the glyphs' shapes, in the terminal's font; the
    // desktop program's sizes keep its mapping, table and font.
    const bool ownSizes = !o.scale && !o.settings;
    if (ownSizes) {
        p.font = kTerminalFont;
        p.size = 10;
        p.art.mapping = choice::Mapping::Shape;
    }
    std::optional<std::u32string> table;
    if (o.settings)
        table = applySettings(p, *o.settings);
    // A table given replaces the settings file's; only when none is given is a shipped one looked up.
    if (o.table)
        table = tables::tableNamed(*o.table);
    if (o.chars)
        table = argumentText(*o.chars);
    if (o.symbols)
        table = tables::tableNamed(wordMeant("--symbols", *o.symbols));
    const bool positional = o.mapping ? *o.mapping == "position" : !ownSizes;
    p.table = table ? *table : ownSizes && !positional ? tables::tableNamed("ascii") : tables::defaultTable();
    p.flipX = o.flipX;
    p.flipY = o.flipY;
    if (o.font)
        p.font = *o.font;
    if (textcode::decode(p.font).size() > size_t(limits::kMaxFontNameLength))
        throw usage("the font name is longer than " + std::to_string(limits::kMaxFontNameLength) +
                    " characters; no font is named so");
    if (o.size)
        p.size = numbers::readNumber(*o.size).value_or(p.size);
    // The size as the program's size box holds it: a non-negative number, capped at 99 for a run.
    if (!(p.size >= limits::kMinFontSize))
        throw usage("the font size must be at least 1 point");
    p.size = std::min(p.size, limits::kMaxFontSize);
    if (o.scale)
        applyScale(p, *o.scale);
    applySize(p, o, world);
    p.crlf = o.crlf;
    p.order = o.order;
    p.useCache = !o.noCache;
    applyArt(p, o);
    applyForm(p, o, world);
    // Two colours a cell draw best in block elements: at the converter's own sizes they are its table then.
    if (ownSizes && p.twoColours && !o.table && !o.chars && !o.symbols)
        p.table = tables::tableNamed("blocks");
    // In one ink a text's range runs only from the blank to its darkest glyph: at its own sizes the
    // converter spends all of it on the picture's own range (colours are kept as they are).
    if (ownSizes && !p.twoColours && !o.levels)
        p.art.levels.automatic = true;
    applyAnimation(p, o, world);
    const bool toTerminal = (!o.output || *o.output == "-") && world.outputIsTerminal();
    applyBackground(p, o, ownSizes, toTerminal, world);
    if (const std::optional<px::Size> cell = world.terminalCell(); cell && ownSizes && toTerminal)
        p.cellAspect = double(cell->height) / cell->width;
    if (p.table.empty())
        throw usage("the character table is empty");
    if (p.table.size() > size_t(limits::kMaxTableLength))
        throw usage("the character table has " + std::to_string(p.table.size()) +
                    " characters; a table holds at most " + std::to_string(limits::kMaxTableLength));
    if (p.grid && !p.order)
        refuseLineBreakers(p.table);
    if (!p.order)
        addJobs(p, o, world);
    return p;
}

} // namespace cli
