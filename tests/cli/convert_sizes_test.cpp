#include "converter_runs.h"
#include "core/glyph_measure.h"
#include "support/pictures.h"

#include <QFontInfo>
#include <QProcess>
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>

// The converter's own sizes, its options and the peers' names for them, and its help.
namespace converter_test {

namespace {

TEST_F(Converter, GridsAreExactAndKeepThePicturesProportions) {
    const QString pic = testpic::save(scene(600, 400), path("wide.jpg"));
    const QSizeF c = cell("monospace", 10); // the converter's own sizes measure in the terminal's font
    for (int columns : {1, 40, 77, 100, 121}) {
        const ConverterRun r = convert({pic, "--columns", QString::number(columns), "--chars", "#. "});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        const QList<QByteArray> lines = linesOf(r.out);
        ASSERT_GE(lines.size(), 1);
        for (const QByteArray& line : lines)
            ASSERT_EQ(line.size(), columns);
        // Shown in the font's own cells, the text is as wide for its height as the whole picture, to
        // within the rounding of the number of lines.
        const double shown = columns * c.width() / (lines.size() * c.height());
        EXPECT_NEAR(shown / (600.0 / 400), 1.0, columns > 1 ? 0.5 / lines.size() + 0.01 : 1) << columns;
    }
    const auto grid = [&](const QStringList& size) {
        const QList<QByteArray> lines = linesOf(convert(QStringList{pic, "--chars", "#. "} + size).out);
        return QSize(lines.isEmpty() ? 0 : int(lines.first().size()), int(lines.size()));
    };
    const QSize byRows = grid({"--rows", "30"});
    EXPECT_EQ(byRows.height(), 30);
    EXPECT_NEAR(byRows.width() * c.width() / (30 * c.height()), 1.5, 1.5 * 0.5 / byRows.width() + 0.01);
    EXPECT_EQ(grid({"--rows", "7", "--columns", "333"}), QSize(333, 7));
    EXPECT_EQ(grid({}).width(), 80) << "redirected, 80 characters a line";
    qputenv("COLUMNS", "57");
    EXPECT_EQ(grid({}).width(), 57);
    qunsetenv("COLUMNS");
    for (const char* bad : {"0", "-3", "32768", "x"}) {
        EXPECT_EQ(convert({pic, "--columns", bad}).status, 2) << bad;
        EXPECT_EQ(convert({pic, "--rows", bad}).status, 2) << bad;
    }
}

TEST_F(Converter, GridsCoverEveryEdgeOfThePicture) {
    // A black frame round a white picture: every side shows at every width, and the inside stays blank (in
    // the mapping by ink, which shows any block that holds some).
    QImage framed(300, 200, QImage::Format_RGB32);
    framed.fill(qRgb(255, 255, 255));
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            if (x < 16 || y < 16 || x >= 284 || y >= 184)
                framed.setPixel(x, y, qRgb(0, 0, 0));
    const QString pic = testpic::save(framed, path("framed.bmp"));
    for (int columns : {12, 40, 100}) {
        const QList<QByteArray> lines =
            linesOf(convert({pic, "--columns", QString::number(columns), "--chars", "@#+. ", "--mapping",
                             "position", "--background", "light"})
                        .out);
        ASSERT_GE(lines.size(), 3) << columns;
        EXPECT_FALSE(lines.first().contains(' ') || lines.last().contains(' ')) << columns;
        for (const QByteArray& line : lines)
            ASSERT_TRUE(line.size() == columns && line.front() != ' ' && line.back() != ' ')
                << columns << ": [" << line.toStdString() << "]";
        EXPECT_EQ(lines[lines.size() / 2].mid(columns / 4, columns / 2).trimmed(), "") << columns;
    }
}

TEST_F(Converter, SeveralPicturesGoToStandardOutputInTheirOrder) {
    const QString jpg = testpic::save(scene(90, 60), path("a.jpg"));
    const QString png = testpic::save(scene(50, 80), path("b.png"));
    const QString bmp = testpic::save(scene(64, 64), path("c.bmp"));
    const QStringList size = {"--columns", "30", "--chars", "@%#*+=-:. "};
    QByteArray alone;
    for (const QString& pic : {jpg, png, bmp})
        alone += convert(QStringList{pic} + size).out;
    const ConverterRun together = convert(QStringList{jpg, png, bmp} + size);
    EXPECT_EQ(together.status, 0) << together.err.toStdString();
    EXPECT_EQ(together.out, alone);
    EXPECT_EQ(convert(QStringList{jpg, png, bmp, "-o", "-"} + size).out, alone) << "-o - is standard output";
    const ConverterRun gap = convert(QStringList{jpg, path("missing.jpg"), bmp} + size);
    EXPECT_EQ(gap.status, 1);
    EXPECT_EQ(gap.out, convert(QStringList{jpg} + size).out + convert(QStringList{bmp} + size).out);
    EXPECT_FALSE(QFile::exists(path("-")));
}

TEST_F(Converter, OptionalValuesOnlyAfterAnEqualsSignAndAWordOnTheFont) {
    const QString pic = testpic::save(scene(60, 40), path("p.jpg"));
    {
        const ConverterVariable truecolor("COLORTERM", "truecolor");
        const ConverterRun coloured = convert({"--color", pic, "--columns", "20"});
        EXPECT_EQ(coloured.status, 0) << coloured.err.toStdString();
        EXPECT_TRUE(coloured.out.contains("\x1b[38;2;"));
        EXPECT_EQ(coloured.out, convert({pic, "--color=truecolor", "--columns", "20"}).out);
    }
    const ConverterRun bad = convert({pic, "--color=99"});
    EXPECT_EQ(bad.err, "tessarine-convert: --color takes auto, truecolor, full, 256, 16 or none\n");
    // By default nothing is said of the font, measured or remembered; a font the user names that is not
    // installed gets one line naming the family measured instead.
    for (int round = 0; round < 2; ++round) {
        const ConverterRun r = convert({pic, "--columns", "20"});
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.fontNotice.isEmpty() && r.err.isEmpty()) << "round " << round << r.err.toStdString();
    }
    const QByteArray notice = "tessarine-convert: font \"Courier New\" is not installed; measured in \"" +
                              QFontInfo(glyphs::measuringFont("Courier New", 8)).family().toUtf8() + "\"\n";
    EXPECT_EQ(convert({pic, "--columns", "20", "--font", "Courier New"}).fontNotice, notice);
    EXPECT_EQ(convert({pic, "--scale", "8x8"}).fontNotice, notice) << "the desktop program's font";
    // --order says what it measured in, apart from the order on standard output.
    const ConverterRun order = convert({"--order", "--chars", "@. "});
    EXPECT_EQ(order.err,
              "tessarine-convert: measured in \"" + terminalFamily().toUtf8() + "\" at 10 points\n");
    EXPECT_EQ(linesOf(order.out).size(), 3);
    const ConverterRun installed = convert({pic, "--columns", "20", "--font", "DejaVu Sans Mono"});
    EXPECT_TRUE(installed.fontNotice.isEmpty() && installed.err.isEmpty()) << installed.err.toStdString();
}

// jp2a's, chafa's and img2txt's names for our options give our options' bytes.
TEST_F(Converter, PeersNamesGiveTheirOwnOptionsBytes) {
    const QString pic = testpic::save(scene(400, 300), path("p.bmp"));
    const auto same = [&](const QStringList& ours, const QStringList& theirs) {
        const ConverterRun a = convert(QStringList{pic} + ours), b = convert(QStringList{pic} + theirs);
        EXPECT_EQ(a.status, 0) << a.err.toStdString();
        EXPECT_EQ(a.out, b.out) << theirs.join(' ').toStdString();
    };
    same({"--columns", "30", "--rows", "10"}, {"--width", "30", "--height", "10"});
    same({"--columns", "30", "--rows", "10"}, {"-W", "30", "-H", "10"});
    same({"--columns", "30", "--rows", "10"}, {"-s", "30x10", "--stretch"});
    same({"--columns", "20", "--color", "256"}, {"--colors=256", "--width", "20"});
    same({"--columns", "20", "--color"}, {"--colors", "256", "--width", "20"}); // as TERM says
    same({"--columns", "20", "--color", "--mapping", "ink"}, {"--fill", "--width", "20", "--mapping", "ink"});
    {
        const ConverterVariable truecolor("COLORTERM", "truecolor");
        same({"--columns", "20", "--color"}, {"--colors", "full", "--width", "20"});
    }
    same({"--columns", "20", "--color", "16"}, {"-f", "ansi", "--width", "20"});
    same({"--columns", "20"}, {"-f", "utf8", "--width", "20", "--color", "none"});
    same({"--columns", "20", "--table", "blocks"}, {"--symbols", "block", "--width", "20"});
    // -s keeps the proportions within its size: this wide picture fills the width, the lines fewer.
    for (const char* size : {"30x100", "100x10"}) {
        const QList<QByteArray> lines = linesOf(convert({pic, "-s", size}).out);
        const QStringList wh = QString(size).split('x');
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_LE(lines.size(), wh[1].toInt());
        EXPECT_LE(lines.first().size(), wh[0].toInt());
        EXPECT_TRUE(lines.size() == wh[1].toInt() || lines.first().size() == wh[0].toInt()) << size;
    }
    // A mode word after --color is the mode, never a picture; the picture named so is ./256.
    const ConverterRun moded = convert({"--color", "256", pic, "--columns", "10"});
    EXPECT_EQ(moded.status, 0) << moded.err.toStdString();
    EXPECT_TRUE(moded.out.contains("\x1b[38;5;"));
    // A picture the same mirrored gives the same text mirrored, in the shape mapping too, whose glyphs follow
    // each block's parts.
    QImage symmetric(120, 90, QImage::Format_RGB32);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x)
            symmetric.setPixel(x, y, qRgb(std::abs(2 * x - 119) * 2, y * 2, std::abs(2 * x - 119) + y));
    const QStringList shaped = {testpic::save(symmetric, path("symmetric.bmp")), "--columns", "30",
                                "--mapping", "shape"};
    EXPECT_EQ(convert(QStringList(shaped) << "--flipx").out, convert(shaped).out);
    // Mirrored: in the position mapping each block's character is its own, so the lines read backwards,
    // or come bottom first.
    const QStringList grid = {pic, "--columns", "40", "--rows", "30", "--mapping", "position"};
    const QList<QByteArray> plain = linesOf(convert(grid).out);
    const QList<QByteArray> flippedX = linesOf(convert(QStringList(grid) << "--flipx").out);
    const QList<QByteArray> flippedY = linesOf(convert(QStringList(grid) << "--flipy").out);
    ASSERT_EQ(plain.size(), 30);
    ASSERT_EQ(flippedX.size(), 30);
    ASSERT_EQ(flippedY.size(), 30);
    for (int i = 0; i < 30; ++i) {
        QByteArray reversed = plain[i];
        std::reverse(reversed.begin(), reversed.end());
        EXPECT_EQ(flippedX[i], reversed) << i;
        EXPECT_EQ(flippedY[i], plain[29 - i]) << i;
    }
}

