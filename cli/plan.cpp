#include "plan.h"

#include "kernels/errors.h"
#include "kernels/files.h"
#include "kernels/limits.h"
#include "kernels/rounding.h"
#include "kernels/text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sys/ioctl.h>
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

std::u32string tableFile(const std::string& path) {
    try {
        files::requireRegularFile(path);
    } catch (const err::Error& e) {
        throw usage(path + ": " + e.description());
    }
    std::string bytes;
    if (!files::readFile(path, bytes))
        throw usage(path + ": " + err::description(err::PathFileAccess) + " (" + std::strerror(errno) + ")");
    return textcode::decode(textcode::firstLineBytes(bytes));
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

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool endsWith(std::string name, const char* suffix) {
    for (char& c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const size_t n = std::strlen(suffix);
    return name.size() >= n && name.compare(name.size() - n, n, suffix) == 0;
}

} // namespace

int terminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        long long n = 0;
        if (readWhole(columns, n) && n > 0)
            return int(std::min<long long>(n, 32767));
    }
    return 80;
}

void printError(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "tessarine-convert: %s%s\n", file.empty() ? "" : (file + ": ").c_str(),
                 reason.c_str());
}

std::string programFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::u32string defaultTable() {
    const std::string shipped = files::programDataFile(programFolder(), "default-table.txt");
    std::error_code ec;
    std::string bytes;
    if (std::filesystem::is_regular_file(shipped, ec) && files::readFile(shipped, bytes))
        return textcode::decode(textcode::firstLineBytes(bytes));
    return textcode::decode(textcode::firstLineBytes(std::string_view(kBuiltInTable, sizeof kBuiltInTable)));
}

buffer::Factors factorsForColumns(px::Size picture, int columns, double cellAspect) {
    const int w = picture.width, h = picture.height;
    const auto fits = [](int side, double f, int count) {
        const int step = int(rounding::halfEven(f));
        return step >= 1 && int(std::floor((side + 4) / f)) - 4 == count && int64_t(count) * step <= side;
    };
    buffer::Factors f;
    const int wanted = std::min(columns, w);
    f.h = (w + 4) / (wanted + 4.5);
    if (f.h < 1 || !fits(w, f.h, wanted)) {
        int whole = std::max(1, (w + 4) / (wanted + 4));
        while ((w + 4) / whole - 4 > wanted)
            ++whole;
        f.h = whole;
    }
    f.v = std::max(1.0, f.h * cellAspect);
    const int rows = int(std::floor((h + 4) / f.v)) - 4;
    if (!fits(h, f.v, rows))
        f.v = std::max(1.0, rounding::halfEven(f.v));
    f.scaled = !(f.h == 1 && f.v == 1);
    return f;
}

Plan makePlan(const Options& o, QtServices& qt) {
    Plan p;
    if (o.table && o.chars)
        throw usage("--table and --chars exclude each other");
    if (o.scale && o.columns)
        throw usage("--scale and --columns exclude each other");
    p.table = defaultTable();
    if (o.settings) {
        SettingsFile s;
        try {
            s = qt.readSettings(*o.settings);
        } catch (const err::Error& e) {
            throw usage(e.description());
        }
        if (s.table)
            p.table = *s.table;
        if (s.font)
            p.font = *s.font;
        if (s.size)
            p.size = *s.size;
        if (s.h)
            p.factors.h = *s.h;
        if (s.v)
            p.factors.v = *s.v;
        p.factors.scaled = !(p.factors.h == 1 && p.factors.v == 1);
    }
    if (o.table)
        p.table = tableFile(*o.table);
    if (o.chars)
        p.table = argumentText(*o.chars);
    if (o.font)
        p.font = *o.font;
    if (o.size && !readNumber(*o.size, p.size))
        throw usage("--size takes a number of points");
    // The size as the program's size box holds it: a non-negative number, capped at 99 for a run.
    if (!(p.size >= limits::kMinFontSize))
        throw usage("the font size must be at least 1 point");
    p.size = std::min(p.size, limits::kMaxFontSize);
    if (o.scale) {
        const size_t x = o.scale->find('x');
        long long h = 0, v = 0;
        if (x == std::string::npos || !readWhole(o.scale->substr(0, x), h) ||
            !readWhole(o.scale->substr(x + 1), v) || o.scale->substr(0, x).size() > 9 ||
            o.scale->substr(x + 1).size() > 9 || h < 1 || v < 1)
            throw usage("--scale takes HxV, two whole numbers of at least 1 (for example 8x16)");
        p.factors.h = double(h);
        p.factors.v = double(v);
        p.factors.scaled = !(h == 1 && v == 1);
    }
    if (o.columns) {
        long long n = 0;
        if (!readWhole(*o.columns, n) || n < 1 || n > 2147483647)
            throw usage("--columns takes a whole number of at least 1");
        p.columns = int(n);
    }
    p.crlf = o.crlf;
    p.order = o.order;
    p.useCache = !o.noCache;
    p.invert = o.invert;
    if (o.color) {
        if (*o.color == "truecolor")
            p.colours = art::Palette::TrueColor;
        else if (*o.color == "256")
            p.colours = art::Palette::Xterm256;
        else if (*o.color == "16")
            p.colours = art::Palette::Ansi16;
        else
            throw usage("--color takes truecolor, 256 or 16");
    }
    if (o.format) {
        if (*o.format == "text")
            p.format = Plan::Format::Text;
        else if (*o.format == "html")
            p.format = Plan::Format::Html;
        else if (*o.format == "png")
            p.format = Plan::Format::Png;
        else
            throw usage("--format takes text, html or png");
    } else if (o.output && (endsWith(*o.output, ".html") || endsWith(*o.output, ".htm"))) {
        p.format = Plan::Format::Html;
    } else if (o.output && endsWith(*o.output, ".png")) {
        p.format = Plan::Format::Png;
    }
    // Text for a terminal fits it, unless the size was asked for.
    if (!o.scale && !o.columns && !o.settings && !o.output && !o.order && ::isatty(STDOUT_FILENO))
        p.columns = terminalColumns(STDOUT_FILENO);
    if (p.table.empty())
        throw usage("the character table is empty");
    if (p.table.size() > size_t(limits::kMaxTableLength))
        throw usage("the character table has " + std::to_string(p.table.size()) +
                    " characters; a table holds at most " + std::to_string(limits::kMaxTableLength));
    if (p.order)
        return p;

    if (o.pictures.empty())
        throw usage("no picture given (see --help)");
    const std::string out = o.output.value_or(std::string());
    const bool intoFolder = !out.empty() && (o.pictures.size() > 1 || isDirectory(out));
    if (o.pictures.size() > 1 && out.empty())
        throw usage("several pictures need -o DIR");
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
        Job job{picture, out, false};
        if (intoFolder) {
            const char* extension = p.format == Plan::Format::Html  ? ".html"
                                    : p.format == Plan::Format::Png ? ".png"
                                                                    : ".txt";
            const std::string name =
                (picture == kStandardInput ? std::string("stdin") : baseName(picture)) + extension;
            job.output = (std::filesystem::path(out) / name).string();
            if (const auto taken = names.find(name); taken != names.end()) {
                printError(picture, "output " + name + " is already written for " + taken->second);
                job.refused = true;
            }
            names[name] = picture;
        }
        p.jobs.push_back(job);
    }
    return p;
}

} // namespace cli
