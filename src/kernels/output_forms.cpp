#include "kernels/output_forms.h"

#include "kernels/errors.h"
#include "kernels/text_encoding.h"
#include "kernels/text_mapping.h"

#include <algorithm>
#include <cctype>

namespace art {

namespace {

std::string writeText(const Art& a) {
    if (!a.text && !a.colours) {
        if (a.buffer.width <= 0 || a.buffer.height <= 0 || a.sorted.empty())
            return {};
        if (a.crlf) {
            // With CR LF the bytes are those of the desktop program's saved result file.
            const mapping::TextMapper<char32_t> mapper(a.sorted, U"\r\n");
            return textcode::encode(mapper.transform(a.buffer));
        }
        return mapping::TextMapper<char>(a.sorted, "\n").transform(a.buffer);
    }
    const Lines lines = a.lines();
    const std::u32string_view lineEnd = a.crlf ? U"\r\n" : U"\n";
    // (the lines of a text, or of characters chosen beyond the described mapping)
    if (!a.colours) {
        std::u32string text;
        for (const std::u32string& line : lines.text)
            text.append(line).append(lineEnd);
        return a.crlf ? textcode::encode(text) : textcode::utf8(text);
    }
    // Encoded as the plain text is: stripped of its sequences, the same bytes.
    return a.crlf ? textcode::encode(ansi(lines, *a.colours, lineEnd)) : ansiUtf8(lines, *a.colours, lineEnd);
}

std::string writeHtml(const Art& a) {
    Page page = a.page;
    page.dark = a.dark;
    return html(a.lines(), page);
}

std::string writePng(const Art& a) {
    if (!a.glyphs)
        err::raise(err::InvalidArgument, "A picture needs the glyphs of its font");
    return png(a.lines(), *a.glyphs, a.dark, a.threads);
}

constexpr OutputForm kForms[] = {
    {"text", {".txt", ""}, ".txt", "(the default)", false, {}, writeText},
    {"html",
     {".html", ".htm"},
     ".html",
     "(a web page)",
     false,
     {"mnuFileSaveAsHtml", "Save as &HTML..", "Save Ascii-File as HTML..", "HTML (*.html)|*.html"},
     writeHtml},
    {"png",
     {".png", ""},
     ".png",
     "(a picture in the measured font, one character cell a block)",
     true,
     {"mnuFileSaveAsPicture", "Save as &Picture..", "Save Ascii-File as Picture..", "Picture (*.png)|*.png"},
     writePng},
};

bool endsWithCaseless(std::string_view name, std::string_view suffix) {
    if (suffix.empty() || name.size() < suffix.size())
        return false;
    return std::equal(
        suffix.begin(), suffix.end(), name.end() - std::ptrdiff_t(suffix.size()),
        [](char a, char b) { return std::tolower((unsigned char)a) == std::tolower((unsigned char)b); });
}

} // namespace

Lines Art::lines() const {
    if (text) {
        Lines out = *text;
        if (!colours)
            out.colours.clear();
        return out;
    }
    Lines out = fromBuffer(buffer, sorted);
    if (!colours)
        out.colours.clear();
    return out;
}

std::span<const OutputForm> outputForms() {
    return kForms;
}

const OutputForm& textForm() {
    return kForms[0];
}

const OutputForm* formNamed(std::string_view name) {
    for (const OutputForm& f : kForms)
        if (f.name == name)
            return &f;
    return nullptr;
}

const OutputForm* formForFileName(std::string_view fileName) {
    for (const OutputForm& f : kForms)
        for (std::string_view suffix : f.suffixes)
            if (endsWithCaseless(fileName, suffix))
                return &f;
    return nullptr;
}

} // namespace art
