// tessarine_likeness: how much a text looks like its picture, by the measure --score uses, for any
// program's text: the text drawn in a monospace font at 10 points (by default Liberation Mono), in 8 x
// 16-pixel cells, against the picture in grey, both on a grid of 2 x 2 parts a cell (kernels/likeness.h).
// The text's escape sequences are read for each cell's foreground and background colour (true colour, 256 and
// 16 colours); a cell that sets none has the page's. The text is cut or padded to the grid.
//   tessarine_likeness PICTURE TEXT COLUMNS ROWS [--font NAME] [--light-on-dark] [--colour] [--png OUT.png]
//                      [--pixels OUT.png]
// prints "detail D tone T", and with --colour " colour C": the mean CIEDE2000 difference between each cell's
// mean colour in the drawing and in the picture. With --colour the text is drawn on black (white text) and
// on white (black text) wherever it sets no colour, and the better colour counts (--png writes that
// drawing). --pixels writes the drawing on the page --light-on-dark says, for bench/pixel_likeness.py.
// Block elements (U+2580 to U+259F) fill their cells, as terminals draw them.
#include "kernels/likeness.h"
#include "core/conversion.h"
#include "core/pixel_views.h"
#include "kernels/glyph_pattern.h"
#include "kernels/text_art.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr int kCellWidth = 8, kCellHeight = 16;

struct Cell {
    char32_t c = U' ';
    std::optional<QRgb> fore, back;
};

// xterm's colours for the 256-colour palette's indices (its first 16 as xterm sets them).
QRgb paletteColour(int index) {
    static const int standard[16][3] = {{0, 0, 0},       {205, 0, 0},   {0, 205, 0},   {205, 205, 0},
                                        {0, 0, 238},     {205, 0, 205}, {0, 205, 205}, {229, 229, 229},
                                        {127, 127, 127}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                        {92, 92, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    static const int cube[6] = {0, 95, 135, 175, 215, 255};
    index = std::clamp(index, 0, 255);
    if (index < 16)
        return qRgb(standard[index][0], standard[index][1], standard[index][2]);
    if (index < 232)
        return qRgb(cube[(index - 16) / 36], cube[(index - 16) / 6 % 6], cube[(index - 16) % 6]);
    const int grey = 8 + 10 * (index - 232);
    return qRgb(grey, grey, grey);
}

// Applies one SGR sequence's parameters to the pen.
void applySgr(const std::vector<int>& p, std::optional<QRgb>& fore, std::optional<QRgb>& back) {
    for (size_t i = 0; i < p.size(); ++i) {
        const int v = p[i];
        if (v == 0) {
            fore.reset();
            back.reset();
        } else if ((v == 38 || v == 48) && i + 1 < p.size()) {
            std::optional<QRgb>& target = v == 38 ? fore : back;
            if (p[i + 1] == 2 && i + 4 < p.size()) {
                target = qRgb(p[i + 2], p[i + 3], p[i + 4]);
                i += 4;
            } else if (p[i + 1] == 5 && i + 2 < p.size()) {
                target = paletteColour(p[i + 2]);
                i += 2;
            }
        } else if (v == 39) {
            fore.reset();
        } else if (v == 49) {
            back.reset();
        } else if (v >= 30 && v <= 37) {
            fore = paletteColour(v - 30);
        } else if (v >= 90 && v <= 97) {
            fore = paletteColour(v - 90 + 8);
        } else if (v >= 40 && v <= 47) {
            back = paletteColour(v - 40);
        } else if (v >= 100 && v <= 107) {
            back = paletteColour(v - 100 + 8);
        }
    }
}

// The text's cells, columns x rows of them, each with the colours its sequences set.
std::vector<std::vector<Cell>> cells(const QString& path, int columns, int rows) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const std::u32string text = QString::fromUtf8(f.readAll()).toStdU32String();
    std::vector<std::vector<Cell>> out(size_t(rows), std::vector<Cell>(size_t(columns), Cell{}));
    std::optional<QRgb> fore, back;
    int x = 0, y = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == 0x1b && i + 1 < text.size() && text[i + 1] == U'[') {
            size_t end = i + 2;
            while (end < text.size() && !(text[end] >= 0x40 && text[end] <= 0x7e))
                ++end;
            if (end < text.size() && text[end] == U'm') {
                std::vector<int> params;
                int value = 0;
                bool any = false;
                for (size_t k = i + 2; k < end; ++k) {
                    if (text[k] == U';') {
                        params.push_back(any ? value : 0);
                        value = 0;
                        any = false;
                    } else if (text[k] >= U'0' && text[k] <= U'9') {
                        value = value * 10 + int(text[k] - U'0');
                        any = true;
                    }
                }
                params.push_back(any ? value : 0);
                applySgr(params, fore, back);
            }
            i = end;
            continue;
        }
        if (c == U'\r')
            continue;
        if (c == U'\n') {
            ++y, x = 0;
            continue;
        }
        if (y < rows && x < columns)
            out[size_t(y)][size_t(x)] = {c, fore, back};
        ++x;
    }
    return out;
}

struct Drawn {
    QImage image; // in 8 x 16-pixel cells
    likeness::Score score;
    double colour = 0;
};

