#include "converter_runs.h"
#include "core/glyph_measure.h"
#include "support/pictures.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

// The mappings beside the described one, colours, and the forms of the result (web page, picture).
namespace converter_test {

namespace {

// The mappings beside the described one, with every output form, --invert and the likeness score; the
// glyphs the shape mapping needs are remembered with the order, so a warm run needs no Qt either.
TEST_F(Converter, MappingsGoWithEveryFormAndAWarmShapeRunNeedsNoQt) {
    const QString jpg = testpic::save(scene(160, 120), path("p.jpg"));
    const QStringList shape = {jpg, "--columns", "40", "--mapping", "shape", "--table", "ascii"};
    const ConverterRun cold = convert(QStringList(shape) << "--score");
    ASSERT_EQ(cold.status, 0) << cold.err.toStdString();
    for (const QByteArray& line : cold.out.split('\n'))
        EXPECT_EQ(line.size(), line.isEmpty() ? 0 : 40);
    EXPECT_EQ(cold.out, convert({jpg, "--columns", "40", "--table", "ascii"}).out) << "the default mapping";
    EXPECT_NE(cold.out, convert({jpg, "--columns", "40", "--table", "ascii", "--mapping", "position"}).out);
    EXPECT_TRUE(QRegularExpression("^tessarine-convert: " + QRegularExpression::escape(jpg) +
                                   ": likeness detail 0\\.\\d\\d tone -?[01]\\.\\d\\d\n$")
                    .match(QString::fromUtf8(cold.err))
                    .hasMatch())
        << cold.err.toStdString();
    // A figure below 0 (a checkerboard finer than the cells) lies within the range the help gives.
    QImage board(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            board.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const ConverterRun fine =
        convert({testpic::save(board, path("board.bmp")), "--table", "braille", "--columns", "7", "--score"});
    const QRegularExpressionMatch figure = QRegularExpression("detail (-?[0-9.]+)").match(fine.err);
    const QRegularExpressionMatch range =
        QRegularExpression("each from (-?[0-9]+) to ([0-9]+)").match(convert({"--help"}).out.simplified());
    ASSERT_TRUE(figure.hasMatch() && range.hasMatch()) << fine.err.toStdString();
    EXPECT_GE(figure.captured(1).toDouble(), range.captured(1).toDouble());
    EXPECT_LE(figure.captured(1).toDouble(), range.captured(2).toDouble());
    qputenv("LD_DEBUG", "files");
    const ConverterRun warm = convert(shape);
    const ConverterRun dithered = convert(QStringList(shape) << "--dither"
                                                             << "--levels"
                                                             << "auto"
                                                             << "--invert");
    qunsetenv("LD_DEBUG");
    EXPECT_EQ(warm.status, 0);
    EXPECT_EQ(warm.out, cold.out);
    EXPECT_FALSE(warm.err.contains("libQt6")) << "the remembered glyphs serve the shape mapping";
    EXPECT_EQ(dithered.status, 0);
    EXPECT_NE(dithered.out, warm.out);
    const ConverterRun coloured = convert(QStringList(shape) << "--color"
                                                             << "--fg-only"
                                                             << "--invert");
    EXPECT_EQ(withoutSequences(coloured.out), convert(QStringList(shape) << "--invert").out);
    for (const QString& name : QStringList{"p.html", "p.png"}) {
        const ConverterRun r = convert(QStringList(shape) << "--mapping"
                                                          << "ink"
                                                          << "-o" << path(name));
        EXPECT_EQ(r.status, 0) << name.toStdString() << r.err.toStdString();
        EXPECT_GT(QFileInfo(path(name)).size(), 100) << name.toStdString();
    }
    EXPECT_FALSE(QImage(path("p.png")).isNull());
}

TEST_F(Converter, ColourAndInvertKeepThePlainText) {
    const QString pic = testpic::save(scene(120, 90), path("p.jpg"));
    const QStringList base = {pic, "--scale", "4x8", "--chars", "@%#*+=-:. "};
    const ConverterRun plain = convert(base);
    ASSERT_EQ(plain.status, 0) << plain.err.toStdString();
    for (const char* mode : {"truecolor", "256", "16"}) {
        const ConverterRun coloured = convert(QStringList(base) << "--color" << mode);
        EXPECT_EQ(withoutSequences(coloured.out), plain.out) << mode;
        EXPECT_TRUE(coloured.out.contains("\x1b[0m\n")) << mode;
    }
    {
        const ConverterVariable truecolor("COLORTERM", "truecolor");
        EXPECT_EQ(convert(QStringList(base) << "--color").out,
                  convert(QStringList(base) << "--color=truecolor").out);
    }
    EXPECT_EQ(withoutSequences(convert(QStringList(base) << "--color"
                                                         << "--crlf")
                                   .out),
              convert(QStringList(base) << "--crlf").out);
    // Inverted, the lightest character stands for the darkest block: where the text has the i-th character
    // of the measured order, the inverted text has the i-th from the end.
    QString order;
    // (measured as --scale measures it: in the desktop program's font and size)
    for (const QByteArray& line :
         convert({"--order", "--chars", "@%#*+=-:. ", "--font", "Courier New", "--size", "8"})
             .out.trimmed()
             .split('\n'))
        order += line.startsWith("U+0020") ? QString(" ") : QString::fromUtf8(line.split('\t')[0]);
    ASSERT_EQ(order.size(), 10);
    const QByteArray inverted = convert(QStringList(base) << "--invert").out;
    ASSERT_EQ(inverted.size(), plain.out.size());
    for (qsizetype i = 0; i < plain.out.size(); ++i) {
        if (plain.out[i] == '\n')
            continue;
        ASSERT_EQ(inverted[i], order.at(9 - order.indexOf(QChar(plain.out[i]))).toLatin1()) << i;
    }
    EXPECT_EQ(convert(QStringList(base) << "--color=bright").status, 2);
}

TEST_F(Converter, ColoursAreTheBlocksAverages) {
    // Blocks of 4 x 4 pixels in three known colours.
    const QRgb colours[3] = {qRgb(200, 10, 10), qRgb(10, 200, 10), qRgb(30, 30, 200)};
    QImage tall(24, 24, QImage::Format_RGB32);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            tall.setPixel(x, y, colours[(x / 4) % 3]);
    const ConverterVariable truecolor("COLORTERM", "truecolor");
    const ConverterRun t =
        convert({testpic::save(tall, path("tall.bmp")), "--scale", "4x4", "--color", "--chars", "#. "});
    ASSERT_EQ(t.status, 0) << t.err.toStdString();
    const QList<QByteArray> lines = t.out.split('\n');
    ASSERT_EQ(lines.size(), 4); // Int(28 / 4) - 4 = 3 columns by 3 lines, each ending in LF
    EXPECT_TRUE(lines[0].startsWith("\x1b[38;2;200;10;10m")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("\x1b[38;2;10;200;10m"));
    EXPECT_TRUE(lines[0].contains("\x1b[38;2;30;30;200m"));
    EXPECT_EQ(lines[0].count("\x1b[38;2;"), 3) << "one sequence a block of a new colour";
}

TEST_F(Converter, HtmlPageHoldsTheTextEscaped) {
    const QString pic = testpic::save(scene(60, 40), path("a&b.jpg"));
    const QString table = QString::fromUtf8("<&\"\u00e9\u2588. ");
    const ConverterRun plain = convert({pic, "--scale", "2x4", "--chars", table});
    const ConverterRun page = convert({pic, "--scale", "2x4", "--chars", table, "--format", "html"});
    ASSERT_EQ(page.status, 0) << page.err.toStdString();
    EXPECT_TRUE(page.out.startsWith("<!DOCTYPE html>"));
    EXPECT_TRUE(page.out.contains("<title>a&amp;b.jpg</title>"));
    EXPECT_TRUE(page.out.contains("font-family: \"Courier New\", monospace"));
    // The <pre>'s text, tags out and references back: the plain text.
    const auto preText = [](const QByteArray& html) {
        QString text = QString::fromUtf8(html);
        text = text.mid(text.indexOf("<pre>\n") + 6);
        text = text.left(text.indexOf("</pre>"));
        text.remove(QRegularExpression("<[^>]*>"));
        text.replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&quot;", "\"")
            .replace("&#39;", "'")
            .replace("&amp;", "&");
        return text.toUtf8();
    };
    EXPECT_EQ(preText(page.out), plain.out);
    // At the converter's own sizes a page is light with the text made for it, or dark when asked, with the
    // text made for that: never a negative on a page.
    const QStringList own = {pic, "--columns", "12", "--chars", "@+. "};
    const QByteArray lightPage = convert(own + QStringList{"--format", "html"}).out;
    const QByteArray darkPage = convert(own + QStringList{"--format", "html", "--background", "dark"}).out;
    EXPECT_TRUE(lightPage.contains("background: #ffffff")) << lightPage.toStdString();
    EXPECT_EQ(preText(lightPage), convert(own + QStringList{"--background", "light"}).out);
    EXPECT_TRUE(darkPage.contains("background: #000000")) << darkPage.toStdString();
    EXPECT_EQ(preText(darkPage), convert(own + QStringList{"--background", "dark"}).out);
    // Chosen by the output's name too, and coloured in runs: a picture red on the left and blue on the
    // right has two spans a line.
    QImage halves(40, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            halves.setPixel(x, y, x < 20 ? qRgb(220, 0, 0) : qRgb(0, 0, 220));
    const QString two = testpic::save(halves, path("halves.bmp"));
    ASSERT_EQ(convert({two, "--scale", "4x4", "--chars", table, "--color", "-o", path("out.HTML")}).status,
              0);
    const QByteArray coloured = readFile("out.HTML");
    EXPECT_EQ(coloured.count("<span style=\"color:#dc0000\">"), 7);
    EXPECT_EQ(coloured.count("<span style=\"color:#0000dc\">"), 7);
}

TEST_F(Converter, PictureHasTheTextsCellsAndItsInk) {
    QImage img(64, 40, QImage::Format_RGB32);
    img.fill(qRgb(255, 255, 255));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 32; ++x)
            img.setPixel(x, y, qRgb(0, 0, 0)); // left half black
    const QString pic = testpic::save(img, path("half.bmp"));
    const ConverterRun r = convert({pic, "--scale", "4x4", "--chars", "@ ", "--font", "DejaVu Sans Mono",
                                    "--size", "12", "-o", path("half.png")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QImage out(path("half.png"));
    ASSERT_FALSE(out.isNull());
    // 13 columns by 7 lines of cells of the measured font.
    const QFont font = glyphs::measuringFont("DejaVu Sans Mono", 12);
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(qRound(96 / 0.0254));
    probe.setDotsPerMeterY(qRound(96 / 0.0254));
    const QFontMetricsF fm(font, &probe);
    const int cw = int(std::ceil(fm.horizontalAdvance('M'))), ch = int(std::ceil(fm.height()));
    EXPECT_EQ(out.size(), QSize(13 * cw, 7 * ch));
    // The dark half of the picture is where the @ are: its cells hold ink, the light half's none.
    int leftInk = 0, rightInk = 0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            if (qGray(out.pixel(x, y)) < 128)
                (x < 8 * cw ? leftInk : rightInk) += 1; // columns 0 to 7 stand for the black half
        }
    EXPECT_GT(leftInk, 8 * 7 * 5);
    EXPECT_EQ(rightInk, 0);
    EXPECT_EQ(convert({pic, "--scale", "4x4", "--format", "png", "-o", path("again.PNG")}).status, 0);
    EXPECT_TRUE(readFile("again.PNG").startsWith("\x89PNG"));
}

TEST_F(Converter, TwoColoursACellFollowTheBlock) {
    // Each block red above and blue below: a half block with those two colours (to within the glyph's
    // anti-aliased edge). A flat grey block: one colour, the block's.
    QImage halves(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            halves.setPixel(x, y,
                            x >= 16      ? qRgb(128, 128, 128)
                            : y % 16 < 8 ? qRgb(255, 0, 0)
                                         : qRgb(0, 0, 255));
    const QString pic = testpic::save(halves, path("halves.bmp"));
    // (In DejaVu Sans Mono the block elements fill their cells exactly, as they should.)
    const ConverterVariable truecolor("COLORTERM", "truecolor");
    const QStringList args = {pic,       "--columns", "2",       "--rows", "2",
                              "--table", "blocks",    "--color", "--font", "DejaVu Sans Mono"};
    static const QRegularExpression cells(
        "^\\x1b\\[38;2;(\\d+);(\\d+);(\\d+);48;2;(\\d+);(\\d+);(\\d+)m(\u2580|\u2584)"
        "\\x1b\\[48;2;128;128;128m $");
    for (const QByteArray& line : linesOf(withoutResets(convert(args).out))) {
        const QRegularExpressionMatch m = cells.match(QString::fromUtf8(line));
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        const bool upper = m.captured(7) == QString::fromUtf8("\u2580");
        const QRgb fore = qRgb(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        const QRgb back = qRgb(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        const auto near = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                       std::abs(qBlue(a) - qBlue(b)) <=
                   12;
        };
        EXPECT_TRUE(near(upper ? fore : back, qRgb(255, 0, 0)) && near(upper ? back : fore, qRgb(0, 0, 255)))
            << line.toStdString();
    }
    // With one colour a cell, the character's colour alone.
    EXPECT_FALSE(convert(QStringList(args) << "--fg-only").out.contains("\x1b[48;"));
}

} // namespace

} // namespace converter_test
