#pragma once

#include "kernels/buffer.h"
#include "kernels/glyph_pattern.h"
#include "kernels/pixels.h"
#include "kernels/text_picture.h"

#include <memory>
#include <string>
#include <vector>

// What the converter needs Qt for, behind one narrow interface: fonts (measuring a table, a font's
// character cell, drawing glyphs, and fontconfig's configuration for the order cache's fingerprint) and
// pictures that Qt's readers decode (BMP, GIF, and JPEG colour spaces the kernels cannot convert). Everything
// else the converter does without Qt. The module tessarine-convert-qt.so carries it out, sharing the
// converter's C++ runtime; failures are raised as the program's error.
namespace cli {

struct Measurement {
    std::vector<char32_t> chars; // darkest first
    std::vector<int32_t> levels; // ink counts, in the same order
    std::vector<bool> printable; // whether each character prints as itself (--order)
    double cellAspect = 2;       // the font's character cell, height over width
    std::string family;          // the family the font system measured in
    bool fontInstalled = true;   // the family asked for is installed (or a generic name, "monospace")
    std::vector<glyphs::Pattern> patterns; // each character's glyph in the ink box, in the same order
    // The font files the glyphs were drawn from: the matched font, and the fallback fonts that drew the
    // characters it lacks. An order remembered holds while they are as they were.
    std::vector<std::string> fontFiles;
};

// What fontconfig's configuration reads and names, as it reads it now: what a measurement's fonts come from.
struct FontConfiguration {
    std::vector<std::string> files;   // the configuration files and folders read, in the order read
    std::vector<std::string> folders; // the font folders they name
};

// An animated picture's frames, read one at a time by Qt's reader, which composes each as the file's
// disposal methods say.
class Frames {
  public:
    virtual ~Frames() = default;
    virtual px::Size size() const = 0;
    // How many more times the picture plays after the first: 0 once, -1 for ever.
    virtual int loopCount() const = 0;
    // Fills the targets from the next frame, its pixels held from the memory budget while it is read;
    // false after the last. `delayMs`: how long it shows. Raises 481 for a frame that cannot be decoded.
    virtual bool next(const std::vector<buffer::Target>& targets, int& delayMs) = 0;
};

class QtServices {
  public:
    virtual ~QtServices() = default;

    // Makes the application object fonts and picture readers need: on the main thread, before any other
    // call. The calls below may then come from any thread.
    virtual void start(const std::string& programName) = 0;

    virtual Measurement measure(const std::u32string& table, const std::string& font, double size) = 0;
    // The size of a picture Qt decodes.
    virtual px::Size pictureSize(const std::string& path) = 0;
    // Buffers of several sizings of a picture Qt decodes, each filled as a run fills it, in the storage its
    // target gives (held from the memory budget by the caller).
    virtual void fillBuffers(const std::string& path, const std::vector<buffer::Target>& targets) = 0;
    // The frames of a picture (one, when it is no animation), from its first.
    virtual std::unique_ptr<Frames> frames(const std::string& path) = 0;
    // The glyphs a result's picture is composed of, drawn in the font the table is measured in.
    virtual art::Glyphs drawGlyphs(const std::u32string& chars, const std::string& font, double size) = 0;
    // fontconfig's configuration, read afresh; needs no start(), from any thread.
    virtual FontConfiguration fontConfiguration() = 0;
};

// The module exports one function of this name and type: a new instance of its services, or null when
// the interface it was built with is not `version`. Raise the version whenever this header changes.
constexpr int kQtServicesVersion = 11;
constexpr const char* kQtServicesFactory = "tessarine_qt_services";
using QtServicesFactory = QtServices* (*)(int version);

} // namespace cli
