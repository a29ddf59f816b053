#include "plan.h"

#include "base/files.h"
#include "base/install_layout.h"
#include "base/numbers.h"
#include "base/settings_lines.h"
#include "base/text_files.h"
#include "kernels/errors.h"
#include "kernels/gif_blocks.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/limits.h"
#include "kernels/memory_limit.h"
#include "kernels/rounding.h"
#include "kernels/text_encoding.h"
#include "output.h"
#include "shipped_tables.h"
#include "terminal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

const char kBuiltInTable[] = {
#include "default_table.inc"
};

// A table given on the command line: UTF-8, or single bytes when it is not valid UTF-8.
std::u32string argumentText(const std::string& bytes) {
    std::u32string text;
    if (textcode::decodeUtf8(bytes, text))
        return text;
    return textcode::decode(bytes);
}

// What a settings file says of the table, the font, its size and the factors, read as the desktop program
// reads it: line by line, the table file read when its line is applied.
struct SettingsFile {
    std::optional<std::u32string> table;
    std::optional<std::string> font;
    std::optional<double> size, h, v;
};

class SettingsReader : public ini::Target {
  public:
    SettingsFile settings;

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

SettingsFile readSettings(const std::string& path) {
    std::vector<std::string> lines;
    try {
        lines = ini::readLines(path);
    } catch (const err::Error& e) {
        throw usage(path + ": " + e.description());
    }
    SettingsReader reader;
    for (size_t i = 0; i < lines.size(); ++i) {
        ini::Line line;
        try {
            line = ini::parseLine(lines[i]);
        } catch (const err::Error&) {
            throw usage(path + ": line " + std::to_string(i + 1) + " has no \"=\"");
        }
        try {
            ini::applyLine(lines[i], reader);
        } catch (const err::Error& e) {
            throw usage(path + ": " + line.key + ": " + e.description());
        }
    }
    return reader.settings;
}

// A number as the C library reads it, the whole text and nothing else; no hexadecimal forms.
bool readNumber(const std::string& text, double& value) {
    if (text.find_first_of("xX") != std::string::npos)
        return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtod(begin, &end);
    if (end == begin)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == 0;
}

bool readWhole(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 10)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    value = std::stoll(text);
    return true;
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

// Whether a file's first bytes can start a picture of a format the converter or Qt's readers read:
// standard input that cannot is refused at once rather than kept.
bool mayStartPicture(std::string_view head) {
    using namespace std::string_view_literals; // the signatures hold NUL bytes
    static constexpr std::string_view kSignatures[] = {
        "\xFF\xD8\xFF"sv, "\x89PNG"sv, "GIF8"sv,  "BM"sv,   "RIFF"sv, "II*"sv,  "MM\0*"sv, "\0\0\1\0"sv,
        "\0\0\2\0"sv,     "P1"sv,      "P2"sv,    "P3"sv,   "P4"sv,   "P5"sv,   "P6"sv,    "P7"sv,
        "#define"sv,      "/* XPM"sv,  "<?xml"sv, "<svg"sv, "icns"sv, "DDS "sv, "8BPS"sv,  "\0\0\0\x0CjP"sv};
    for (std::string_view signature : kSignatures)
        if (head.substr(0, signature.size()) == signature)
            return true;
    // HEIF and AVIF name their brand after a box size; TGA has no signature, only plausible first bytes.
    if (head.size() >= 8 && head.substr(4, 4) == "ftyp")
        return true;
    return head.size() >= 3 && (head[1] == 0 || head[1] == 1) &&
           "\1\2\3\x09\x0A\x0B"sv.find(head[2]) != std::string_view::npos;
}

// A JPEG stream longer than this is asked for its size: a picture cannot take more bytes a pixel than
// kMaxJpegBytesPerPixel (noise at the finest quality, unsubsampled, takes about four), so what goes on
// past that is no part of it.
constexpr int64_t kJpegSizeCheckBytes = int64_t(64) << 20;
constexpr int64_t kMaxJpegBytesPerPixel = 16;

// How much of the JPEG stream begun in `spool` can belong to its picture; raises 481 when what is there
// holds no JPEG header. Leaves `spool` at its end, to be written on.
int64_t jpegStreamLimit(std::FILE* spool) {
    std::fflush(spool);
    std::rewind(spool);
    const jpeg::Info info = jpeg::readHeader(spool);
    std::fseek(spool, 0, SEEK_END);
    return kJpegSizeCheckBytes + kMaxJpegBytesPerPixel * info.width * info.height;
}

// Standard input copied to a file of its own that nobody else can see (it is gone when the converter
// ends), so that it reads like any picture file; returns its path. No more is kept than decoding may
// take memory (for a JPEG, than its announced size can take), and nothing that cannot start a picture.
std::string spoolStandardInput() {
    std::FILE* spool = std::tmpfile();
    const auto failed = [](const char* what) {
        return err::Error(err::PathFileAccess, std::string(what) + std::strerror(errno));
    };
    if (!spool)
        throw failed("cannot keep standard input: ");
    const int64_t budget = int64_t(memlimit::pictureAllocationLimitMB()) << 20;
    int64_t limit = budget;
    bool jpegStream = false;
    bool sizeChecked = false;
    int64_t kept = 0;
    char chunk[1 << 16];
    size_t got;
    std::optional<gif::BlockWalker> gifBlocks;
    while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        if (kept == 0) {
            if (!mayStartPicture(std::string_view(chunk, got)))
                throw err::Error(err::InvalidPicture, "Invalid picture (standard input holds no picture)");
            jpegStream = jpeg::looksLikeJpeg(std::string_view(chunk, got));
            if (gif::looksLikeGif(std::string_view(chunk, got)))
                gifBlocks.emplace();
        }
        // A GIF is refused at its first wrong byte, and ends at its trailer.
        if (gifBlocks) {
            if (gifBlocks->feed(std::string_view(chunk, got)) == gif::BlockWalker::Verdict::Invalid)
                throw err::Error(err::InvalidPicture);
            if (gifBlocks->verdict() == gif::BlockWalker::Verdict::Whole)
                got = size_t(gifBlocks->consumed() - kept);
        }
        if (jpegStream && !sizeChecked && kept >= kJpegSizeCheckBytes) {
            sizeChecked = true;
            limit = std::min(budget, jpegStreamLimit(spool));
        }
        kept += int64_t(got);
        if (kept > limit && limit < budget)
            throw err::Error(err::InvalidPicture, "Invalid picture (standard input goes on past " +
                                                      std::to_string(limit >> 20) +
                                                      " MB, more than its picture can take)");
        if (kept > limit)
            throw err::Error(err::OutOfMemory,
                             "Out of memory (standard input goes on past " +
                                 std::to_string(memlimit::pictureAllocationLimitMB()) + " MB)",
                             err::Kind::TooLarge);
        if (std::fwrite(chunk, 1, got, spool) != got)
            throw failed("cannot keep standard input: ");
        if (gifBlocks && gifBlocks->verdict() == gif::BlockWalker::Verdict::Whole)
            break;
    }
    if (std::ferror(stdin) || std::fflush(spool) != 0)
        throw failed("cannot read standard input: ");
    return "/proc/self/fd/" + std::to_string(fileno(spool)); // kept open for the rest of the run
}

