#include "engine/glyph_measure.h"

#include "platform/numbers.h"
#include "platform/picture_surface.h"

#include <algorithm>

namespace glyphs {

void extendInkBox(InkBox& box, const QImage& overlay, int x) {
    for (int y = 0; y < overlay.height(); ++y) {
        if (!passesExtent(reinterpret_cast<const QRgb*>(overlay.constScanLine(y))[x]))
            continue;
        if (box.minX == -1)
            box.minX = x;
        if (box.minY == -1 || box.minY > y)
            box.minY = y;
        box.maxX = std::max(box.maxX, x);
        box.maxY = std::max(box.maxY, y);
    }
}

InkBox findInkBox(const QImage& overlay) {
    InkBox box;
    for (int x = 0; x < overlay.width(); ++x)
        extendInkBox(box, overlay, x);
    return box;
}

int32_t countInk(const QImage& glyph, const InkBox& box) {
    const int x0 = std::max(0, box.minX), x1 = std::min(glyph.width() - 1, box.maxX);
    const int y0 = std::max(0, box.minY), y1 = std::min(glyph.height() - 1, box.maxY);
    int32_t count = 0;
    for (int y = y0; y <= y1; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(glyph.constScanLine(y));
        for (int x = x0; x <= x1; ++x)
            count += passesInk(line[x]) ? 1 : 0;
    }
    return count;
}

void sortDarkestFirst(std::vector<QChar>& chars, std::vector<int32_t>& levels) {
    // A stable sort on descending counts orders exactly as exchanging strictly lighter neighbours would.
    std::vector<size_t> order(levels.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return levels[a] > levels[b]; });
    std::vector<QChar> c(order.size());
    std::vector<int32_t> l(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        c[i] = chars[order[i]];
        l[i] = levels[order[i]];
    }
    chars.swap(c);
    levels.swap(l);
}

int surfaceSide(double points) {
    return std::max(0, int(num::roundHalfEven(points * 30 / 15)));
}

QFont measuringFont(const QString& name, double points) {
    QFont f(name);
    f.setPointSizeF(points > 0 ? points : 1);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return f;
}

Measured measureTable(const QString& table, const QString& fontName, double points) {
    Measured m;
    const QFont font = measuringFont(fontName, points);
    const int side = surfaceSide(points);
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    QImage overlay = blankSurfaceImage(side, side, white);
    for (QChar c : table)
        drawTextOn(overlay, 0, 0, QString(c), font, black);
    m.box = findInkBox(overlay);
    m.chars.assign(table.begin(), table.end());
    m.levels.reserve(m.chars.size());
    for (QChar c : m.chars) {
        QImage glyph = blankSurfaceImage(side, side, white);
        drawTextOn(glyph, 0, 0, QString(c), font, black);
        m.levels.push_back(countInk(glyph, m.box));
    }
    sortDarkestFirst(m.chars, m.levels);
    return m;
}

} // namespace glyphs
