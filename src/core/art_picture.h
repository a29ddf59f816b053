#pragma once

#include "kernels/text_art.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QSize>

// A result as a picture: what the result window shows. Every character in a cell of the font's character
// width (that of "M") and line height, at the 96 dpi the measurement uses, with no margin: a picture of
// columns x cell width by lines x cell height. Black on white, or each character in its block's colour
// on white, or (dark) on black.
namespace art {

QSize cellSize(const QFont& font);

QImage picture(const Lines& lines, const QFont& font, bool dark);

// The picture as PNG file contents.
QByteArray png(const QImage& picture);

} // namespace art