// The text drawn in the font, each character in the font's own cell with the cell's top-left at the glyph's
// origin as a measurement draws it, then scaled to 8 x 16-pixel cells, and measured.
Drawn draw(const std::vector<std::vector<Cell>>& text, const QString& family, bool lightOnDark,
           const QImage& picture, const QImage& blocks, int columns, int rows) {
    QFont font(family);
    font.setPointSizeF(10);
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(qRound(96 / 0.0254));
    probe.setDotsPerMeterY(qRound(96 / 0.0254));
    const QFontMetricsF fm(font, &probe);
    const int cw = std::max(1, int(std::lround(fm.horizontalAdvance(QChar('M'))))),
              ch = std::max(1, int(std::lround(fm.height())));
    QImage natural(columns * cw, rows * ch, QImage::Format_RGB32);
    natural.setDotsPerMeterX(probe.dotsPerMeterX());
    natural.setDotsPerMeterY(probe.dotsPerMeterY());
    const QRgb page = lightOnDark ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    const QRgb ink = lightOnDark ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    natural.fill(page);
    QPainter painter(&natural);
    painter.setFont(font);
    const int ascent = QFontMetrics(font, &natural).ascent();
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const Cell& cell = text[size_t(j)][size_t(i)];
            if (cell.back)
                painter.fillRect(i * cw, j * ch, cw, ch, QColor(*cell.back));
            if (cell.c != U' ') {
                painter.setPen(QColor(cell.fore.value_or(ink)));
                painter.drawText(QPoint(i * cw, j * ch + ascent), QString::fromUcs4(&cell.c, 1));
            }
        }
    painter.end();
    Drawn d;
    d.image =
        natural
            .scaled(columns * kCellWidth, rows * kCellHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    // Block elements as terminals draw them, filling their cells whatever the font's glyphs.
    uint8_t mask[kCellWidth * kCellHeight];
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const Cell& cell = text[size_t(j)][size_t(i)];
            if (!glyphs::isBlockElement(cell.c))
                continue;
            glyphs::drawBlockElement(cell.c, kCellWidth, kCellHeight, mask, kCellWidth);
            const QColor fore(cell.fore.value_or(ink)), back(cell.back.value_or(page));
            for (int y = 0; y < kCellHeight; ++y)
                for (int x = 0; x < kCellWidth; ++x) {
                    const int a = mask[y * kCellWidth + x];
                    const auto mix = [a](int f, int b) { return (f * a + b * (255 - a) + 127) / 255; };
                    d.image.setPixel(i * kCellWidth + x, j * kCellHeight + y,
                                     qRgb(mix(fore.red(), back.red()), mix(fore.green(), back.green()),
                                          mix(fore.blue(), back.blue())));
                }
        }
    const QImage parts =
        d.image.scaled(2 * columns, 2 * rows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    d.score = likeness::measure(likeness::greys(pixelView(picture)), likeness::greys(pixelView(parts)),
                                columns, rows);
    const QImage cellColours = d.image.scaled(columns, rows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                   .convertToFormat(QImage::Format_RGB32);
    std::vector<px::Pixel> drawnCells;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const QRgb c = cellColours.pixel(i, j);
            drawnCells.push_back(px::rgb(qRed(c), qGreen(c), qBlue(c)));
        }
    d.colour = likeness::colourDifference(pixelView(blocks), drawnCells);
    return d;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: tessarine_likeness PICTURE TEXT COLUMNS ROWS [--font NAME] "
                             "[--light-on-dark] [--colour] [--png OUT] [--pixels OUT]\n");
        return 2;
    }
    const int columns = args[3].toInt(), rows = args[4].toInt();
    const bool colour = args.contains("--colour");
    const qsizetype png = args.indexOf("--png");
    const qsizetype fontAt = args.indexOf("--font");
    const QString family = fontAt > 0 && fontAt + 1 < args.size() ? args[fontAt + 1] : "Liberation Mono";

    // The picture in grey, 2 x 2 parts a cell over all of it, and its cells' colours.
    buffer::Factors parts, blocks;
    parts.columns = 2 * columns;
    parts.rows = 2 * rows;
    blocks.columns = columns;
    blocks.rows = rows;
    const QImage picture = conversion::loadBuffer(args[1], parts);
    const QImage cellsOfPicture = conversion::loadBuffer(args[1], blocks);

    const std::vector<std::vector<Cell>> text = cells(args[2], columns, rows);
    Drawn d = draw(text, family, args.contains("--light-on-dark"), picture, cellsOfPicture, columns, rows);
    const qsizetype pixels = args.indexOf("--pixels");
    if (pixels > 0 && pixels + 1 < args.size())
        d.image.save(args[pixels + 1]);
    if (colour) {
        Drawn other =
            draw(text, family, !args.contains("--light-on-dark"), picture, cellsOfPicture, columns, rows);
        if (other.colour < d.colour)
            d = std::move(other);
    }
    if (png > 0 && png + 1 < args.size())
        d.image.save(args[png + 1]);
    if (colour)
        std::printf("detail %.3f tone %.3f colour %.2f\n", d.score.detail, d.score.tone, d.colour);
    else
        std::printf("detail %.3f tone %.3f\n", d.score.detail, d.score.tone);
    return 0;
}
