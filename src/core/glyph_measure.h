#pragma once

#include "kernels/glyph_pattern.h"
#include "kernels/ink_measure.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

// Measuring a table in a font: every character (code point) is drawn alone, black on white, at the
// top-left of a square surface at 96 dpi, and the kernels count its ink inside the box common to all of
// them. Both programs measure through measureTable; the desktop program watches it through an observer.
namespace glyphs {

// The font a table is measured in: the name, the size in points, regular and upright, rendered the
// same way on every display so that measurements do not depend on the screen's settings.
QFont measuringFont(const QString& name, double points);

// A character cell's height over its width in the font at 96 dpi (the advance of "M"), for choosing a
// vertical factor that keeps a picture's proportions.
double cellAspect(const QFont& font);

// What a window shows while a table is measured; every step may repaint and yield.
class MeasureObserver {
  public:
    virtual ~MeasureObserver() = default;
    // Every character has been drawn on top of the others at the top-left of `overlay`.
    virtual void tableDrawn(const QImage& overlay) { Q_UNUSED(overlay); }
    // Column x of the overlay has been scanned into the ink box.
    virtual void columnScanned(int x, const QImage& overlay) {
        Q_UNUSED(x);
        Q_UNUSED(overlay);
    }
    virtual void inkBoxFound(const InkBox& box) { Q_UNUSED(box); }
    // Character `index` (0-based, of `count`) is drawn alone on `glyph` and about to be counted.
    virtual void measuring(int index, int count, const QImage& glyph) {
        Q_UNUSED(index);
        Q_UNUSED(count);
        Q_UNUSED(glyph);
    }
};

struct Measured {
    std::vector<char32_t> table;   // the characters in table order
    std::vector<int32_t> counts;   // their ink counts, in table order
    std::vector<char32_t> chars;   // darkest first
    std::vector<int32_t> levels;   // ink counts, in the same order
    std::vector<Pattern> patterns; // glyph patterns over the character cell, in the same order
    InkBox box;
};

// The whole measurement of a table: one entry per character (code point).
Measured measureTable(const QString& table, const QString& fontName, double points,
                      MeasureObserver* observer = nullptr);

// A code point as text (one or two UTF-16 units).
QString characterText(char32_t c);

} // namespace glyphs
