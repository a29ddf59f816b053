#include "core/glyph_measure.h"

#include "core/picture_surface.h"
#include "core/pixel_views.h"

#include <QFontMetricsF>
#include <cmath>

namespace glyphs {

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

double cellAspect(const QFont& font) {
    const QImage probe = blankSurfaceImage(1, 1, qRgb(255, 255, 255));
    const QFontMetricsF fm(font, &probe);
    const double width = fm.horizontalAdvance(QChar('M'));
    return width > 0 ? fm.height() / width : 2.0;
}

QString characterText(char32_t c) {
    return QString::fromUcs4(&c, 1);
}

Measured measureTable(const QString& table, const QString& fontName, double points,
                      MeasureObserver* observer) {
    Measured m;
    const QFont font = measuringFont(fontName, points);
    const int side = surfaceSide(points);
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    const std::u32string codes = table.toStdU32String();
    m.table.assign(codes.begin(), codes.end());
    QImage overlay = blankSurfaceImage(side, side, white);
    for (char32_t c : m.table)
        drawTextOn(overlay, 0, 0, characterText(c), font, black);
    if (observer)
        observer->tableDrawn(overlay);
    const px::View view = pixelView(overlay);
    for (int x = 0; x < view.width; ++x) {
        extendInkBox(m.box, view, x);
        if (observer)
            observer->columnScanned(x, overlay);
    }
    if (observer)
        observer->inkBoxFound(m.box);
    const int count = int(m.table.size());
    m.counts.reserve(m.table.size());
    // The glyphs' patterns are taken over the character cell, where text shows each glyph.
    const QFontMetricsF fm(font, &overlay);
    InkBox cell;
    cell.minX = cell.minY = 0;
    cell.maxX = std::min(side, std::max(1, int(std::lround(fm.horizontalAdvance(QChar('M')))))) - 1;
    cell.maxY = std::min(side, std::max(1, int(std::lround(fm.height())))) - 1;
    std::vector<Pattern> patterns;
    for (int i = 0; i < count; ++i) {
        QImage glyph = blankSurfaceImage(side, side, white);
        drawTextOn(glyph, 0, 0, characterText(m.table[size_t(i)]), font, black);
        if (observer)
            observer->measuring(i, count, glyph);
        m.counts.push_back(countInk(pixelView(glyph), m.box));
        patterns.push_back(patternOf(pixelView(glyph), cell));
    }
    for (size_t i : darkestFirstOrder(m.counts)) {
        m.chars.push_back(m.table[i]);
        m.levels.push_back(m.counts[i]);
        m.patterns.push_back(std::move(patterns[i]));
    }
    return m;
}

} // namespace glyphs
