#include "core/art_picture.h"

#include "core/glyph_measure.h"
#include "core/picture_surface.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImageWriter>
#include <QPainter>
#include <QRawFont>
#include <cmath>

namespace art {

namespace {

QColor colourOf(px::Pixel p) {
    return QColor(px::red(p), px::green(p), px::blue(p));
}

} // namespace

QSize cellSize(const QFont& font) {
    const QImage probe = blankSurfaceImage(1, 1, qRgb(255, 255, 255));
    const QFontMetricsF fm(font, &probe);
    return QSize(std::max(1, int(std::ceil(fm.horizontalAdvance(QChar('M'))))),
                 std::max(1, int(std::ceil(fm.height()))));
}

QImage picture(const Lines& lines, const QFont& font, bool dark) {
    const QSize cell = cellSize(font);
    size_t columns = 0;
    for (const std::u32string& line : lines.text)
        columns = std::max(columns, line.size());
    QImage image = blankSurfaceImage(int(columns) * cell.width(), int(lines.text.size()) * cell.height(),
                                     dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    if (image.isNull())
        return image;
    QPainter p(&image);
    p.setFont(font);
    const QFontMetricsF fm(font, &image);
    // Glyphs the font has are drawn as runs placed cell by cell; others go through the painter's own font
    // fallback, as the result window shows them.
    const QRawFont raw = QRawFont::fromFont(font);
    const QColor plain = dark ? Qt::white : Qt::black;
    for (size_t y = 0; y < lines.text.size(); ++y) {
        const std::u32string& line = lines.text[y];
        const qreal baseline = qreal(y) * cell.height() + fm.ascent();
        size_t x = 0;
        while (x < line.size()) {
            const QColor colour = lines.coloured() ? colourOf(lines.colours[y][x]) : plain;
            size_t end = x + 1;
            while (end < line.size() && (!lines.coloured() || lines.colours[y][end] == lines.colours[y][x]))
                ++end;
            p.setPen(colour);
            QList<quint32> glyphs;
            QList<QPointF> positions;
            for (size_t i = x; i < end; ++i) {
                const char32_t c = line[i];
                if (c == U' ')
                    continue;
                const QPointF at(qreal(i) * cell.width(), baseline);
                if (raw.isValid() && raw.supportsCharacter(c)) {
                    const QList<quint32> index = raw.glyphIndexesForString(glyphs::characterText(c));
                    if (!index.isEmpty()) {
                        glyphs.append(index.first());
                        positions.append(at);
                        continue;
                    }
                }
                p.drawText(at, glyphs::characterText(c));
            }
            if (!glyphs.isEmpty()) {
                QGlyphRun run;
                run.setRawFont(raw);
                run.setGlyphIndexes(glyphs);
                run.setPositions(positions);
                p.drawGlyphRun(QPointF(0, 0), run);
            }
            x = end;
        }
    }
    p.end();
    return image;
}

QByteArray png(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.write(picture);
    return bytes;
}

} // namespace art
