#include "core/glyph_measure.h"
#include "core/text_files.h"
#include "order_cache.h"
#include "support/fixture.h"
#include "support/hostile.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"
#include "ui/windows/frm_scale.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct ConverterRun {
    int status;
    QByteArray out, err;
    QByteArray fontNotice; // the line that says the font asked for is not installed, kept out of `err`
};

// Most tests convert in the default font, which Debian does not have: its notice is kept apart.
ConverterRun noticeApart(ConverterRun r) {
    static const QRegularExpression notice(
        "^tessarine-convert: font \"[^\n]*\" is not installed; measured in "
        "\"[^\n]*\"\n",
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = notice.match(QString::fromUtf8(r.err));
    if (m.hasMatch()) {
        r.fontNotice = m.captured(0).toUtf8();
        r.err.replace(r.fontNotice, "");
    }
    return r;
}

// The converter's environment: the test's own, or, for the run of the suite as users run the converter,
// without the Qt platform the tests set for themselves.
QProcessEnvironment converterEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (environment.contains("TESSARINE_TEST_AS_USERS_RUN_IT"))
        environment.remove("QT_QPA_PLATFORM");
    return environment;
}

// A variable of the converter's environment for the runs of a scope (the suite leaves COLORTERM and
// COLORFGBG unset, and TERM xterm-256color).
class ConverterVariable {
  public:
    ConverterVariable(const char* name, const char* value) : name_(name) { qputenv(name, value); }
    ~ConverterVariable() { qunsetenv(name_); }
    ConverterVariable(const ConverterVariable&) = delete;
    ConverterVariable& operator=(const ConverterVariable&) = delete;

  private:
    const char* name_;
};

// `memoryLimit`: the most address space, in bytes, the converter may take (0: no limit).
ConverterRun convert(const QStringList& args, const QString& input = QString(), qint64 memoryLimit = 0) {
    QProcess p;
    p.setProcessEnvironment(converterEnvironment());
    if (!input.isEmpty())
        p.setStandardInputFile(input);
#ifdef TESSARINE_SANITIZED
    memoryLimit = 0; // the sanitizers reserve terabytes of address space for themselves
#endif
    if (memoryLimit > 0)
        p.setChildProcessModifier([memoryLimit] {
            const rlimit limit{rlim_t(memoryLimit), rlim_t(memoryLimit)};
            setrlimit(RLIMIT_AS, &limit);
        });
    p.start(QStringLiteral(TESSARINE_CONVERT), args);
    p.waitForFinished(60000);
    return noticeApart({p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                        p.readAllStandardOutput(),
                        p.readAllStandardError(),
                        {}});
}

// The converter run by bash after `setUp` (a umask, a ulimit).
ConverterRun convertAfter(const QString& setUp, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(converterEnvironment());
    p.start("bash",
            QStringList{"-c", setUp + "; exec \"$0\" \"$@\"", QStringLiteral(TESSARINE_CONVERT)} + args);
    p.waitForFinished(60000);
    return noticeApart({p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                        p.readAllStandardOutput(),
                        p.readAllStandardError(),
                        {}});
}

// The converter run as an ordinary user: through setpriv as nobody when the tests run as root. Nothing
// when that cannot be done here.
std::optional<ConverterRun> convertAsUser(const QStringList& args) {
    QString program = QStringLiteral(TESSARINE_CONVERT);
    QStringList all = args;
    if (geteuid() == 0) {
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            return std::nullopt;
        all = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args;
        program = "setpriv";
    }
    QProcess p;
    p.setProcessEnvironment(converterEnvironment());
    p.start(program, all);
    if (!p.waitForFinished(60000))
        return std::nullopt;
    const ConverterRun r =
        noticeApart({p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError(), {}});
    if (r.status == 126 && !r.err.contains("Permission denied"))
        return std::nullopt; // the build folder is not reachable for an ordinary user
    return r;
}

// A folder of the test's that an ordinary user may reach (the test's folder is its owner's alone).
void openToOthers(const QString& folder) {
    QFile::setPermissions(folder,
                          QFile::permissions(folder) | QFileDevice::ExeOther | QFileDevice::ReadOther);
}

QStringList temporaries(const QString& folder) {
    return QDir(folder).entryList(QStringList{".tessarine-*"}, QDir::Hidden | QDir::Files);
}

QImage scene(int w, int h) {
    return testpic::steps(w, h);
}

class Converter : public ProgramTest {
  protected:
    // Every test measures afresh the first time: its own cache folder.
    void SetUp() override {
        ProgramTest::SetUp();
        qputenv("XDG_CACHE_HOME", QFile::encodeName(path("cache")));
        qunsetenv("COLUMNS"); // redirected, the text is 80 characters wide unless COLUMNS says otherwise
    }
    void TearDown() override {
        qunsetenv("XDG_CACHE_HOME");
        ProgramTest::TearDown();
    }
    // The desktop program's result for the same inputs, as its Save as would write it.
    QByteArray desktopText(const QString& picture, const QString& table, const QString& font,
                           const QString& size, const QString& h, const QString& v) {
        writeFile("Tessarine.ini", "");
        FrmMain* main = start();
        modVars().pictureFile = picture;
        main->txtAsciiTable->setText(table);
        main->txtFont->setText(font);
        main->txtFontSize->setText(size);
        frmScale()->txtHorizontal->setText(h);
        frmScale()->txtVertical->setText(v);
        if (!(h == "1" && v == "1"))
            main->mnuScalePicture_Click();
        main->cmdStart_Click();
        const QByteArray text = textfile::encode(frmAscii()->text());
        Forms::instance().destroyAll();
        resetModVars();
        return text;
    }
};

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

// A character cell of the measuring font, at the 96 dpi the measurement uses.
QSizeF cell(const QString& font, double points) {
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(qRound(96 / 0.0254));
    probe.setDotsPerMeterY(qRound(96 / 0.0254));
    const QFontMetricsF fm(glyphs::measuringFont(font, points), &probe);
    return {fm.horizontalAdvance('M'), fm.height()};
}

// The family the font system gives for "monospace", which the converter measures in by default.
QString terminalFamily() {
    return QFontInfo(glyphs::measuringFont("monospace", 10)).family();
}

