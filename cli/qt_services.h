#pragma once

#include "kernels/buffer.h"
#include "kernels/pixels.h"
#include "kernels/text_art.h"
#include "kernels/text_picture.h"

#include <optional>
#include <string>
#include <vector>

// What the converter needs Qt for, behind one narrow interface: fonts (measuring a table, a font's
// character cell), pictures that Qt's readers decode (BMP, GIF, and JPEG colour spaces the kernels
// cannot convert), and the settings file as the desktop program reads it. Everything else the converter
// does without Qt. Failures are raised as err::Error.
namespace cli {

struct Measurement {
    std::vector<char32_t> chars; // darkest first
    std::vector<int32_t> levels; // ink counts, in the same order
    std::vector<bool> printable; // whether each character prints as itself (--order)
    double cellAspect = 2;       // the font's character cell, height over width
};

struct SettingsFile {
    std::optional<std::u32string> table; // the first line of the table file it names
    std::optional<std::string> font;
    std::optional<double> size; // the size box's non-negative number
    std::optional<double> h, v; // factors, read as the scale window's fields
};

class QtServices {
  public:
    virtual ~QtServices() = default;

    // Makes the application object fonts and picture readers need. Every call below that needs it waits
    // for it; call it on the main thread.
    virtual void startGui() = 0;

    virtual Measurement measure(const std::u32string& table, const std::string& font, double size) = 0;
    // The size of a picture Qt decodes.
    virtual px::Size pictureSize(const std::string& path) = 0;
    // The buffer of a picture Qt decodes, filled as a run fills it.
    virtual px::Image loadBuffer(const std::string& path, const buffer::Factors& factors) = 0;

    // Reads a settings file; raises a err::Error whose description names what is wrong.
    virtual SettingsFile readSettings(const std::string& path) = 0;

    // The glyphs a result's picture is composed of, drawn in the font the table is measured in.
    virtual art::Glyphs drawGlyphs(const std::u32string& chars, const std::string& font, double size) = 0;
};

} // namespace cli
