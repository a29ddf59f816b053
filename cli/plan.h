#pragma once

#include "kernels/buffer.h"
#include "kernels/pixels.h"
#include "kernels/text_art.h"
#include "options.h"
#include "qt_services.h"

#include <optional>
#include <string>
#include <vector>

// What a converter run will do: the table, font, size and factors every picture is converted with, and
// where each picture's text goes. Made from the options, the settings file and the default table.
namespace cli {

struct Job {
    std::string picture;  // as given, for messages; "-" is standard input
    std::string output;   // empty: standard output
    bool refused = false; // its output name is taken by an earlier picture; already reported
};

// The name a picture read from standard input goes by.
constexpr const char* kStandardInput = "-";

struct Plan {
    std::u32string table;
    std::string font = "Courier New";
    double size = 8;
    buffer::Factors factors;
    int columns = 0; // 0: the factors as given
    bool crlf = false;
    bool order = false;
    bool useCache = true;
    bool invert = false;                 // the table's order reversed
    std::optional<art::Palette> colours; // each character in its block's colour
    enum class Format { Text, Html, Png } format = Format::Text;
    std::vector<Job> jobs;
};

// Raises a usage error for anything the converter cannot act on; errors of single pictures are the run's.
Plan makePlan(const Options& options, QtServices& qt);

// Factors for exactly `columns` characters a line where the blocks can still cover every column, else
// the whole factor that comes closest without exceeding it; the vertical factor follows the font's cell
// (height over width), so the text keeps the picture's proportions.
buffer::Factors factorsForColumns(px::Size picture, int columns, double cellAspect);

// The table the converter uses when none is given: default-table.txt beside the executable or, installed,
// in share/tessarine; else the one built in.
std::u32string defaultTable();

// The terminal's width in characters: its window size, else $COLUMNS, else 80.
int terminalColumns(int fd);

// The folder of the running executable.
std::string programFolder();

// Prints "tessarine-convert: FILE: REASON" (or without FILE) on standard error.
void printError(const std::string& file, const std::string& reason);

} // namespace cli
