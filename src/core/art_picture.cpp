#include "core/art_picture.h"

#include "core/errors.h"
#include "core/glyph_measure.h"
#include "core/picture_surface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace art {

QSize cellSize(const QFont& font) {
    const QImage probe = blankSurfaceImage(1, 1, qRgb(255, 255, 255));
    const QFontMetricsF fm(font, &probe);
    return QSize(std::max(1, int(std::ceil(fm.horizontalAdvance(QChar('M'))))),
                 std::max(1, int(std::ceil(fm.height()))));
}

Glyphs glyphs(const Lines& lines, const QFont& font) {
    std::vector<char32_t> chars;
    std::unordered_set<char32_t> seen;
    for (const std::u32string& line : lines.text)
        for (char32_t c : line)
            if (seen.insert(c).second)
                chars.push_back(c);
    return glyphs(chars, font);
}

Glyphs glyphs(const std::vector<char32_t>& chars, const QFont& font) {
    const QSize cell = cellSize(font);
    Glyphs out;
    out.cellWidth = cell.width();
    out.cellHeight = cell.height();

    // Each glyph is drawn with room around its cell, where italics, accents and wide fallback glyphs
    // may reach; the masks keep as much of that room as the farthest-reaching glyph needs.
    const int room = std::max(cell.width(), cell.height()) / 2 + 1;
    const int w = cell.width() + 2 * room, h = cell.height() + 2 * room;
    QImage canvas = blankSurfaceImage(w, h, 0).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QFontMetricsF fm(font, &canvas);
    std::vector<std::pair<char32_t, std::vector<uint8_t>>> drawn;
    int reach = 0;
    std::unordered_set<char32_t> done;
    for (char32_t c : chars) {
        if (c == U' ' || !done.insert(c).second)
            continue;
        canvas.fill(Qt::transparent);
        QPainter p(&canvas);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QPointF(room, room + fm.ascent()), glyphs::characterText(c));
        p.end();
        std::vector<uint8_t> mask(size_t(w) * size_t(h));
        bool ink = false;
        for (int y = 0; y < h; ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const int a = qAlpha(row[x]);
                if (a == 0)
                    continue;
                mask[size_t(y) * size_t(w) + size_t(x)] = uint8_t(a);
                ink = true;
                reach = std::max({reach, room - x, x - (room + cell.width() - 1), room - y,
                                  y - (room + cell.height() - 1)});
            }
        }
        if (ink)
            drawn.emplace_back(c, std::move(mask));
    }

    out.margin = reach;
    const int mw = cell.width() + 2 * reach, mh = cell.height() + 2 * reach, skip = room - reach;
    for (auto& [c, full] : drawn) {
        std::vector<uint8_t>& mask = out.masks[c];
        mask.resize(size_t(mw) * size_t(mh));
        for (int y = 0; y < mh; ++y)
            std::copy_n(full.begin() + (y + skip) * w + skip, mw, mask.begin() + y * mw);
    }
    return out;
}

QByteArray png(const Lines& lines, const QFont& font, bool dark) {
    const Glyphs g = glyphs(lines, font);
    const std::string bytes = art::png(lines, g, dark, std::max(1, QThread::idealThreadCount()));
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

} // namespace art
