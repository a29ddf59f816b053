#pragma once

#include "platform/picture_surface.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

// Measuring how dark each character of a table is in a font: every character is drawn alone, black on
// white, at the top-left of a square surface; the dark pixels inside one box common to all characters
// are counted, and the table is sorted darkest first. Colours are compared as whole 0x00BBGGRR values,
// so in effect the thresholds test mostly the blue byte.
namespace glyphs {

constexpr int kExtentLimit = 0x800000; // a pixel below this belongs to the ink box
constexpr int kInkLimit = 0x7F7F7F;    // a pixel below this counts as ink

inline bool passesExtent(QRgb p) {
    return fromQRgb(p) < kExtentLimit;
}
inline bool passesInk(QRgb p) {
    return fromQRgb(p) < kInkLimit;
}

// The smallest rectangle holding every pixel that passes the extent test; minX and minY stay -1 (and
// maxX, maxY 0) when no pixel does.
struct InkBox {
    int minX = -1, minY = -1, maxX = 0, maxY = 0;
    bool empty() const { return minX < 0; }
};

InkBox findInkBox(const QImage& overlay);
// The same, one column at a time (for a surface that shows the scan as it goes).
void extendInkBox(InkBox& box, const QImage& overlay, int x);

// Pixels inside the box (positions outside the image never count) that pass the ink test.
int32_t countInk(const QImage& glyph, const InkBox& box);

// Sorts darkest first, exchanging neighbours only when the later one is strictly darker, so equal
// counts keep their table order.
void sortDarkestFirst(std::vector<QChar>& chars, std::vector<int32_t>& levels);

// The square surface side in pixels for a size in points: size x 30 twips at 15 twips a pixel.
int surfaceSide(double points);

// The font a table is measured in: the name, the size in points, regular and upright, rendered the
// same way on every display so that measurements do not depend on the screen's settings.
QFont measuringFont(const QString& name, double points);

struct Measured {
    std::vector<QChar> chars;    // darkest first
    std::vector<int32_t> levels; // ink counts, in the same order
    InkBox box;
};

// The whole measurement of a table, without any window: what a run computes.
Measured measureTable(const QString& table, const QString& fontName, double points);

} // namespace glyphs
