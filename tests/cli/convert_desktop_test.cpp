#include "converter_runs.h"
#include "core/text_files.h"
#include "support/fixture.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <algorithm>
#include <gtest/gtest.h>
#include <utility>

// The desktop program's text from the command line: its pictures, settings file, order, line ends, tables
// and numbers at their limits.
namespace converter_test {

namespace {

TEST_F(Converter, GivesTheDesktopProgramsTextForEveryKindOfPicture) {
    const QImage img = scene(120, 90);
    for (const char* ext : {"bmp", "gif", "jpg"}) {
        const QString pic = testpic::save(img, path(QString("scene.") + ext));
        for (const auto& [h, v] : {std::pair<QString, QString>{"1", "1"}, {"4", "8"}, {"3", "5"}}) {
            SCOPED_TRACE((QString(ext) + " " + h + "x" + v).toStdString());
            const QByteArray expected = desktopText(pic, "@%#*+=-:. ", "DejaVu Sans Mono", "9", h, v);
            const ConverterRun r = convert({pic, "--crlf", "--chars", "@%#*+=-:. ", "--font",
                                            "DejaVu Sans Mono", "--size", "9", "--scale", h + "x" + v});
            ASSERT_EQ(r.status, 0) << r.err.toStdString();
            EXPECT_EQ(r.out, expected);
            EXPECT_FALSE(expected.isEmpty());
        }
    }
}

TEST_F(Converter, SettingsFileStandsForTheOptions) {
    const QString pic = testpic::save(scene(90, 60), path("s.bmp"));
    writeFile("table.txt", "@#=-. \r\nignored second line");
    writeFile("my.ini",
              "version=0.2.17\r\nasciiTableFile=" + path("table.txt").toUtf8() +
                  "\r\nxScale=3\r\nyScale=6\r\nFont=DejaVu Sans Mono\r\nFontSize=9\r\nunknown=1\r\n");
    const ConverterRun fromSettings = convert({pic, "--settings", path("my.ini")});
    const ConverterRun explicitly =
        convert({pic, "--chars", "@#=-. ", "--font", "DejaVu Sans Mono", "--size", "9", "--scale", "3x6"});
    ASSERT_EQ(fromSettings.status, 0) << fromSettings.err.toStdString();
    EXPECT_EQ(fromSettings.out, explicitly.out);
    writeFile("bad.ini", "Font=x\r\n\r\n");
    const ConverterRun bad = convert({pic, "--settings", path("bad.ini")});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.startsWith("tessarine-convert: ")) << bad.err.toStdString();
}

TEST_F(Converter, OrderListsTheTableDarkestFirst) {
    const ConverterRun r = convert({"--order", "--chars", "@ ."});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("@\t"));
    EXPECT_TRUE(lines[1].startsWith(".\t"));
    EXPECT_EQ(lines[2], "U+0020\t0");
    EXPECT_GT(lines[0].split('\t')[1].toInt(), lines[1].split('\t')[1].toInt());
}

TEST_F(Converter, OutputsLineEndsAndTheDefaultTable) {
    const QString pic = testpic::save(scene(30, 20), path("p.bmp"));
    const ConverterRun lf = convert({pic, "--chars", "#. ", "--scale", "1x1"});
    const ConverterRun crlf =
        convert({pic, "--chars", "#. ", "--scale", "1x1", "--crlf", "-o", path("p.txt")});
    ASSERT_EQ(crlf.status, 0);
    EXPECT_TRUE(crlf.out.isEmpty());
    QByteArray expected = lf.out;
    expected.replace("\n", "\r\n");
    EXPECT_EQ(readFile("p.txt"), expected);
    EXPECT_EQ(lf.out.count('\n'), 20);

    // The default table: every printable ASCII character at the converter's own sizes; with the described
    // mapping, and at the desktop program's sizes, the desktop program's twelve (also named "classic").
    QFile shipped(QStringLiteral(TESSARINE_SOURCE_DIR "/resources/default-table.txt"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray classic = shipped.readAll();
    const auto onlyFrom = [](const QByteArray& text, const QByteArray& table) {
        return std::all_of(text.begin(), text.end(), [&](char c) { return c == '\n' || table.contains(c); });
    };
    const ConverterRun byDefault = convert({pic, "--columns", "30"});
    ASSERT_EQ(byDefault.status, 0);
    QFile ascii(QStringLiteral(TESSARINE_SOURCE_DIR "/resources/tables/ascii.txt"));
    ASSERT_TRUE(ascii.open(QIODevice::ReadOnly));
    EXPECT_TRUE(onlyFrom(byDefault.out, ascii.readAll()));
    EXPECT_FALSE(onlyFrom(byDefault.out, classic)) << "more than the twelve characters";
    for (const QStringList& described :
         {QStringList{"--mapping", "position"}, QStringList{"--scale", "1x1"}}) {
        const ConverterRun r = convert(QStringList{pic} + described);
        EXPECT_TRUE(onlyFrom(r.out, classic)) << described.join(' ').toStdString();
        EXPECT_EQ(r.out, convert(QStringList{pic, "--table", "classic"} + described).out);
    }

    // A converter copied anywhere with its module has every shipped table, and looks none up where the
    // table is given; an edited copy of a shipped table beside it wins.
    QDir(folder()).mkpath("copy");
    ASSERT_TRUE(QFile::copy(QStringLiteral(TESSARINE_CONVERT), path("copy/tessarine-convert")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TESSARINE_QT_MODULE_FILE), path("copy/tessarine-convert-qt.so")));
    const auto copied = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(converterEnvironment());
        p.start(path("copy/tessarine-convert"), QStringList{pic, "--columns", "30"} + args);
        p.waitForFinished(60000);
        return std::pair(p.exitCode(), p.readAllStandardOutput());
    };
    EXPECT_EQ(copied({}), std::pair(0, byDefault.out));
    EXPECT_EQ(copied({"--chars", "@. "}),
              std::pair(0, convert({pic, "--columns", "30", "--chars", "@. "}).out));
    EXPECT_EQ(copied({"--table", "braille"}),
              std::pair(0, convert({pic, "--columns", "30", "--table", "braille"}).out));
    QDir(folder()).mkpath("copy/tables");
    writeFile("copy/tables/ramp-10.txt", "#. ");
    EXPECT_EQ(copied({"--table", "ramp-10"}).second, convert({pic, "--columns", "30", "--chars", "#. "}).out);

    const ConverterRun version = convert({"--version"});
    EXPECT_EQ(version.out, "tessarine-convert 0.2 build 17\n");
    EXPECT_TRUE(convert({"--help"}).out.contains("--columns"));
}