QList<QByteArray> linesOf(const QByteArray& out) {
    QList<QByteArray> lines = out.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

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
    for (const QString& size : {"30x100", "100x10"}) {
        const QList<QByteArray> lines = linesOf(convert({pic, "-s", size}).out);
        const QStringList wh = size.split('x');
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_LE(lines.size(), wh[1].toInt());
        EXPECT_LE(lines.first().size(), wh[0].toInt());
        EXPECT_TRUE(lines.size() == wh[1].toInt() || lines.first().size() == wh[0].toInt())
            << size.toStdString();
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

// Output names are written as what they name: the converter never replaces what was not asked for.
TEST_F(Converter, OutputTargetsAreWrittenAsTheyAre) {
    const QString pic = testpic::save(scene(40, 30), path("p.jpg"));
    const QStringList size = {"--columns", "10", "--chars", "#. "};
    const QByteArray text = convert(QStringList{pic} + size).out;
    const auto to = [&](const QString& target) { return convert(QStringList{pic, "-o", target} + size); };
    struct stat st {};
    // A symbolic link: its target is written, the link stays.
    writeFile("real.txt", "old");
    ASSERT_TRUE(QFile::link(path("real.txt"), path("link.txt")));
    EXPECT_EQ(to(path("link.txt")).status, 0);
    EXPECT_EQ(QFileInfo(path("link.txt")).symLinkTarget(), path("real.txt"));
    EXPECT_EQ(readFile("real.txt"), text);
    // In a sticky folder everybody may write, a link planted by another user is not followed, whatever the
    // kernel's own setting; the user's own is. A file of the kernel's takes no text.
    QDir(folder()).mkpath("shared");
    ::chmod(QFile::encodeName(path("shared")).constData(), 01777);
    writeFile("victim.txt", "precious");
    ASSERT_TRUE(QFile::link(path("victim.txt"), path("shared/planted")));
    ASSERT_TRUE(QFile::link(path("victim.txt"), path("shared/mine")));
    if (geteuid() == 0 &&
        ::lchown(QFile::encodeName(path("shared/planted")).constData(), 65534, 65534) == 0) {
        EXPECT_EQ(
            to(path("shared/planted")).err,
            ("tessarine-convert: " + pic + ": cannot write " + path("shared/planted") +
             ": a symbolic link of another user's in a shared folder, which is not followed (as the system "
             "does not follow it for a shell)\n")
                .toUtf8());
        EXPECT_EQ(readFile("victim.txt"), "precious");
    }
    EXPECT_EQ(to(path("shared/mine")).status, 0);
    EXPECT_EQ(readFile("victim.txt"), text);
    EXPECT_TRUE(to("/proc/self/status")
                    .err.endsWith(": a file of the kernel's (/proc, /sys), which takes no text\n"));
    // A private file keeps its mode; a file of two names stays one file.
    writeFile("private.txt", "old");
    ::chmod(QFile::encodeName(path("private.txt")).constData(), 0600);
    EXPECT_EQ(to(path("private.txt")).status, 0);
    ASSERT_EQ(::stat(QFile::encodeName(path("private.txt")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    writeFile("one.txt", QByteArray(200000, 'o')); // longer than the text: cut to its length
    ASSERT_EQ(::link(QFile::encodeName(path("one.txt")).constData(),
                     QFile::encodeName(path("two.txt")).constData()),
              0);
    EXPECT_EQ(to(path("one.txt")).status, 0);
    EXPECT_EQ(readFile("two.txt"), text);
    // A pipe is written into as it is, a device stays a device.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    QProcess reader; // cat, not the converter
    reader.start("cat", {path("pipe")});
    ASSERT_TRUE(reader.waitForStarted());
    EXPECT_EQ(to(path("pipe")).status, 0);
    ASSERT_TRUE(reader.waitForFinished(60000));
    EXPECT_EQ(reader.readAllStandardOutput(), text);
    ASSERT_EQ(::stat(QFile::encodeName(path("pipe")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    if (::mknod(QFile::encodeName(path("null")).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
        EXPECT_EQ(to(path("null")).status, 0);
        ASSERT_EQ(::stat(QFile::encodeName(path("null")).constData(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device node was replaced";
    }
    // A name of standard output itself, as jp2a users write /dev/stdout, is standard output.
    const ConverterRun named = to("/proc/self/fd/1");
    EXPECT_EQ(named.status, 0) << named.err.toStdString();
    EXPECT_EQ(named.out, text);
    // A long name that the file system takes, and the picture itself, which is not written over.
    const QString longName = path(QString(250, 'n'));
    EXPECT_EQ(to(longName).status, 0);
    EXPECT_EQ(QFile(longName).size(), text.size());
    const QByteArray picture = readFile("p.jpg");
    const ConverterRun self = to(pic);
    EXPECT_EQ(self.status, 2);
    EXPECT_EQ(
        self.err,
        ("tessarine-convert: -o " + pic + " is the picture " + pic + "; it is not written over\n").toUtf8());
    EXPECT_EQ(readFile("p.jpg"), picture);
    EXPECT_EQ(temporaries(folder()), QStringList()) << "no temporary file is left";
    // A new file gets the mode the user's umask leaves; a file of another user's that root rewrites stays
    // theirs.
    for (const auto& [mask, mode] : {std::pair<QString, unsigned>{"077", 0600u}, {"022", 0644u}}) {
        EXPECT_EQ(convertAfter("umask " + mask, QStringList{pic, "-o", path("new" + mask)} + size).status, 0);
        ASSERT_EQ(::stat(QFile::encodeName(path("new" + mask)).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << mask.toStdString();
    }
    if (geteuid() == 0) {
        writeFile("theirs.txt", "old");
        ASSERT_EQ(::chown(QFile::encodeName(path("theirs.txt")).constData(), 65534, 65534), 0);
        EXPECT_EQ(to(path("theirs.txt")).status, 0);
        ASSERT_EQ(::stat(QFile::encodeName(path("theirs.txt")).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    // A relative link to a file not made yet: the file appears beside the link, where the link points.
    QDir(folder()).mkpath("sub");
    ASSERT_TRUE(QFile::link("made.txt", path("sub/ahead.txt")));
    EXPECT_EQ(to(path("sub/ahead.txt")).status, 0);
    EXPECT_EQ(readFile("sub/made.txt"), text);
    // A name ending in "/" is a folder, made for one picture as for several.
    EXPECT_EQ(to(path("texts/")).status, 0);
    EXPECT_EQ(readFile("texts/p.txt"), text);
    // A batch into a folder holding a link to another picture of the same run: that picture is not
    // written over.
    const QString other = testpic::save(scene(30, 30), path("q.jpg"));
    const QByteArray otherBytes = readFile("q.jpg");
    QDir(folder()).mkpath("batch");
    ASSERT_TRUE(QFile::link(other, path("batch/p.txt")));
    const ConverterRun batch = convert(QStringList{pic, other, "-o", path("batch")} + size);
    EXPECT_EQ(batch.status, 2);
    EXPECT_TRUE(batch.err.contains("it is not written over")) << batch.err.toStdString();
    EXPECT_EQ(readFile("q.jpg"), otherBytes);
}

TEST_F(Converter, FailedWritesAndEndlessInputAreReported) {
    const QString pic = testpic::save(scene(40, 30), path("p.jpg"));
    // Standard output to a full device: the reason on standard error and a failing status, whatever was
    // written there.
    for (const QStringList& args : {QStringList{pic}, QStringList{"--order"}, QStringList{"--help"}}) {
        QProcess p;
        p.setProcessEnvironment(converterEnvironment());
        p.setStandardOutputFile("/dev/full");
        p.start(QStringLiteral(TESSARINE_CONVERT), args);
        ASSERT_TRUE(p.waitForFinished(60000));
        const ConverterRun r = noticeApart({p.exitCode(), {}, p.readAllStandardError(), {}});
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.endsWith("tessarine-convert: standard output: No space left on device\n"))
            << args.join(' ').toStdString() << r.err.toStdString();
    }
    // A write over the file size limit fails and is reported like a full disk, the old content of a file of
    // one name or of several kept whole (also where it is longer than the limit already), and nothing left
    // behind.
    const QByteArray old = QByteArray("old\n").repeated(1500) + "end";
    writeFile("one.txt", old);
    writeFile("keep.txt", old);
    ASSERT_EQ(::link(QFile::encodeName(path("keep.txt")).constData(),
                     QFile::encodeName(path("keep.link")).constData()),
              0);
    for (const QString& target : {path("one.txt"), path("keep.link")}) {
        // (a text longer than the limit, shorter than the old file: no room needs making)
        const ConverterRun r = convertAfter("ulimit -f 1", {pic, "--columns", "60", "-o", target});
        EXPECT_EQ(r.status, 2) << target.toStdString();
        EXPECT_EQ(r.err,
                  ("tessarine-convert: " + pic + ": cannot write " + target + ": File too large\n").toUtf8());
    }
    EXPECT_EQ(readFile("one.txt"), old);
    EXPECT_EQ(readFile("keep.txt"), old);
    EXPECT_EQ(readFile("keep.link"), old);
    EXPECT_EQ(temporaries(folder()), QStringList());
    // Factors that leave no whole block are no text: a failure that names the picture, its size and the
    // factors, and no file.
    const ConverterRun none = convert({pic, "--scale", "70x8", "-o", path("none.txt")});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, ("tessarine-convert: " + pic +
                         ": nothing to write: at 70 x 8 picture pixels a character, "
                         "this 40 x 30 picture leaves no whole block\n")
                            .toUtf8());
    EXPECT_FALSE(QFile::exists(path("none.txt")));
    const QString large = testpic::save(scene(400, 300), path("large.jpg"));
    EXPECT_EQ(convert({pic, large, "--scale", "70x8", "-o", path("nones")}).status, 1);
    EXPECT_EQ(QDir(path("nones")).entryList(QDir::Files), QStringList{"large.txt"});
    // Standard input that holds no picture is refused at its first bytes, however much more would come.
    QProcess endless;
    endless.setProcessEnvironment(converterEnvironment());
    endless.setStandardInputFile("/dev/zero");
    endless.start(QStringLiteral(TESSARINE_CONVERT), {"-"});
    ASSERT_TRUE(endless.waitForFinished(60000));
    EXPECT_EQ(endless.exitCode(), 2);
    EXPECT_EQ(endless.readAllStandardError(),
              "tessarine-convert: -: Invalid picture (standard input holds no picture)\n");
    // A JPEG that goes on without end is refused once it is longer than its announced 40 x 30 pixels can
    // be, long before the memory budget.
    QProcess endlessJpeg;
    endlessJpeg.setProcessEnvironment(converterEnvironment());
    endlessJpeg.start("bash",
                      {"-c", "cat \"$0\" /dev/zero | \"$1\" -", pic, QStringLiteral(TESSARINE_CONVERT)});
    ASSERT_TRUE(endlessJpeg.waitForFinished(60000));
    EXPECT_EQ(endlessJpeg.exitCode(), 2);
    EXPECT_EQ(noticeApart({2, {}, endlessJpeg.readAllStandardError(), {}}).err,
              "tessarine-convert: -: Invalid picture (standard input goes on past 64 MB, more than its "
              "picture can take)\n");
}

// Whether a process is stopped (its state in /proc), waited for as long as it takes to stop.
bool stopped(pid_t pid) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        if (line.mid(line.lastIndexOf(')') + 2, 1) == "T")
            return true;
        QThread::yieldCurrentThread();
    }
    return false;
}

// Starts a large conversion and, as soon as the file system reports `event` on a name starting with
// `prefix` in `folder`, stops it where it is; while `caught` then holds (the write is still under way), it is
// sent `signal` and continued, and how it ended is returned. -1 when it was never caught in the middle.
int signalledAt(const QString& folder, uint32_t event, const QString& prefix,
                const std::function<bool()>& caught, int signal, const QStringList& args) {
    const int watch = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(watch, QFile::encodeName(folder).constData(), event);
    QProcess p;
    p.setProcessEnvironment(converterEnvironment());
    p.start(QStringLiteral(TESSARINE_CONVERT), args);
    p.waitForStarted();
    const pid_t pid = pid_t(p.processId());
    bool sent = false, seen = false;
    alignas(inotify_event) char events[4096];
    pollfd fd{watch, POLLIN, 0};
    while (!seen && p.state() == QProcess::Running && poll(&fd, 1, 20) >= 0) {
        const ssize_t got = fd.revents & POLLIN ? read(watch, events, sizeof events) : 0;
        for (ssize_t at = 0; at < got && !seen;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            seen = e->len > 0 && QString::fromUtf8(e->name).startsWith(prefix) && ::kill(pid, SIGSTOP) == 0;
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
        p.waitForFinished(0);
    }
    ::close(watch);
    if (seen && stopped(pid)) {
        sent = caught() && ::kill(pid, signal) == 0;
        ::kill(pid, SIGCONT);
    }
    p.waitForFinished(60000);
    if (!sent || p.exitStatus() == QProcess::NormalExit)
        return -1;
    return p.exitCode(); // the signal that ended it
}

TEST_F(Converter, SignalsEndAWriteWithoutLeavingHalfAFile) {
    const QString pic = testpic::save(scene(40, 30), path("p.jpg"));
    const QStringList big = {pic,         "--columns", "10000",   "--rows", "5000",
                             "--mapping", "position",  "--chars", "#. "};
    const qint64 whole = qint64(5000) * 10001;
    QDir(folder()).mkpath("out");
    // While its temporary file is being written: removed, the target never made, the signal's status; also
    // when the terminal closes (SIGHUP).
    for (int signal : {SIGTERM, SIGHUP}) {
        int ended = -1;
        const auto writing = [&] {
            return !temporaries(path("out")).isEmpty() && !QFile::exists(path("out/big.txt"));
        };
        for (int attempt = 0; attempt < 5 && ended == -1; ++attempt) {
            QFile::remove(path("out/big.txt"));
            ended = signalledAt(path("out"), IN_CREATE, ".tessarine-", writing, signal,
                                big + QStringList{"-o", path("out/big.txt")});
        }
        EXPECT_EQ(ended, signal);
        EXPECT_EQ(temporaries(path("out")), QStringList()) << signal;
        // (a write the signal came too late for has moved its whole file into place)
        EXPECT_TRUE(!QFile::exists(path("out/big.txt")) || QFileInfo(path("out/big.txt")).size() == whole)
            << signal;
    }
    // While a file of two names is rewritten in place: the write finishes first, whole.
    writeFile("out/linked.txt", "old");
    ASSERT_EQ(::link(QFile::encodeName(path("out/linked.txt")).constData(),
                     QFile::encodeName(path("out/second.txt")).constData()),
              0);
    const int ended = signalledAt(
        path("out"), IN_MODIFY, "linked.txt", [] { return true; }, SIGTERM,
        big + QStringList{"-o", path("out/linked.txt")});
    EXPECT_TRUE(ended == SIGTERM || ended == -1) << ended;
    EXPECT_EQ(QFileInfo(path("out/second.txt")).size(), whole);
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

TEST_F(Converter, PictureFromStandardInputIsThePictureFromItsFile) {
    for (const char* ext : {"jpg", "bmp", "gif"}) {
        const QString pic = testpic::save(scene(90, 60), path(QString("in.") + ext));
        const ConverterRun fromFile = convert({pic, "--scale", "3x5", "--chars", "#+. "});
        const ConverterRun fromInput = convert({"-", "--scale", "3x5", "--chars", "#+. "}, pic);
        ASSERT_EQ(fromInput.status, 0) << ext << fromInput.err.toStdString();
        EXPECT_EQ(fromInput.out, fromFile.out) << ext;
        EXPECT_EQ(fromInput.out.count('\n'), 8) << ext;
    }
    const QString pic = path("in.jpg");
    const ConverterRun named = convert({"-", pic, "-o", path("both")}, pic);
    EXPECT_EQ(named.status, 0) << named.err.toStdString();
    EXPECT_TRUE(QFile::exists(path("both/stdin.txt")));
    EXPECT_TRUE(QFile::exists(path("both/in.txt")));
    writeFile("junk", "not a picture");
    const ConverterRun junk = convert({"-"}, path("junk"));
    EXPECT_EQ(junk.status, 2);
    EXPECT_TRUE(junk.err.startsWith("tessarine-convert: -: Invalid picture")) << junk.err.toStdString();
    EXPECT_EQ(convert({"-", "-", "-o", path("twice")}, pic).status, 2);
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

QString hostile(const char* name) {
    return QStringLiteral(TESSARINE_HOSTILE_DIR "/") + name;
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

// The entries of the order cache a test's converters wrote.
QStringList cacheEntries(const QString& cache) {
    return QDir(cache + "/tessarine/orders").entryList(QDir::Files);
}

TEST_F(Converter, RememberedOrderGivesTheSameTextWithoutQt) {
    const QString jpg = testpic::save(scene(120, 90), path("p.jpg"));
    const QStringList args = {jpg, "--scale", "3x5", "--chars", "@%#*+=-:. ", "--font", "DejaVu Sans Mono"};
    const ConverterRun cold = convert(args);
    ASSERT_EQ(cold.status, 0) << cold.err.toStdString();
    EXPECT_EQ(cacheEntries(path("cache")).size(), 1);
    // The same conversion from a settings file, whose table is a file of its own.
    writeFile("table.txt", "@%#*+=-:. ");
    writeFile("Tessarine.ini", "asciiTableFile=" + path("table.txt").toUtf8() +
                                   "\r\nxScale=3\r\nyScale=5\r\nFont=DejaVu Sans Mono\r\nFontSize=8\r\n");
    // Warm, a JPEG needs no Qt once the order is known: the loader names every library it loads.
    qputenv("LD_DEBUG", "files");
    const ConverterRun warm = convert(args);
    const ConverterRun fromSettings = convert({jpg, "--settings", path("Tessarine.ini")});
    const ConverterRun order =
        convert({"--order", "--chars", "@%#*+=-:. ", "--font", "DejaVu Sans Mono", "--size", "8"});
    const ConverterRun withQt = convert(QStringList(args) << "--no-cache");
    qunsetenv("LD_DEBUG");
    EXPECT_EQ(warm.status, 0);
    EXPECT_EQ(warm.out, cold.out);
    EXPECT_FALSE(warm.err.contains("libQt6")) << "no Qt library was loaded";
    EXPECT_FALSE(warm.err.contains("tessarine-convert-qt.so"));
    EXPECT_EQ(fromSettings.out, cold.out);
    EXPECT_FALSE(fromSettings.err.contains("libQt6")) << "settings are read without Qt";
    EXPECT_FALSE(order.err.contains("libQt6"));
    EXPECT_TRUE(withQt.err.contains("libQt6Gui")) << "the loader does report Qt when it loads it";
    EXPECT_EQ(withQt.out, cold.out);
    EXPECT_EQ(order.status, 0);
    EXPECT_EQ(order.out, convert({"--order", "--chars", "@%#*+=-:. ", "--font", "DejaVu Sans Mono", "--size",
                                  "8", "--no-cache"})
                             .out);
    // The same picture through Qt's reader (a BMP) and through the converter and the cache agree too.
    const QString bmp = testpic::save(scene(120, 90), path("p.bmp"));
    const ConverterRun viaQt =
        convert({bmp, "--scale", "3x5", "--chars", "@%#*+=-:. ", "--font", "DejaVu Sans Mono"});
    const ConverterRun fresh =
        convert({bmp, "--scale", "3x5", "--chars", "@%#*+=-:. ", "--font", "DejaVu Sans Mono", "--no-cache"});
    EXPECT_EQ(viaQt.status, 0) << viaQt.err.toStdString();
    EXPECT_EQ(viaQt.out, fresh.out);
}

// The key the converter computes for an entry: in its environment, which lacks the Qt platform when the
// suite runs as users run it.
std::string keyAsTheConverterSees(const cli::OrderCache& cache, const std::u32string& table,
                                  const std::string& font, double size) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!converterEnvironment().contains("QT_QPA_PLATFORM"))
        qunsetenv("QT_QPA_PLATFORM");
    const std::string key = cache.key(table, font, size);
    qputenv("QT_QPA_PLATFORM", platform);
    return key;
}

TEST_F(Converter, CacheIsUsedOnlyForWhatItWasMeasuredFor) {
    const QByteArray suiteFonts = qgetenv("FONTCONFIG_FILE");
    const QString module = QStringLiteral(TESSARINE_QT_MODULE_FILE);
    qputenv("TESSARINE_QT_MODULE", QFile::encodeName(module));
    // A font configuration of the test's own: the system's, and a folder of extra fonts.
    QDir(folder()).mkpath("fonts");
    writeFile("fonts.conf",
              "<?xml version=\"1.0\"?>\n<fontconfig>\n  <include>/etc/fonts/fonts.conf</include>\n"
              "  <dir>" +
                  path("fonts").toUtf8() + "</dir>\n</fontconfig>\n");
    qputenv("FONTCONFIG_FILE", QFile::encodeName(path("fonts.conf")));
    const std::u32string table = U"@. ";
    const std::string font = "DejaVu Sans Mono";
    // A poisoned entry, whole and valid but with the order reversed: black takes the space.
    const cli::OrderCache cache(QFile::encodeName(path("cache/tessarine")).toStdString(),
                                {module.toStdString()});
    cli::Measurement poisoned;
    poisoned.chars = {U' ', U'.', U'@'};
    poisoned.levels = {9, 5, 0};
    poisoned.printable = {false, true, true};
    poisoned.patterns.assign(3, glyphs::Pattern{1, 1, {0}});
    ASSERT_TRUE(cache.store(keyAsTheConverterSees(cache, table, font, 8), poisoned));
    const QString black = testpic::save(testpic::filled(12, 6, qRgb(0, 0, 0)), path("black.bmp"));
    const QStringList args = {black, "--chars", "@. ", "--font", "DejaVu Sans Mono", "--scale", "1x1"};
    EXPECT_EQ(convert(args).out, QByteArray("            \n").repeated(6)) << "the entry is used";
    EXPECT_EQ(convert(QStringList(args) << "--no-cache").out, QByteArray("@@@@@@@@@@@@\n").repeated(6));
    EXPECT_EQ(convert(QStringList(args) << "--size"
                                        << "9")
                  .out,
              QByteArray("@@@@@@@@@@@@\n").repeated(6));
    EXPECT_EQ(convert({black, "--chars", ". @", "--font", "DejaVu Sans Mono", "--scale", "1x1"}).out,
              QByteArray("@@@@@@@@@@@@\n").repeated(6));
    EXPECT_EQ(convert({black, "--chars", "@. ", "--font", "Liberation Mono", "--scale", "1x1"}).out,
              QByteArray("@@@@@@@@@@@@\n").repeated(6));
    // A font added to a folder the configuration names: the entry no longer applies.
    QFile::copy("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", path("fonts/Extra.ttf"));
    EXPECT_EQ(convert(args).out, QByteArray("@@@@@@@@@@@@\n").repeated(6)) << "measured afresh";
    // Poisoned again for the new fonts, then another configuration file: not used either.
    ASSERT_TRUE(cache.store(keyAsTheConverterSees(cache, table, font, 8), poisoned));
    EXPECT_EQ(convert(args).out, QByteArray("            \n").repeated(6));
    writeFile("other.conf",
              "<?xml version=\"1.0\"?>\n<fontconfig><include>/etc/fonts/fonts.conf</include></fontconfig>\n");
    qputenv("FONTCONFIG_FILE", QFile::encodeName(path("other.conf")));
    EXPECT_EQ(convert(args).out, QByteArray("@@@@@@@@@@@@\n").repeated(6));
    // A damaged entry is measured afresh and written whole again.
    const std::string key = keyAsTheConverterSees(cache, table, font, 8);
    writeFile(QString::fromStdString(cache.entryPath(key)).mid(folder().size() + 1), "damaged");
    EXPECT_EQ(convert(args).out, QByteArray("@@@@@@@@@@@@\n").repeated(6));
    const auto rewritten = cache.load(key, table, 8);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(rewritten->chars.front(), U'@');
    qputenv("FONTCONFIG_FILE", suiteFonts);
    qunsetenv("TESSARINE_QT_MODULE");
}

TEST_F(Converter, ConvertersMeasuringAtOnceLeaveOneWholeEntry) {
    const QString pic = testpic::save(scene(60, 40), path("p.jpg"));
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 4; ++i) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setProcessEnvironment(converterEnvironment());
        runs.back()->start(QStringLiteral(TESSARINE_CONVERT),
                           {pic, "--chars", "@%#*+=-:. ", "--scale", "2x3"});
    }
    QByteArray first;
    for (auto& r : runs) {
        ASSERT_TRUE(r->waitForFinished(120000));
        EXPECT_EQ(r->exitCode(), 0) << r->readAllStandardError().toStdString();
        const QByteArray out = r->readAllStandardOutput();
        if (first.isEmpty())
            first = out;
        EXPECT_EQ(out, first);
    }
    EXPECT_EQ(cacheEntries(path("cache")).size(), 1) << qPrintable(cacheEntries(path("cache")).join(' '));
    EXPECT_EQ(convert({pic, "--chars", "@%#*+=-:. ", "--scale", "2x3"}).out, first);
}

TEST_F(Converter, ErrorsAreTheSameWithOrWithoutTheCache) {
    const QString pic = testpic::save(scene(30, 20), path("p.jpg"));
    for (int round = 0; round < 2; ++round) { // cold, then warm
        const ConverterRun big = convert({pic, "--chars", QString(300, 'x')});
        EXPECT_EQ(big.status, 2);
        EXPECT_EQ(big.err,
                  "tessarine-convert: the character table has 300 characters; a table holds at most 256\n");
        QString full;
        for (char16_t c = 0x100; c < 0x200; ++c)
            full += QChar(c);
        EXPECT_EQ(convert({pic, "--chars", full}).status, 0) << "256 characters fill the table";
        EXPECT_EQ(convert({pic, "--chars", full + "x"}).status, 2);
        const ConverterRun size = convert({pic, "--size", "0"});
        EXPECT_EQ(size.status, 2);
        EXPECT_EQ(size.err, "tessarine-convert: the font size must be at least 1 point\n");
        // A font no installed font matches is replaced as the desktop program's would be: no error.
        EXPECT_EQ(convert({pic, "--font", "No Such Font At All", "--chars", "#. "}).status, 0);
    }
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

// The converter's output with every escape sequence taken out.
// The text without the reset that ends each coloured line.
QByteArray withoutResets(QByteArray out) {
    return out.replace("\x1b[0m", "");
}

QByteArray withoutSequences(QByteArray out) {
    static const QRegularExpression sequence("\x1b\\[[0-9;]*m");
    return QString::fromUtf8(out).remove(sequence).toUtf8();
}

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

// How the test's terminal behaves towards a converter run in it.
struct TerminalScript {
    QByteArray answer;      // sent once the background query shows on the screen; empty: no answer at all
    int answerAfterMs = 0;  // how long the terminal takes to answer
    QByteArray typed;       // keys typed before the converter starts (a line, as a shell would read it)
    QByteArray keysAtQuery; // keys pressed as soon as the query shows (Ctrl-Z, Ctrl-\)
    QString colorFgBg;
    // Run through a shell with job control, as a user's is, which reports how the converter ended
    // ("status=N"), and the terminal's modes at that moment ("modes=echo icanon"); a stopped converter is
    // then continued.
    bool throughShell = false;
    // Once it holds for the screen, the converter is sent SIGINT, as Ctrl-C would.
    std::function<bool(const QByteArray&)> interruptWhen;
};

// What the converter wrote to its terminal and left behind in its input.
struct TerminalRun {
    QByteArray screen; // all it wrote, and the terminal's echo
    QByteArray left;   // what remains for the shell to read
};

TerminalRun inTerminal(const QStringList& args, const TerminalScript& script = {}) {
    int master = -1, slave = -1;
    winsize size{};
    size.ws_col = 40;
    size.ws_row = 20;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        return {"no pseudo-terminal", {}};
    QProcess p;
    QProcessEnvironment environment = converterEnvironment();
    if (!script.colorFgBg.isEmpty())
        environment.insert("COLORFGBG", script.colorFgBg);
    p.setProcessEnvironment(environment);
    // The terminal is the converter's own, as a shell's is: its controlling terminal, input, output and
    // errors.
    p.setChildProcessModifier([slave] {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
    });
    if (!script.typed.isEmpty() && write(master, script.typed.constData(), size_t(script.typed.size())) < 0)
        return {"cannot type", {}};
    if (script.throughShell)
        p.start("bash", QStringList{"-c",
                                    "set -m; ulimit -c 0; \"$0\" \"$@\"; s=$?; echo; echo \"status=$s\"; "
                                    "echo \"modes=$(stty -a | tr ' ' '\\n' | grep -xE -- '-?(echo|icanon)' | "
                                    "tr '\\n' ' ')\"; [ $s -ne 148 ] || fg >/dev/null",
                                    QStringLiteral(TESSARINE_CONVERT)} +
                            args);
    else
        p.start(QStringLiteral(TESSARINE_CONVERT), args);
    fcntl(master, F_SETFL, O_NONBLOCK);
    QByteArray screen;
    std::function<bool(const QByteArray&)> interruptWhen = script.interruptWhen;
    QElapsedTimer sinceQuery, sinceStart;
    sinceStart.start();
    bool answered = script.answer.isEmpty(), pressed = script.keysAtQuery.isEmpty();
    while (true) {
        const bool running = !p.waitForFinished(answered ? 20 : 2);
        char chunk[4096];
        ssize_t got;
        while ((got = read(master, chunk, sizeof chunk)) > 0)
            screen.append(chunk, got);
        if (!sinceQuery.isValid() && screen.contains("\x1b]11;?"))
            sinceQuery.start();
        if (!answered && sinceQuery.isValid() && sinceQuery.elapsed() >= script.answerAfterMs)
            answered = write(master, script.answer.constData(), size_t(script.answer.size())) >= 0;
        if (!pressed && sinceQuery.isValid())
            pressed = write(master, script.keysAtQuery.constData(), size_t(script.keysAtQuery.size())) >= 0;
        if (running && interruptWhen && interruptWhen(screen)) {
            kill(pid_t(p.processId()), SIGINT);
            interruptWhen = {};
        }
        if (!running)
            break;
        if (sinceStart.elapsed() > 60000) { // a converter that never ends fails the test, not the suite
            p.kill();
            p.waitForFinished();
            screen += "\n(still running after a minute)";
        }
    }
    // What the shell would read next: the terminal's line as the converter left it.
    QByteArray left;
    fcntl(slave, F_SETFL, O_NONBLOCK);
    char chunk[4096];
    ssize_t got;
    while ((got = read(slave, chunk, sizeof chunk)) > 0)
        left.append(chunk, got);
    ::close(slave);
    ::close(master);
    return {screen, left};
}

// The background query and the device-attributes request that follows it, as the converter sends them.
constexpr const char kQuery[] = "\x1b]11;?\x1b\\\x1b[c";
constexpr const char kDeviceAttributes[] = "\x1b[?62;22c";

// The converter's text on a terminal's screen: what follows its query, or all of it.
QByteArray textOn(const TerminalRun& r) {
    const qsizetype query = r.screen.lastIndexOf(kQuery);
    return query < 0 ? r.screen : r.screen.mid(query + qsizetype(sizeof kQuery - 1));
}

TEST_F(Converter, TextTakesTheTerminalsPolarity) {
    // A white picture: blank on a light background, all ink on a dark one.
    QImage white(60, 40, QImage::Format_RGB32);
    white.fill(qRgb(255, 255, 255));
    const QStringList args = {testpic::save(white, path("white.bmp")), "--columns", "8"};
    const auto blank = [](const TerminalRun& r) {
        const QByteArray text = textOn(r);
        return !text.isEmpty() && text.trimmed().isEmpty();
    };
    const QByteArray light = "\x1b]11;rgb:ffff/fdfd/f6f6\x07" + QByteArray(kDeviceAttributes);
    struct Case {
        const char* name;
        TerminalScript terminal;
        bool lightText;
    };
    const Case cases[] = {
        {"a dark answer, ended by ST",
         {"\x1b]11;rgb:1e1e/1e1e/2e2e\x1b\\" + QByteArray(kDeviceAttributes)},
         false},
        {"a light answer at once", {light}, true},
        {"a light answer after 150 ms", {light, 150}, true},
        {"a light answer after 400 ms", {light, 400}, true},
        {"a terminal that knows no OSC 11 (most are dark)", {kDeviceAttributes}, false},
        {"a terminal that answers nothing", {}, false},
        {"a silent terminal, $COLORFGBG light", {.colorFgBg = "0;15"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TerminalRun r = inTerminal(args, c.terminal);
        ASSERT_TRUE(r.screen.contains(kQuery)) << r.screen.toStdString();
        EXPECT_EQ(blank(r), c.lightText) << r.screen.toStdString();
        EXPECT_EQ(r.left, "") << "the answers are read, not left for the shell";
        EXPECT_FALSE(r.screen.contains("rgb:") || r.screen.contains("62;22c")) << "nor echoed on the screen";
    }
    // Given, the background is not asked for; --invert flips whatever is in force.
    const TerminalRun given = inTerminal(QStringList(args) << "--background"
                                                           << "light");
    EXPECT_FALSE(given.screen.contains(kQuery));
    EXPECT_TRUE(blank(given));
    EXPECT_FALSE(blank(inTerminal(QStringList(args) << "--invert", {light})));
    // Nothing is asked where the answer could not change the text: two colours a cell, a page, the
    // desktop program's sizes.
    for (const QStringList& extra :
         {QStringList{"--color"}, QStringList{"--format", "html"}, QStringList{"--scale", "8x8"}})
        EXPECT_FALSE(inTerminal(args + extra, {light}).screen.contains(kQuery))
            << extra.join(' ').toStdString();
    // Into a pipe: light text for a dark terminal, as other converters make it, unless $COLORFGBG says
    // otherwise; a page is light.
    EXPECT_FALSE(convert(args).out.trimmed().isEmpty());
    {
        const ConverterVariable light("COLORFGBG", "0;15");
        EXPECT_TRUE(convert(args).out.trimmed().isEmpty());
    }
    EXPECT_TRUE(convert(args + QStringList{"--scale", "8x8"}).out.trimmed().isEmpty())
        << "the desktop program's";
}

// Asking the terminal takes nothing the user typed and leaves nothing for the shell: keys typed ahead are
// not read at all (nothing is asked then), and Ctrl-Z or Ctrl-\ while the answer is awaited finds the
// terminal's modes as they were.
TEST_F(Converter, TerminalQueryLeavesTypedKeysAndTheTerminalsModes) {
    QImage white(60, 40, QImage::Format_RGB32);
    white.fill(qRgb(255, 255, 255));
    const QStringList args = {testpic::save(white, path("white.bmp")), "--columns", "8"};
    const QByteArray light = "\x1b]11;rgb:ffff/ffff/ffff\x07" + QByteArray(kDeviceAttributes);
    TerminalScript typedAhead;
    typedAhead.answer = light;
    typedAhead.typed = "ls -l\n";
    const TerminalRun typed = inTerminal(args, typedAhead);
    EXPECT_EQ(typed.left, "ls -l\n") << "the typed line waits for the shell";
    EXPECT_FALSE(typed.screen.contains(kQuery));
    EXPECT_FALSE(typed.screen.contains("rgb:"));
    EXPECT_FALSE(textOn(typed).mid(textOn(typed).indexOf("ls -l") + 7).trimmed().isEmpty())
        << "taken for dark";
    for (const auto& [key, status] : {std::pair<QByteArray, const char*>{"\x1a", "status=148"}, // Ctrl-Z
                                      {"\x1c", "status=131"}}) { // Ctrl-backslash
        TerminalScript pressed;
        pressed.keysAtQuery = key;
        pressed.throughShell = true;
        const TerminalRun r = inTerminal(args, pressed);
        EXPECT_TRUE(r.screen.contains(status)) << r.screen.toStdString();
        EXPECT_TRUE(r.screen.contains("modes=icanon echo")) << r.screen.toStdString();
    }
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

// The frames of red, green and blue cells an animation drew, in the order drawn: 0, 1, 2.
QList<int> drawn(const QByteArray& screen) {
    QList<int> order;
    static const QRegularExpression cell("48;2;(255;0;0|0;255;0|0;0;255)m");
    for (const QRegularExpressionMatch& m : cell.globalMatch(QString::fromUtf8(screen))) {
        const int frame = m.captured(1) == "255;0;0" ? 0 : m.captured(1) == "0;255;0" ? 1 : 2;
        if (order.isEmpty() || order.last() != frame)
            order.append(frame);
    }
    return order;
}

// An animated GIF plays in place, frame after frame in their order, until Ctrl-C, which leaves the cursor
// shown and the colours reset.
TEST_F(Converter, AnimationPlaysInTheTerminalUntilInterrupted) {
    const QList<QRgb> colours = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    QList<QImage> frames;
    for (QRgb c : colours)
        frames.append(testpic::filled(40, 20, c));
    const QString gif = testpic::saveAnimation(frames, 2, path("three.gif"));
    const ConverterVariable truecolor("COLORTERM", "truecolor");
    TerminalScript untilFive;
    untilFive.interruptWhen = [&](const QByteArray& screen) { return drawn(screen).size() >= 5; };
    const TerminalRun r =
        inTerminal({gif, "--animate", "--columns", "4", "--color", "--background", "dark"}, untilFive);
    const QList<int> order = drawn(r.screen);
    ASSERT_GE(order.size(), 5) << r.screen.toStdString();
    for (int i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], i % 3) << "frame " << i << " of " << r.screen.toStdString();
    EXPECT_TRUE(r.screen.contains("\x1b[48;2;0;255;0m    ")) << "a flat block is a blank on its colour";
    EXPECT_TRUE(r.screen.contains("\x1b[?25l")) << "the cursor hidden while it plays";
    EXPECT_TRUE(QString::fromUtf8(r.screen).contains(QRegularExpression("\\x1b\\[\\d+A\\r")))
        << "each frame over the one before";
    EXPECT_TRUE(r.screen.endsWith("\x1b[0m\x1b[?25h")) << r.screen.right(40).toStdString();
    EXPECT_TRUE(inTerminal({gif, "--animate", "-f", "png"}).screen.contains("--animate plays text"))
        << "a picture's bytes are no animation";
    // Bounded, it ends by itself: --loops 1 draws each frame once, each over the one before, as many lines
    // up as a frame has; so does a GIF that says nothing of loops.
    const TerminalRun once = inTerminal({gif, "--animate", "--loops", "1", "--columns", "4", "--color"});
    EXPECT_EQ(drawn(once.screen), (QList<int>{0, 1, 2}));
    static const QRegularExpression up("\\x1b\\[(\\d+)A\\r");
    const QRegularExpressionMatch back = up.match(QString::fromUtf8(once.screen));
    ASSERT_TRUE(back.hasMatch()) << once.screen.toStdString();
    const qsizetype start = once.screen.indexOf("\x1b[?25l");
    EXPECT_EQ(back.captured(1).toInt(), once.screen.mid(start, back.capturedStart() - start).count('\n'));
    const QString unlooped = testpic::saveAnimation(frames, 2, path("once.gif"), false);
    EXPECT_EQ(drawn(inTerminal({unlooped, "--animate", "--columns", "4", "--color"}).screen),
              (QList<int>{0, 1, 2}));
}

// An animation that cannot be played ends with the reason a still would give: one whose every round shows
// nothing (its one frame broken, looping for ever), one whose later frame is broken (after the frames before
// it); bounds beyond reason are refused.
TEST_F(Converter, AnimationsThatCannotPlayEndWithTheirReason) {
    QList<QImage> frames;
    for (QRgb c : {qRgb(255, 0, 0), qRgb(0, 0, 255)})
        frames.append(testpic::filled(40, 20, c));
    const QString gif = testpic::saveAnimation(frames, 2, path("two.gif"));
    // A frame whose LZW code size is beyond the format's: the decoder cannot decode it.
    const auto broken = [&](int frame, const QString& name) {
        QByteArray bytes = readFile("two.gif");
        qsizetype control = -1;
        for (int i = 0; i <= frame; ++i)
            control = bytes.indexOf("\x21\xF9\x04", control + 1);
        bytes[control + 8 + 10] = char(255);
        writeFile(name, bytes);
        return path(name);
    };
    const ConverterVariable truecolor("COLORTERM", "truecolor");
    for (const QStringList& args :
         {QStringList{broken(0, "first.gif")}, QStringList{broken(0, "first.gif"), "--loops", "3"},
          QStringList{broken(1, "second.gif")}}) {
        const TerminalRun r = inTerminal(args + QStringList{"--animate", "--columns", "4", "--color"});
        EXPECT_TRUE(r.screen.contains(": Invalid picture\r\n")) << r.screen.toStdString();
        EXPECT_FALSE(r.screen.contains("(still running")) << args.join(' ').toStdString();
        EXPECT_EQ(r.screen.contains("48;2;255;0;0m"), args[0].endsWith("second.gif"))
            << "the frames before it";
    }
    for (const char* duration : {"1e10", "inf", "nan", "9223372036854775807", "0"}) {
        const TerminalRun r = inTerminal({gif, "--animate", "--duration", duration});
        EXPECT_TRUE(r.screen.contains("--duration takes a number of seconds above 0, at most a day"))
            << duration;
    }
    EXPECT_TRUE(
        inTerminal({gif, "--animate", "--loops", "0"}).screen.contains("--loops takes a whole number"));
    EXPECT_TRUE(drawn(inTerminal({gif, "--animate", "--loops", "1", "-o", "-", "--color"}).screen).size() ==
                2)
        << "-o - is the terminal";
}

} // namespace