TEST_F(Converter, TextFitsTheTerminalItIsWrittenTo) {
    const QString pic = testpic::save(scene(400, 300), path("wide.jpg"));
    const auto throughTerminal = [&](unsigned short columns, unsigned short rows, const QStringList& args) {
        int master = -1, slave = -1;
        winsize size{};
        size.ws_col = columns;
        size.ws_row = rows;
        if (openpty(&master, &slave, nullptr, nullptr, &size) != 0)
            return QByteArray("no pseudo-terminal");
        QProcess p;
        p.setProcessEnvironment(converterEnvironment());
        p.setChildProcessModifier([slave] { dup2(slave, STDOUT_FILENO); });
        p.start(QStringLiteral(TESSARINE_CONVERT), args);
        QByteArray out;
        // Read what the converter writes until it has ended and nothing more is left.
        while (true) {
            const bool running = !p.waitForFinished(50);
            char chunk[4096];
            fcntl(master, F_SETFL, O_NONBLOCK);
            ssize_t got;
            while ((got = read(master, chunk, sizeof chunk)) > 0)
                out.append(chunk, got);
            if (!running)
                break;
        }
        ::close(slave);
        ::close(master);
        return out;
    };
    const QList<QByteArray> fitted = linesOf(throughTerminal(50, 24, {pic, "--chars", "#. "}));
    ASSERT_GE(fitted.size(), 2);
    EXPECT_EQ(fitted.first().size(), 50 + 1) << "50 characters and the terminal's CR";
    EXPECT_LE(fitted.size(), 23);
    const QList<QByteArray> asked =
        linesOf(throughTerminal(50, 24, {pic, "--chars", "#. ", "--columns", "20"}));
    EXPECT_EQ(asked.first().size(), 20 + 1) << "--columns wins";
    // A portrait picture on a low terminal: as high as the terminal allows, a line left for the prompt.
    const QString portrait = testpic::save(scene(300, 600), path("tall.jpg"));
    const QList<QByteArray> tall = linesOf(throughTerminal(100, 24, {portrait, "--chars", "#. "}));
    EXPECT_EQ(tall.size(), 23);
    EXPECT_LT(tall.first().size(), 100);
    // Redirected: 80 characters a line; so is a file named with -o, even from a terminal.
    EXPECT_EQ(linesOf(convert({pic, "--chars", "#. "}).out).first().size(), 80);
    throughTerminal(50, 24, {pic, "--chars", "#. ", "-o", path("fit.txt")});
    EXPECT_EQ(linesOf(readFile("fit.txt")).first().size(), 80);
}

TEST_F(Converter, HelpNamesTheProgramAndOnlyItsOwnOptions) {
    const ConverterRun help = convert({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: tessarine-convert [options] PICTURE...\n"))
        << help.out.toStdString();
    EXPECT_FALSE(help.out.contains("--help-all"));
    EXPECT_FALSE(help.out.contains("executable_name"));
    EXPECT_EQ(convert({"-h"}).out, help.out);
    const ConverterRun unknown = convert({"--help-all"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "tessarine-convert: unknown option --help-all (see --help)\n");
}

} // namespace

} // namespace converter_test
