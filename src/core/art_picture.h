#pragma once

#include "kernels/text_art.h"
#include "kernels/text_picture.h"

#include <QByteArray>
#include <QFont>
#include <QSize>

// A result as a picture: what the result window shows. Every character in a cell of the font's character
// width (that of "M") and line height, at the 96 dpi the measurement uses, with no margin: a picture of
// columns x cell width by lines x cell height. Black on white, or each character in its block's colour
// on white, or (dark) on black.
namespace art {

QSize cellSize(const QFont& font);

// The coverage of each character, drawn once by the font's renderer (with its fallback fonts for
// characters the font lacks); of every character the lines use.
Glyphs glyphs(const std::vector<char32_t>& chars, const QFont& font);
Glyphs glyphs(const Lines& lines, const QFont& font);

// The picture as PNG file contents. Raises 7 when it would be too large.
QByteArray png(const Lines& lines, const QFont& font, bool dark);

} // namespace art
