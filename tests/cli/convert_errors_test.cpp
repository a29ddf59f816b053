#include "converter_runs.h"
#include "support/hostile.h"
#include "support/pictures.h"

#include <QDir>
#include <QImageWriter>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utility>

// What the converter refuses, and how it says so: usage errors, hostile and damaged pictures, a user's
// rights, a missing module.
namespace converter_test {

namespace {

TEST_F(Converter, ExitStatusesAndErrorLines) {
    const QString good = testpic::save(scene(40, 40), path("good.jpg"));
    writeFile("fake.gif", "GIF89a but nothing else");
    const ConverterRun some = convert({good, path("missing.jpg"), path("fake.gif"), "-o", path("out")});
    EXPECT_EQ(some.status, 1);
    EXPECT_TRUE(QFile::exists(path("out/good.txt")));
    EXPECT_TRUE(
        some.err.contains(("tessarine-convert: " + path("missing.jpg") + ": File not found\n").toUtf8()))
        << some.err.toStdString();
    EXPECT_TRUE(some.err.contains(("tessarine-convert: " + path("fake.gif") + ": Invalid picture").toUtf8()))
        << some.err.toStdString();

    const ConverterRun none = convert({path("missing.jpg"), path("fake.gif"), "-o", path("out2")});
    EXPECT_EQ(none.status, 2);
    // A name reaches the terminal with nothing in it that could steer it, in the file and in the reason.
    writeFile("x\x1b]0;owned\x07.jpg", "no picture");
    const ConverterRun steering = convert({path("x\x1b]0;owned\x07.jpg"), "-o", path("x\x1b[2J.txt")});
    EXPECT_FALSE(steering.err.contains('\x1b') || steering.err.contains('\x07'))
        << steering.err.toStdString();
    EXPECT_TRUE(steering.err.contains("x\\033]0;owned\\007.jpg: ")) << steering.err.toStdString();
    // Two pictures of one name for one folder: the second is refused, and the status says so.
    QDir(folder()).mkpath("other");
    const QString twin = testpic::save(scene(40, 40), path("other/good.jpg"));
    QDir(folder()).mkpath("third");
    const QString third = testpic::save(scene(40, 40), path("third/good.bmp"));
    const ConverterRun clash = convert({good, twin, third, "-o", path("out3")});
    EXPECT_EQ(clash.status, 1);
    for (const QString& refused : {twin, third}) // each clash names the picture that holds the name
        EXPECT_TRUE(
            clash.err.contains((refused + ": output good.txt is already written for " + good).toUtf8()))
            << clash.err.toStdString();
    // A picture's name for text is refused, unless the form is asked for; a mistyped table gets the nearest.
    const ConverterRun asPicture = convert({good, "-o", path("art.JPG")});
    EXPECT_EQ(asPicture.err,
              ("tessarine-convert: -o " + path("art.JPG") +
               ": tessarine-convert writes text (NAME.txt), html (NAME.html) or png (NAME.png), not "
               "jpg; to write one under this name, add --format text, html or png\n")
                  .toUtf8());
    EXPECT_FALSE(QFile::exists(path("art.JPG")));
    EXPECT_EQ(convert({good, "-o", path("art.JPG"), "--format", "text"}).status, 0);
    EXPECT_TRUE(readFile("art.JPG").contains('\n'));
    const ConverterRun mistyped = convert({good, "--table", "block"});
    EXPECT_TRUE(
        mistyped.err.startsWith("tessarine-convert: block: no such file, nor a shipped table; did you "
                                "mean blocks? (the shipped tables: ascii, blocks, "))
        << mistyped.err.toStdString();
    const ConverterRun one = convert({good});
    EXPECT_EQ(one.status, 0);
    EXPECT_TRUE(one.err.isEmpty()) << one.err.toStdString();

    const QStringList usage[] = {{},
                                 {good, "--scale", "0x3"},
                                 {good, "--scale", "8x"},
                                 {good, "--scale", "2x2", "--columns", "10"},
                                 {good, "--bogus"},
                                 {good, "--table", path("t.txt"), "--chars", "ab"},
                                 {good, "--chars", ""},
                                 {good, "--size", "0.5"},
                                 {good, "--color=99"},
                                 {good, "--rows", "3", "--scale", "2x2"},
                                 {good, "--mapping", "curve"},
                                 {good, "--dither", "--mapping", "position"}, // nothing to dither
                                 {good, "--dither", "--scale", "2x2"}, // the described mapping there too
                                 {good, "--background", "grey"},
                                 {good, "--fg-only"}, // without colours
                                 {good, "--levels", "some"},
                                 {good, "--brightness", "101"},
                                 {good, "--contrast", "x"},
                                 {good, "--gamma", "0"},
                                 {good, "--table", "no-such-table"},
                                 {good, "-s", "80"},
                                 {good, "--size=80x24"},
                                 {good, "--symbols", "wide"},
                                 {good, "--fill", "--mapping", "position"},
                                 {good, "--animate"}}; // into a pipe
    for (const QStringList& args : usage) {
        const ConverterRun r = convert(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("tessarine-convert: ")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(Converter, HostileInputsGetALineAndANonZeroStatus) {
    const QString good = testpic::save(scene(40, 30), path("good.bmp"));
    for (const auto& input : hostile::badPictures(folder())) {
        const ConverterRun alone = convert({input.path, "--scale", "4x4"});
        EXPECT_EQ(alone.status, 2) << input.name.toStdString();
        EXPECT_TRUE(alone.err.startsWith(("tessarine-convert: " + input.path + ": ").toUtf8()))
            << alone.err.toStdString();
        EXPECT_EQ(alone.err.count('\n'), 1) << alone.err.toStdString();
        const ConverterRun mixed = convert({good, input.path, "-o", path("mixed")});
        EXPECT_EQ(mixed.status, 1) << input.name.toStdString();
    }
    const ConverterRun unicode =
        convert({hostile::unicodePicture(folder()), "--chars", "#. ", "--scale", "1x1"});
    EXPECT_EQ(unicode.status, 0) << unicode.err.toStdString();
    EXPECT_EQ(unicode.out.count('\n'), 30);
}

TEST_F(Converter, AnOrdinaryUserIsRefusedWhatTheShellRefuses) {
    // Root reads and writes everything, so the converter runs as an ordinary user when the tests run as
    // root: a picture it may not read, a read-only file it may not write (refused, as the shell's
    // redirection refuses it); a file it may write in a folder where it may make no file is written in place.
    openToOthers(folder());
    QDir(folder()).mkpath("open");
    QFile::setPermissions(path("open"), QFileDevice::Permissions(0x7777));
    const QString pic = testpic::save(scene(20, 20), path("open/secret.bmp"));
    QFile::setPermissions(pic, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const std::optional<ConverterRun> secret = convertAsUser({pic});
    if (!secret)
        GTEST_SKIP() << "no ordinary user can run the converter here";
    EXPECT_EQ(secret->status, 2) << secret->err.toStdString();
    EXPECT_TRUE(secret->err.contains((pic + ": Permission denied").toUtf8())) << secret->err.toStdString();

    const QString readable = testpic::save(scene(20, 20), path("open/p.bmp"));
    const QStringList args = {readable, "--columns", "8", "--chars", "#. ", "-o"};
    writeFile("open/ro.txt", "kept");
    QFile::setPermissions(path("open/ro.txt"), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    if (geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(path("open/ro.txt")).constData(), 65534, 65534), 0);
    }
    const std::optional<ConverterRun> ro = convertAsUser(args + QStringList{path("open/ro.txt")});
    ASSERT_TRUE(ro);
    EXPECT_EQ(ro->status, 2);
    EXPECT_EQ(ro->err, ("tessarine-convert: " + readable + ": cannot write " + path("open/ro.txt") +
                        ": Permission denied\n")
                           .toUtf8());
    EXPECT_EQ(readFile("open/ro.txt"), "kept");
    if (geteuid() == 0) { // root's shell writes it, and so does the converter
        EXPECT_EQ(convert(args + QStringList{path("open/ro.txt")}).status, 0);
        EXPECT_NE(readFile("open/ro.txt"), "kept");
    }

    QDir(folder()).mkpath("shut");
    writeFile("shut/x.txt", "old");
    if (geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(path("shut/x.txt")).constData(), 65534, 65534), 0);
    }
    QFile::setPermissions(path("shut/x.txt"), QFileDevice::Permissions(0x6666));
    QFile::setPermissions(path("shut"), QFileDevice::Permissions(0x7555));
    const std::optional<ConverterRun> shut = convertAsUser(args + QStringList{path("shut/x.txt")});
    ASSERT_TRUE(shut);
    EXPECT_EQ(shut->status, 0) << shut->err.toStdString();
    EXPECT_EQ(readFile("shut/x.txt"), convert(QStringList(args.mid(0, 5))).out);
    EXPECT_EQ(temporaries(path("shut")), QStringList());
}

// At its own sizes the converter decodes a JPEG no finer than the text reads it (a progressive one from its
// DC scans alone): the text is the whole decode's, and a file cut short is still refused.
TEST_F(Converter, JpegDecodedNoFinerThanNeededGivesTheWholeDecodesText) {
    QImage greys(256, 128, QImage::Format_RGB32);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            const int v = ((x / 16) * 53 + (y / 16) * 97) % 256;
            greys.setPixel(x, y, qRgb(v, v, v));
        }
    const QString baseline = testpic::save(greys, path("baseline.jpg"));
    QImageWriter writer(path("progressive.jpg"));
    writer.setQuality(95);
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(greys));
    const QByteArray progressive = readFile("progressive.jpg");
    for (const char* size : {"4", "16", "64"}) { // at 4 columns, an eighth: a progressive file's DC scans
        const QStringList grid = {"--columns", size, "--rows", QString::number(QString(size).toInt() / 2)};
        for (const QString& jpg : {baseline, path("progressive.jpg")}) {
            // The whole decode, kept losslessly, converted at the same size.
            const QString whole = testpic::save(QImage(jpg), path("whole.bmp"));
            EXPECT_EQ(convert(QStringList{jpg} + grid).out, convert(QStringList{whole} + grid).out)
                << jpg.toStdString() << " at " << size;
        }
    }
    // Bytes after the end marker are no part of the picture; a file cut inside the first scans or after
    // them is refused, from a file and from standard input.
    writeFile("trailing.jpg", progressive + "trailing bytes");
    EXPECT_EQ(convert({path("trailing.jpg"), "--columns", "4"}).out,
              convert({path("progressive.jpg"), "--columns", "4"}).out);
    const int firstScan = progressive.indexOf("\xFF\xDA");
    for (const int cut : {firstScan + 40, int(progressive.size()) / 2, int(progressive.size()) - 30}) {
        writeFile("cut.jpg", progressive.left(cut));
        // As the whole decode refuses it.
        const ConverterRun whole = convert({path("cut.jpg"), "--scale", "8x8"});
        ASSERT_TRUE(whole.err.contains(": Invalid picture (")) << whole.err.toStdString();
        EXPECT_EQ(convert({path("cut.jpg"), "--columns", "16"}).err, whole.err) << cut;
        const QByteArray reason = whole.err.mid(whole.err.indexOf(": Invalid"));
        EXPECT_EQ(convert({"-", "--columns", "16"}, path("cut.jpg")).err, "tessarine-convert: -" + reason)
            << cut;
    }
}

TEST_F(Converter, CmykAndYcckBatchesConvertEveryTime) {
    // These fall back to Qt's reader on worker threads: never before the application exists.
    const QStringList batch = {hostile("cmyk.jpg"), hostile("ycck.jpg"), "--scale", "4x4", "-o",
                               path("cmyk")};
    const ConverterRun first = convert(batch);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const QByteArray cmyk = readFile("cmyk/cmyk.txt"), ycck = readFile("cmyk/ycck.txt");
    EXPECT_EQ(cmyk.count('\n'), 9); // Int(52 / 4) - 4 rows
    for (int i = 0; i < 40; ++i) {
        const ConverterRun again = convert(batch);
        ASSERT_EQ(again.status, 0) << "run " << i << ": " << again.err.toStdString();
        ASSERT_EQ(readFile("cmyk/cmyk.txt"), cmyk) << "run " << i;
        ASSERT_EQ(readFile("cmyk/ycck.txt"), ycck) << "run " << i;
    }
}

TEST_F(Converter, HostilePicturesAreRefusedWithTheirReason) {
    const std::pair<const char*, const char*> rows[] = {
        {"os2-cut.bmp", "Invalid picture (the file ends too early)"},
        {"rle-cut.bmp", "Invalid picture (the file ends too early)"},
        {"cmyk-cut.jpg", "Invalid picture (the JPEG file ends too early)"},
        {"cut-closed.jpg", "Invalid picture (the JPEG file ends too early)"},
        {"scan-bomb.jpg", "Invalid picture (the JPEG file has more than 300 scans)"},
        {"progressive-huge.jpg", "Out of memory (the picture is 23170 x 23170 pixels)"},
        {"cmyk-progressive-huge.jpg", "Out of memory (the picture is 23170 x 23170 pixels)"},
    };
    for (const auto& [file, reason] : rows) {
        // With no more memory than a small conversion needs: a picture that would allocate gigabytes
        // before it is refused fails differently.
        const ConverterRun r = convert({hostile(file), "--scale", "8x16"}, QString(), qint64(1500) << 20);
        EXPECT_EQ(r.status, 2) << file;
        EXPECT_EQ(r.err, ("tessarine-convert: " + hostile(file) + ": " + reason + "\n").toUtf8()) << file;
    }
    // A grid too large for the memory budget, whatever the picture's format: refused before anything is
    // allocated, naming the text.
    for (const char* ext : {"bmp", "gif", "jpg", "png"}) {
        const QString pic = testpic::save(scene(320, 240), path(QString("small.") + ext));
        const ConverterRun r =
            convert({pic, "--columns", "24000", "--rows", "24000", "--mapping", "position"}, QString(),
                    qint64(1500) << 20);
        EXPECT_EQ(r.status, 2) << ext;
        EXPECT_EQ(r.err,
                  ("tessarine-convert: " + pic + ": Out of memory (the text is 24000 x 24000 characters)\n")
                      .toUtf8());
    }
    // The likeness is measured on a drawing of the whole text, held from the same budget: a narrow picture
    // at 2000 columns is 2000 x 7903 characters, few to write and too many to draw.
    const QString narrow = testpic::save(scene(17, 127), path("narrow.jpg"));
    const ConverterRun scored =
        convert({narrow, "--columns", "2000", "--score"}, QString(), qint64(1500) << 20);
    EXPECT_EQ(scored.status, 2);
    EXPECT_TRUE(
        QString::fromUtf8(scored.err)
            .contains(QRegularExpression(
                "^tessarine-convert: [^\n]*: Out of memory \\(the text is 2000 x \\d+ characters\\)\n$")))
        << scored.err.toStdString();
}

TEST_F(Converter, HugeFileStartingLikeAGifIsRefusedAtItsFirstBlocks) {
    // Four gibibytes, almost all of them a hole in the file, whose first block is already no GIF's: refused
    // from there, as a file and as standard input, before a font is measured for it (no notice).
    QFile gif(path("huge.gif"));
    ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
    gif.write("GIF89a");
    ASSERT_TRUE(gif.resize(qint64(4) << 30));
    gif.close();
    const QStringList font = {"--font", "Courier New"};
    const ConverterRun file = convert(QStringList{path("huge.gif")} + font, QString(), qint64(1500) << 20);
    EXPECT_EQ(file.status, 2);
    EXPECT_EQ(file.err, ("tessarine-convert: " + path("huge.gif") + ": Invalid picture\n").toUtf8());
    EXPECT_EQ(file.fontNotice, "");
    const ConverterRun input = convert(QStringList{"-"} + font, path("huge.gif"), qint64(1500) << 20);
    EXPECT_EQ(input.status, 2);
    EXPECT_EQ(input.err, "tessarine-convert: -: Invalid picture\n");
    EXPECT_EQ(input.fontNotice, "");
    // Whole blocks for longer than the first look, then nothing a GIF has: refused when decoded.
    QByteArray late("GIF89a\x10\x00\x10\x00\x00\x00\x00\x21\xfe", 15);
    for (int i = 0; i < 300; ++i)
        late += char(0xFF) + QByteArray(255, 'a');
    writeFile("late.gif", late);
    ASSERT_TRUE(QFile::resize(path("late.gif"), qint64(4) << 30));
    const ConverterRun decoded = convert({path("late.gif")}, QString(), qint64(1500) << 20);
    EXPECT_EQ(decoded.status, 2);
    EXPECT_EQ(decoded.err, ("tessarine-convert: " + path("late.gif") + ": Invalid picture\n").toUtf8());
}

TEST_F(Converter, MissingOrBrokenModuleIsAClearError) {
    const QString pic = testpic::save(scene(30, 20), path("p.jpg"));
    writeFile("broken.so", "this is no shared object");
    // The real module cut short, as an interrupted install leaves it: the loader would die of SIGBUS.
    QFile real(QStringLiteral(TESSARINE_QT_MODULE_FILE));
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    writeFile("cut.so", real.read(real.size() * 2 / 5));
    for (const QString& module : {path("missing.so"), path("broken.so"), path("cut.so")}) {
        qputenv("TESSARINE_QT_MODULE", QFile::encodeName(module));
        const ConverterRun r = convert({pic, "--chars", "#. ", "--no-cache"});
        EXPECT_EQ(r.status, 2) << module.toStdString();
        EXPECT_TRUE(
            r.err.startsWith(("tessarine-convert: cannot load the Qt module " + module + ": ").toUtf8()))
            << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        const ConverterRun order = convert({"--order", "--chars", "#. ", "--no-cache"});
        EXPECT_EQ(order.status, 2);
    }
    qunsetenv("TESSARINE_QT_MODULE");
}

} // namespace

} // namespace converter_test