TEST_F(Converter, BatchesConvertEachPictureAsAlone) {
    QStringList pics;
    for (int i = 0; i < 5; ++i)
        pics << testpic::save(scene(50 + 13 * i, 40 + 7 * i), path(QString("b%1.jpg").arg(i)));
    const ConverterRun batch = convert(QStringList(pics) << "--scale"
                                                         << "2x3"
                                                         << "-o" << path("many"));
    ASSERT_EQ(batch.status, 0) << batch.err.toStdString();
    for (int i = 0; i < 5; ++i) {
        const ConverterRun alone = convert({pics[i], "--scale", "2x3"});
        QFile f(path(QString("many/b%1.txt").arg(i)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << i;
        EXPECT_EQ(f.readAll(), alone.out) << i;
    }
}

TEST_F(Converter, FillTableResultIsSavedCopiedAndConvertedToTheSameBytes) {
    // Every grey level once a row: the run uses every entry of the table, lone CR, LF and the no-break
    // space among them.
    QImage greys(256, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 256; ++x)
            greys.setPixel(x, y, qRgb(x, x, x));
    const QString pic = testpic::save(greys, path("greys.bmp"));
    writeFile("Tessarine.ini", "");
    FrmMain* main = start();
    modVars().pictureFile = pic;
    main->mnuAsciiTableFill_Click();
    const QString table = main->txtAsciiTable->text();
    ASSERT_EQ(table.size(), 255);
    main->txtFont->setText("DejaVu Sans Mono");
    main->txtFontSize->setText("9");
    main->cmdStart_Click();
    dialogs->files = {path("saved.txt")};
    frmAscii()->mnuFileSaveAs_Click();
    frmAscii()->mnuEditSelectAll_Click();
    frmAscii()->mnuEditCopy_Click();
    const QString copied = QGuiApplication::clipboard()->text();

    const ConverterRun r = convert(
        {pic, "--crlf", "--chars", table, "--font", "DejaVu Sans Mono", "--size", "9", "--scale", "1x1"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readFile("saved.txt"), r.out);
    EXPECT_EQ(textfile::encode(copied), r.out);
    const QString text = textfile::decode(r.out);
    EXPECT_EQ(text.size(), 3 * (256 + 2));
    for (const QChar c : {QChar(u'\r'), QChar(u'\n'), QChar(0xA0), QChar(u'\t')})
        EXPECT_EQ(text.count(c), 3 + (c == u'\r' || c == u'\n' ? 3 : 0)) << int(c.unicode());
}

TEST_F(Converter, ExtremeTablesSettingsAndNumbers) {
    const QString pic = testpic::save(scene(40, 30), path("p.bmp"));
    // Tables are read only up to their first line end, within a bound: a sparse file of three gigabytes
    // is refused as soon as the bound is passed.
    QFile sparse(path("sparse.txt"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(3) << 30));
    sparse.close();
    writeFile("long.txt", QByteArray(10 * 1024 * 1024, 'x') + "\nsecond line");
    for (const char* table : {"sparse.txt", "long.txt"}) {
        const ConverterRun big = convert({pic, "--table", path(table)}, QString(), qint64(1500) << 20);
        EXPECT_EQ(big.status, 2);
        EXPECT_EQ(big.err,
                  ("tessarine-convert: " + path(table) +
                   ": its first line goes on past 65536 bytes; a table holds at most 256 characters\n")
                      .toUtf8());
    }
    writeFile("first.txt", "@#. \n" + QByteArray(10 * 1024 * 1024, 'x'));
    EXPECT_EQ(convert({pic, "--table", path("first.txt"), "--scale", "8x8"}).out,
              convert({pic, "--chars", "@#. ", "--scale", "8x8"}).out);

    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += "key" + QByteArray::number(i) + "=v\r\n";
    writeFile("many.ini", many + "xScale=2\ryScale=3\nFontSize=1e308\r\n");
    const ConverterRun fromMany = convert({pic, "--settings", path("many.ini"), "--chars", "#. "});
    EXPECT_EQ(fromMany.status, 0) << fromMany.err.toStdString();
    EXPECT_EQ(fromMany.out, convert({pic, "--scale", "2x3", "--size", "99", "--chars", "#. "}).out);

    // No font is named in megabytes: such a name is refused before the font system spends seconds on it.
    writeFile("mega.ini", "Font=" + QByteArray(4 * 1024 * 1024 - 16, 'W') + "\r\n");
    const ConverterRun mega = convert({pic, "--settings", path("mega.ini"), "--chars", "#. "});
    EXPECT_EQ(mega.status, 2);
    EXPECT_EQ(mega.err,
              "tessarine-convert: the font name is longer than 256 characters; no font is named so\n");
    writeFile("huge.ini", QByteArray(5 * 1024 * 1024, '\n'));
    EXPECT_EQ(convert({pic, "--settings", path("huge.ini")}).status, 2) << "a settings file beyond its bound";
    writeFile("garbage.ini", QByteArray("\x01\x02\xff\x00\x10garbage\r\n", 14));
    EXPECT_EQ(convert({pic, "--settings", path("garbage.ini")}).status, 2);
    writeFile("factor.ini", "xScale=2147483648\r\nyScale=1\r\n");
    const ConverterRun overflow = convert({pic, "--settings", path("factor.ini")});
    EXPECT_EQ(overflow.status, 2);
    EXPECT_TRUE(overflow.err.contains("Overflow")) << overflow.err.toStdString();
    writeFile("zero.ini", "xScale=-0\r\nyScale=1\r\n");
    const ConverterRun zero = convert({pic, "--settings", path("zero.ini")});
    EXPECT_EQ(zero.status, 2);
    EXPECT_TRUE(zero.err.contains("Division by zero")) << zero.err.toStdString();

    EXPECT_EQ(convert({pic, "--font", QString(257, 'F'), "--chars", "#. "}).status, 2);
    EXPECT_EQ(convert({pic, "--font", QString(256, 'F'), "--chars", "#. "}).status, 0);
    EXPECT_EQ(convert({pic, "--size", "1e308", "--chars", "#. "}).out,
              convert({pic, "--size", "99", "--chars", "#. "}).out);
    EXPECT_EQ(convert({pic, "--scale", "2147483648x1"}).status, 2);

    // Limits hold at their very edge: a settings file of exactly 4 MiB, a 32767-character line, the
    // strongest brightness and contrast.
    QByteArray edge = "xScale=2\r\nyScale=2\r\n";
    edge += "pad=" + QByteArray(4 * 1024 * 1024 - edge.size() - 6, 'p') + "\r\n";
    ASSERT_EQ(edge.size(), 4 * 1024 * 1024);
    writeFile("edge.ini", edge);
    EXPECT_EQ(convert({pic, "--settings", path("edge.ini"), "--chars", "#. "}).status, 0);
    const ConverterRun widest = convert({pic, "--columns", "32767", "--rows", "1", "--chars", "#. "});
    EXPECT_EQ(widest.status, 0) << widest.err.toStdString();
    EXPECT_EQ(widest.out.size(), 32768);
    for (const char* option : {"--brightness", "--contrast"})
        for (const char* value : {"100", "-100"})
            EXPECT_EQ(convert({pic, option, value, "--mapping", "ink", "--chars", "#. "}).status, 0)
                << option << value;
    // A table that breaks lines breaks the exact grid: refused there; the desktop program's sizes keep it.
    const ConverterRun breaking = convert({pic, "--chars", "#\n. ", "--columns", "4", "--rows", "3"});
    EXPECT_EQ(breaking.status, 2);
    EXPECT_EQ(breaking.err, "tessarine-convert: the character table holds a line break or another control "
                            "character (U+000A), which would break the text's lines\n");
    EXPECT_EQ(convert({pic, "--chars", "#\t. ", "--columns", "4"}).status, 2);
    EXPECT_EQ(convert({pic, "--chars", "#\n. ", "--scale", "2x2"}).status, 0);
}

} // namespace

} // namespace converter_test
