#pragma once

#include "kernels/buffer.h"
#include "kernels/character_choice.h"
#include "kernels/output_forms.h"
#include "kernels/pixels.h"
#include "options.h"
#include "terminal/terminal.h"

#include <optional>
#include <string>
#include <vector>

// What a converter run will do, decided before anything is converted: the table, font, size and factors
// every picture is converted with, the form of the output, and for each picture where it is read from,
// whether Qt must decode it, and where its output goes. Made from the options (checked as they were read),
// its inputs (the settings file, the shipped tables, the pictures' first bytes) and what it asks of its
// surroundings, without Qt: the plan combines them.
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

// What making a plan asks of the world around the converter: its environment, the terminal standard output
// is, standard input, and the folder an output goes into. Making a plan asks nothing else and changes nothing
// else, so its rules can be tried with a stand-in; the program's own (surroundings.h) asks the real terminal,
// and it is asked only when the answer can change the text.
class Surroundings {
  public:
    virtual ~Surroundings() = default;
    // An environment variable ($TERM, $COLORTERM, $COLORFGBG, $COLUMNS); null when unset.
    virtual const char* variable(const char* name) const = 0;
    // Whether standard output is a terminal; its size in characters and lines, and its character cell in
    // pixels, when it tells them.
    virtual bool outputIsTerminal() const = 0;
    virtual std::optional<px::Size> terminalSize() const = 0;
    virtual std::optional<px::Size> terminalCell() const = 0;
    // The terminal's background, asked of the terminal itself (askBackground in terminal/terminal.h).
    virtual std::optional<Background> askBackground() = 0;
    // Standard input kept in a file of its own: its path. Raises the picture's error.
    virtual std::string keepStandardInput() = 0;
    // An output folder made, with the folders above it; false when there is no folder there afterwards.
    virtual bool makeFolder(const std::string& path) = 0;
    // A picture refused while planning (its output's name is another's), said at once.
    virtual void report(const std::string& picture, const std::string& reason) = 0;
};

// Raises a usage error for anything the converter cannot act on; errors of single pictures are the run's.
Plan makePlan(const Options& options, Surroundings& surroundings);

// The grid for a picture, its proportions kept through the font's character cell (height over width)
// where the grid leaves a side open: at least one character each way.
buffer::Factors gridFor(px::Size picture, const Plan::Grid& grid, double cellAspect);

} // namespace cli
