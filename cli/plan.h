#pragma once

#include "kernels/buffer.h"
#include "kernels/character_choice.h"
#include "kernels/output_forms.h"
#include "kernels/pixels.h"
#include "options.h"

#include <optional>
#include <string>
#include <vector>

// What a converter run will do, decided before anything is converted: the table, font, size and factors
// every picture is converted with, the form of the output, and for each picture where it is read from,
// whether Qt must decode it, and where its output goes. Made from the options, the settings file and the
// default table, without Qt.
namespace cli {

// The name a picture read from standard input goes by.
constexpr const char* kStandardInput = "-";

struct Job {
    std::string picture;    // as given, for messages; "-" is standard input
    std::string source;     // the file read: the picture, or standard input kept in a file of its own
    std::string output;     // empty: standard output
    bool refused = false;   // its output name is taken by an earlier picture; already reported
    bool viaQt = false;     // decoded by Qt's readers: no JPEG, or one in colours the kernels do not convert
    std::string inputError; // refused while planning: standard input that holds no picture or could
                            // not be kept, a file whose first blocks are no picture's
};

// The font the converter measures in at its own sizes: the font system's monospace font, which is what a
// terminal shows.
constexpr const char* kTerminalFont = "monospace";

struct Plan {
    std::u32string table;
    std::string font = "Courier New";
    double size = 8;
    // The character cell's height over its width when the terminal tells its cell in pixels; else the
    // measured font's counts.
    std::optional<double> cellAspect;
    buffer::Factors factors; // --scale and --settings: the desktop program's arithmetic
    // The converter's own sizing, unless --scale or --settings asks for factors: a grid of so many
    // characters a line and lines over the whole picture, a 0 following the picture's proportions. With
    // `fit`, the largest such grid within columns x rows.
    struct Grid {
        int columns = 0, rows = 0;
        bool fit = false;
    };
    std::optional<Grid> grid;
    bool crlf = false;
    bool order = false;
    bool useCache = true;
    bool invert = false;                 // the table's order reversed
    choice::Options art;                 // the mapping, levels and dithering (inverted with invert)
    bool score = false;                  // each text's likeness to its picture reported
    std::optional<art::Palette> colours; // each character in its block's colour
    bool twoColours = false;             // with colours: a foreground and a background chosen with the glyph
    bool flipX = false, flipY = false;   // the picture mirrored
    bool animate = false;                // an animated picture played in the terminal
    int loops = 0;                       // at most so many times (0: as the picture says)
    double duration = 0;                 // at most so many seconds (0: no bound)
    const art::OutputForm* form = &art::textForm();
    std::vector<Job> jobs;

    // True when a picture needs Qt's readers or the output needs glyphs: Qt starts whatever the order.
    bool needsQt() const;
};

// Raises a usage error for anything the converter cannot act on; errors of single pictures are the run's.
Plan makePlan(const Options& options);

// The grid for a picture, its proportions kept through the font's character cell (height over width)
// where the grid leaves a side open: at least one character each way.
buffer::Factors gridFor(px::Size picture, const Plan::Grid& grid, double cellAspect);

} // namespace cli
