#pragma once

#include "kernels/text_art.h"
#include "kernels/text_picture.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The forms a result is written in, each described in one place: its name, the file names that choose
// it, what it needs and the writer that makes it. The converter's options, its help and its output folders,
// and the result window's save entries all come from this table, so a new form is one row and one writer.
namespace art {

// What a form is written from: a run's buffer and its table, or the lines of a text (a result as the result
// window holds it), and how it is to be shown.
struct Art {
    px::View buffer;                // a run's buffer; empty when `text` is given
    std::vector<char32_t> sorted;   // the table the buffer is mapped onto, darkest first
    const Lines* text = nullptr;    // or a text's lines (with the blocks' colours, used when `colours`)
    std::optional<Palette> colours; // each character in its block's colour
    bool crlf = false; // plain text: lines end in CR LF, in the encoding of the program's text files
    bool dark = false; // light characters on black
    Page page;         // the web page's title and font
    const Glyphs* glyphs = nullptr; // a picture's glyphs, for a form that needs them
    int threads = 1;                // parts a picture is compressed in side by side

    // The result's lines, with the buffer's colours when the result is coloured.
    Lines lines() const;
};

struct OutputForm {
    std::string_view name;                    // as --format names it
    std::array<std::string_view, 2> suffixes; // output names ending so choose it, whatever the letter case
    std::string_view extension;               // a picture's file in an output folder
    std::string_view description;             // for --help, after the name
    bool needsGlyphs = false;                 // the glyphs are drawn in the measured font first
    // The result window's File entry that saves its text in this form; none for the plain text, which the
    // window's own "Save as.." writes.
    struct Entry {
        std::string_view objectName, caption, dialogTitle, filter;
    } entry;
    std::string (*write)(const Art&) = nullptr;
};

std::span<const OutputForm> outputForms();
// The plain text, the default.
const OutputForm& textForm();
const OutputForm* formNamed(std::string_view name);
// The form an output file's name asks for by its suffix; nothing when no suffix matches.
const OutputForm* formForFileName(std::string_view fileName);

} // namespace art
