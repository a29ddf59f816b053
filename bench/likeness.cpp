// tessarine_likeness: how much a text looks like its picture, by the measure --score uses, for any
// program's text: the text drawn in one monospace font (Liberation Mono, what Debian gives for the
// converter's default "Courier New"), dark on light, in 8 x 16-pixel cells, against the picture in grey, both
// on a grid of 2 x 2 parts a cell (kernels/likeness.h). Escape sequences are taken out of the text first; it
// is cut or padded to the grid.
//   tessarine_likeness PICTURE TEXT COLUMNS ROWS [--light-on-dark] [--png DRAWING.png]
// prints "detail D tone T".
#include "kernels/likeness.h"
#include "core/conversion.h"
#include "core/pixel_views.h"
#include "kernels/text_encoding.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kCellWidth = 8, kCellHeight = 16;

// The text's lines as cells, columns x rows of them.
std::vector<std::u32string> cells(const QString& path, int columns, int rows) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QString text = QString::fromUtf8(f.readAll());
    text.remove(QRegularExpression("\x1b\\[[0-9;?]*[A-Za-z]"));
    text.remove(u'\r');
    QStringList lines = text.split(u'\n');
    std::vector<std::u32string> out;
    for (int j = 0; j < rows; ++j) {
        std::u32string line = j < lines.size() ? lines[j].toStdU32String() : std::u32string();
        line.resize(size_t(columns), U' ');
        out.push_back(line);
    }
    return out;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        std::fprintf(stderr,
                     "usage: tessarine_likeness PICTURE TEXT COLUMNS ROWS [--light-on-dark] [--png OUT]\n");
        return 2;
    }
    const int columns = args[3].toInt(), rows = args[4].toInt();
    const bool lightOnDark = args.contains("--light-on-dark");
    const qsizetype png = args.indexOf("--png");

    // The picture in grey, 2 x 2 parts a cell over all of it.
    buffer::Factors parts;
    parts.columns = 2 * columns;
    parts.rows = 2 * rows;
    const QImage picture = conversion::loadBuffer(args[1], parts);

    // The text drawn in Liberation Mono at 10 points (96 dpi), each character in the font's own cell with
    // the cell's top-left at the glyph's origin as a measurement draws it, then scaled to 8 x 16-pixel cells.
    QFont font("Liberation Mono");
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
    natural.fill(lightOnDark ? Qt::black : Qt::white);
    QPainter painter(&natural);
    painter.setFont(font);
    painter.setPen(lightOnDark ? Qt::white : Qt::black);
    const int ascent = QFontMetrics(font, &natural).ascent();
    const std::vector<std::u32string> text = cells(args[2], columns, rows);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
            if (text[size_t(j)][size_t(i)] != U' ')
                painter.drawText(QPoint(i * cw, j * ch + ascent),
                                 QString::fromUcs4(&text[size_t(j)][size_t(i)], 1));
    painter.end();
    const QImage drawn = natural.scaled(columns * kCellWidth, rows * kCellHeight, Qt::IgnoreAspectRatio,
                                        Qt::SmoothTransformation);
    if (png > 0 && png + 1 < args.size())
        drawn.save(args[png + 1]);
    const QImage drawing =
        drawn.scaled(2 * columns, 2 * rows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    const likeness::Score s = likeness::measure(
        likeness::greys(pixelView(picture)),
        likeness::greys(pixelView(drawing.convertToFormat(QImage::Format_RGB32))), columns, rows);
    std::printf("detail %.3f tone %.3f\n", s.detail, s.tone);
    return 0;
}
