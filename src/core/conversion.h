#pragma once

#include "kernels/buffer.h"
#include "kernels/character_choice.h"

#include <QImage>
#include <QString>
#include <vector>

// A whole conversion without windows: the buffer filled from a picture file (averaged or copied, by the
// kernels' buffer builder) and mapped onto the sorted table. JPEG pictures are reduced while they are
// decoded, so a scaled conversion never holds the whole picture.
namespace conversion {

using Factors = buffer::Factors;

// The buffer's outer size for a picture box of outer size ws x hs, as a run computes it (raises the
// kernels' errors as the program's).
QSize bufferOuterSize(int ws, int hs, const Factors& factors);

// The buffer's drawing area for a picture file, filled as a run fills it. With `streamJpeg`, a JPEG is
// averaged while it is decoded. Raises the loader's errors and those of bufferOuterSize.
QImage loadBuffer(const QString& path, const Factors& factors, bool streamJpeg = true);

// Buffers of several sizings of a picture in memory (its rows in RGB32), each in the storage its target
// gives.
void fillBuffers(const QImage& picture, const std::vector<buffer::Target>& targets);

// Buffers of several sizings of one picture file from one decode (the text's blocks and their parts), each
// in the storage its target gives; the caller has held that storage's memory from the budget.
void fillBuffers(const QString& path, const std::vector<buffer::Target>& targets);

// The same for a picture in memory.
QImage makeBuffer(const QImage& picture, const Factors& factors);

// The text for a buffer; `lineEnd` ends every line, the last too. The table must not be empty.
QString transform(const QImage& buffer, const std::vector<char32_t>& sorted,
                  const QString& lineEnd = QStringLiteral("\r\n"));

// The text for a buffer whose characters a mapping beyond the described one chooses (or levels, or
// dithering): `measured` is the table's measurement (the sorted characters, their ink and glyphs) in a font
// of `cellAspect`. The shape mapping splits each block of `picture`, which the buffer was made from with
// `factors`, into parts; a buffer of another size than the factors give has none, and the ink mapping
// takes its place.
QString transformChosen(const QImage& buffer, const QImage& picture, const Factors& factors,
                        const choice::Table& measured, double cellAspect, const choice::Options& options,
                        const QString& lineEnd = QStringLiteral("\r\n"));

// The text for a picture file.
QString convertFile(const QString& path, const Factors& factors, const std::vector<char32_t>& sorted,
                    const QString& lineEnd, bool streamJpeg = true);

} // namespace conversion