// Qt's readers decode what is no JPEG, and JPEG colour spaces the kernels do not turn into RGB. A JPEG
// whose header cannot be read is the kernels' to refuse.
bool decodedByQt(const std::string& source) {
    if (!jpeg::looksLikeJpeg(files::head(source, 3)))
        return true;
    try {
        return !jpeg::readHeader(files::openForReading(source).get()).convertible;
    } catch (const err::Error&) {
        return false;
    }
}

// A file whose first blocks already say it is not the picture it starts as is refused while planning,
// before any font is measured for it: a GIF's first 64 KB are walked (the rest when it is decoded).
bool startsAsItsFormatGoesOn(const std::string& source) {
    const std::string head = files::head(source, 64 * 1024);
    if (!gif::looksLikeGif(head))
        return true;
    gif::BlockWalker walker;
    return walker.feed(head) != gif::BlockWalker::Verdict::Invalid;
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
    const SettingsFile s = readSettings(path);
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

void applyScale(Plan& p, const std::string& scale) {
    const size_t x = scale.find('x');
    long long h = 0, v = 0;
    if (x == std::string::npos || !readWhole(scale.substr(0, x), h) || !readWhole(scale.substr(x + 1), v) ||
        scale.substr(0, x).size() > 9 || scale.substr(x + 1).size() > 9 || h < 1 || v < 1)
        throw usage("--scale takes HxV, two whole numbers of at least 1 (for example 8x16)");
    p.factors.h = double(h);
    p.factors.v = double(v);
    p.factors.scaled = !(h == 1 && v == 1);
}

// A whole number within a range, as --brightness and --contrast take it.
int wholeIn(const std::optional<std::string>& text, const char* option, int lowest, int highest) {
    if (!text)
        return 0;
    long long n = 0;
    const bool negative = !text->empty() && (*text)[0] == '-';
    const std::string digits = negative || (!text->empty() && (*text)[0] == '+') ? text->substr(1) : *text;
    if (!readWhole(digits, n) || (negative ? -n : n) < lowest || (negative ? -n : n) > highest)
        throw usage(std::string(option) + " takes a whole number from " + std::to_string(lowest) + " to " +
                    std::to_string(highest));
    return int(negative ? -n : n);
}

// The mapping, the levels and dithering.
void applyArt(Plan& p, const Options& o) {
    if (o.mapping) {
        requireWord("--mapping", *o.mapping);
        p.art.mapping = *choice::mappingNamed(*o.mapping);
    }
    if (o.levels)
        requireWord("--levels", *o.levels);
    p.art.levels.automatic = o.levels && *o.levels == "auto";
    p.art.levels.brightness =
        wholeIn(o.brightness, "--brightness", -choice::kMaxBrightness, choice::kMaxBrightness);
    p.art.levels.contrast = wholeIn(o.contrast, "--contrast", -choice::kMaxContrast, choice::kMaxContrast);
    if (o.gamma) {
        double g = 0;
        if (!readNumber(*o.gamma, g) || !(g >= choice::kMinGamma && g <= choice::kMaxGamma))
            throw usage("--gamma takes a number from 0.1 to 10");
        p.art.levels.gamma = g;
    }
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
    std::string forms, names;
    const auto all = art::outputForms();
    for (size_t i = 0; i < all.size(); ++i) {
        const std::string joint = i == 0 ? "" : i + 1 == all.size() ? " or " : ", ";
        forms += joint + std::string(all[i].name) + " (NAME" + std::string(all[i].extension) + ")";
        names += joint + std::string(all[i].name);
    }
    throw usage("-o " + *o.output + ": tessarine-convert writes " + forms + ", not " + lower.substr(1) +
                "; to write one under this name, add --format " + names);
}

void applyForm(Plan& p, const Options& o) {
    std::string colour = o.color.value_or(o.fill ? "auto" : "none");
    requireWord("--color", colour);
    // img2txt's formats: ansi is the text in 16 colours, utf8 the text.
    std::string format = o.format.value_or("");
    if (o.format)
        requireWord("--format", format);
    if (format == "ansi" || format == "utf8") {
        if (format == "ansi" && !o.color)
            colour = "16";
        format = "text";
    }
    if (colour == "auto")
        p.colours = paletteOfEnvironment(std::getenv("COLORTERM"), std::getenv("TERM"));
    else if (colour == "truecolor" || colour == "full")
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
void applyBackground(Plan& p, const Options& o, bool ownSizes, bool toTerminal) {
    std::optional<Background> background;
    if (o.background) {
        requireWord("--background", *o.background);
        background = *o.background == "dark" ? Background::Dark : Background::Light;
    } else if (ownSizes && p.form == &art::textForm() && !o.order) {
        // Two colours a cell set every cell's colours: the terminal's background never shows.
        if (toTerminal && !p.twoColours && mayAskTerminal(std::getenv("TERM")))
            background = askBackground(STDIN_FILENO, STDOUT_FILENO);
        if (!background)
            background = backgroundOfColorFgBg(std::getenv("COLORFGBG"));
        if (!background)
            background = Background::Dark;
    }
    p.invert = (background == Background::Dark) != o.invert;
    p.art.inverted = p.invert;
}

// The longest a play may be bounded to: beyond it a bound is no bound, and the clock's end would overflow.
constexpr double kMaxDuration = 86400;

// --animate plays text in a terminal: into a file or a pipe, frames one after another would be no picture,
// and neither would pages or pictures one after another.
void applyAnimation(Plan& p, const Options& o) {
    if (o.animate)
        requireWord("--animate", *o.animate);
    p.animate = o.animate && *o.animate == "on";
    if (p.animate && ((o.output && *o.output != "-") || !::isatty(STDOUT_FILENO)))
        throw usage("--animate plays in a terminal: standard output is none (without it, the first frame is "
                    "written)");
    if (p.animate && p.form != &art::textForm())
        throw usage(std::string("--animate plays text in a terminal: not with --format ") +
                    std::string(p.form->name));
    if (o.loops) {
        long long n = 0;
        if (!readWhole(*o.loops, n) || n < 1)
            throw usage("--loops takes a whole number of at least 1");
        p.loops = int(std::min<long long>(n, 1000000));
    }
    if (o.duration && !(readNumber(*o.duration, p.duration) && p.duration > 0 && p.duration <= kMaxDuration))
        throw usage("--duration takes a number of seconds above 0, at most a day (86400)");
}

int gridSide(const std::optional<std::string>& value, const char* option) {
    if (!value)
        return 0;
    long long n = 0;
    if (!readWhole(*value, n) || n < 1 || n > limits::kMaxBufferSide)
        throw usage(std::string(option) + " takes a whole number from 1 to " +
                    std::to_string(limits::kMaxBufferSide));
    return int(n);
}

// The converter's own sizing unless factors were asked for: the grid asked for; else, for a terminal,
// as much of it as the picture's proportions allow, one line left for the prompt; else 80 characters
// ($COLUMNS) a line.
void applySize(Plan& p, const Options& o) {
    const int columns = gridSide(o.columns, "--columns"), rows = gridSide(o.rows, "--rows");
    if (columns > 0 || rows > 0) {
        p.grid = Plan::Grid{columns, rows, false};
        return;
    }
    // chafa's -s WxH: the largest grid within it; with --stretch, all of it.
    if (o.fit) {
        const size_t x = o.fit->find('x');
        if (x == std::string::npos)
            throw usage("-s takes WxH, the most characters a line by the most lines (for example 80x24)");
        p.grid =
            Plan::Grid{gridSide(o.fit->substr(0, x), "-s"), gridSide(o.fit->substr(x + 1), "-s"), !o.stretch};
        return;
    }
    if (o.scale || o.settings)
        return;
    const bool toStandardOutput = !o.output || *o.output == "-";
    if (const std::optional<px::Size> terminal = terminalSize(STDOUT_FILENO); terminal && toStandardOutput) {
        p.grid = Plan::Grid{terminal->width, std::max(1, terminal->height - 1), !o.stretch};
        return;
    }
    long long wide = 80;
    if (const char* given = std::getenv("COLUMNS"); given && !(readWhole(given, wide) && wide >= 1))
        wide = 80;
    p.grid = Plan::Grid{int(std::min<long long>(wide, limits::kMaxBufferSide)), 0, false};
}

// One job a picture, with its output's name; several pictures go into a folder, each as its base name
// and the form's extension.
void addJobs(Plan& p, const Options& o) {
    if (o.pictures.empty())
        throw usage("no picture given (see --help)");
    // "-o -" is standard output, where several pictures are written one after another; so is a name of
    // the file standard output already is (/dev/stdout), which another user may not be let to open anew.
    std::string out = o.output && *o.output != "-" ? *o.output : std::string();
    if (!out.empty() && isStandardOutput(out))
        out.clear();
    // A name ending in "/" is a folder, whatever the number of pictures.
    const bool intoFolder = !out.empty() && (o.pictures.size() > 1 || isDirectory(out) || out.back() == '/');
    if (intoFolder) {
        std::error_code ec;
        std::filesystem::create_directories(out, ec);
        if (!isDirectory(out))
            throw usage("cannot create folder " + out);
    }
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
                printError(picture, "output " + name + " is already written for " + taken->second);
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
                job.source = spoolStandardInput();
            } catch (const err::Error& e) {
                job.inputError = e.description();
                continue;
            }
        }
        job.viaQt = decodedByQt(job.source);
        if (job.viaQt && !startsAsItsFormatGoesOn(job.source))
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

std::u32string defaultTable() {
    const std::string shipped = layout::dataFile(layout::programFolder(), "default-table.txt");
    try {
        return files::readFirstLine(shipped);
    } catch (const err::Error&) {
        return textcode::decode(
            textcode::firstLineBytes(std::string_view(kBuiltInTable, sizeof kBuiltInTable)));
    }
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

Plan makePlan(const Options& o) {
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
    if (o.symbols) {
        requireWord("--symbols", *o.symbols);
        table = tables::tableNamed(*o.symbols == "block" ? "blocks" : *o.symbols);
    }
    const bool positional = o.mapping ? *o.mapping == "position" : !ownSizes;
    p.table = table ? *table : ownSizes && !positional ? tables::tableNamed("ascii") : defaultTable();
    p.flipX = o.flipX;
    p.flipY = o.flipY;
    if (o.font)
        p.font = *o.font;
    if (textcode::decode(p.font).size() > size_t(limits::kMaxFontNameLength))
        throw usage("the font name is longer than " + std::to_string(limits::kMaxFontNameLength) +
                    " characters; no font is named so");
    if (o.size && !readNumber(*o.size, p.size)) {
        // chafa's --size is the text's: here it is the font's.
        const size_t x = o.size->find('x');
        if (x != std::string::npos)
            throw usage("--size is the font's size in points here; for a text of " + o.size->substr(0, x) +
                        " x " + o.size->substr(x + 1) + " characters, -s " + *o.size + " or --columns " +
                        o.size->substr(0, x) + " --rows " + o.size->substr(x + 1));
        throw usage("--size takes a number of points");
    }
    // The size as the program's size box holds it: a non-negative number, capped at 99 for a run.
    if (!(p.size >= limits::kMinFontSize))
        throw usage("the font size must be at least 1 point");
    p.size = std::min(p.size, limits::kMaxFontSize);
    if (o.scale)
        applyScale(p, *o.scale);
    applySize(p, o);
    p.crlf = o.crlf;
    p.order = o.order;
    p.useCache = !o.noCache;
    applyArt(p, o);
    applyForm(p, o);
    applyAnimation(p, o);
    const bool toTerminal = (!o.output || *o.output == "-") && ::isatty(STDOUT_FILENO);
    applyBackground(p, o, ownSizes, toTerminal);
    if (const std::optional<px::Size> cell = terminalCell(STDOUT_FILENO); cell && ownSizes && toTerminal)
        p.cellAspect = double(cell->height) / cell->width;
    if (p.table.empty())
        throw usage("the character table is empty");
    if (p.table.size() > size_t(limits::kMaxTableLength))
        throw usage("the character table has " + std::to_string(p.table.size()) +
                    " characters; a table holds at most " + std::to_string(limits::kMaxTableLength));
    if (p.grid && !p.order)
        refuseLineBreakers(p.table);
    if (!p.order)
        addJobs(p, o);
    return p;
}

} // namespace cli
