// tessarine-convert: the desktop program's conversion from the command line, for scripts and batches.
#include "engine/conversion.h"
#include "engine/glyph_measure.h"
#include "engine/text_mapping.h"
#include "platform/errors.h"
#include "platform/jpeg_decoder.h"
#include "platform/numbers.h"
#include "platform/picture_loader.h"
#include "platform/text_files.h"
#include "state/app_info.h"
#include "state/settings_file.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageReader>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kUsage = 2;
constexpr double kMaxSize = 99;
constexpr int kMaxTable = 256;

struct UsageError {
    QString message;
};

void printError(const QString& file, const QString& reason) {
    std::fprintf(stderr, "tessarine-convert: %s%s\n", file.isEmpty() ? "" : qPrintable(file + ": "),
                 qPrintable(reason));
}

struct Settings {
    QString table;
    QString font = QStringLiteral("Courier New");
    double size = 8;
    conversion::Factors factors;
    int columns = 0; // 0: factors as given
    QString lineEnd = QStringLiteral("\n");
    bool crlf = false;
};

QString defaultTable() {
    const QString beside = QCoreApplication::applicationDirPath() + "/default-table.txt";
    if (QFileInfo::exists(beside))
        return textfile::readFirstLine(beside);
    return textfile::readFirstLine(QStringLiteral(":/default-table.txt"));
}

// The size as the program's size box holds it: a non-negative number, capped at 99 for a run.
double usableSize(double size) {
    if (!(size >= 1))
        throw UsageError{"the font size must be at least 1 point"};
    return std::min(size, kMaxSize);
}

void applySettingsFile(const QString& path, Settings& s) {
    QByteArray bytes;
    try {
        bytes = textfile::readBytes(path);
    } catch (const PlatformError& e) {
        throw UsageError{path + ": " + e.description()};
    }
    int number = 0;
    for (const QString& line : textfile::splitLines(textfile::decode(bytes))) {
        ++number;
        settings::Line l;
        try {
            l = settings::parseLine(line);
        } catch (const PlatformError&) {
            throw UsageError{QString("%1: line %2 has no \"=\"").arg(path).arg(number)};
        }
        try {
            if (l.key == QLatin1String("asciiTableFile"))
                s.table = textfile::readFirstLine(l.value);
            else if (l.key == QLatin1String("Font"))
                s.font = l.value;
            else if (l.key == QLatin1String("FontSize"))
                s.size = std::fabs(num::val(l.value));
            else if (l.key == QLatin1String("xScale"))
                s.factors.h = num::strictToDouble(l.value);
            else if (l.key == QLatin1String("yScale"))
                s.factors.v = num::strictToDouble(l.value);
        } catch (const PlatformError& e) {
            throw UsageError{QString("%1: %2: %3").arg(path, l.key, e.description())};
        }
    }
    s.factors.scaled = !(s.factors.h == 1 && s.factors.v == 1);
}

// Factors for exactly `columns` characters a line where the blocks can still cover every column (a
// fractional factor sizes the buffer, its rounded value sizes the blocks), else the whole factor that
// comes closest without exceeding it. The vertical factor follows the font's own cell, so the text keeps
// the picture's proportions.
conversion::Factors factorsForColumns(QSize picture, int columns, double cellAspect) {
    const int w = picture.width(), h = picture.height();
    const auto fits = [](int side, double f, int count) {
        const int step = int(num::roundHalfEven(f));
        return step >= 1 && int(std::floor((side + 4) / f)) - 4 == count && qint64(count) * step <= side;
    };
    conversion::Factors f;
    const int wanted = std::min(columns, w);
    f.h = (w + 4) / (wanted + 4.5);
    if (f.h < 1 || !fits(w, f.h, wanted)) {
        int whole = std::max(1, (w + 4) / (wanted + 4));
        while ((w + 4) / whole - 4 > wanted)
            ++whole;
        f.h = whole;
    }
    f.v = std::max(1.0, f.h * cellAspect);
    const int rows = int(std::floor((h + 4) / f.v)) - 4;
    if (!fits(h, f.v, rows))
        f.v = std::max(1.0, num::roundHalfEven(f.v));
    f.scaled = !(f.h == 1 && f.v == 1);
    return f;
}

double cellAspect(const QFont& font) {
    QImage probe = QImage(1, 1, QImage::Format_RGB32);
    const int dpm = qRound(96 / 0.0254);
    probe.setDotsPerMeterX(dpm);
    probe.setDotsPerMeterY(dpm);
    const QFontMetricsF fm(font, &probe);
    const double width = fm.horizontalAdvance(QChar('M'));
    return width > 0 ? fm.height() / width : 2.0;
}

QSize pictureSize(const QString& path) {
    if (jpeg::looksLikeJpeg(path)) {
        const jpeg::Info info = jpeg::readInfo(path);
        return QSize(info.width, info.height);
    }
    QImageReader reader(path);
    const QSize size = reader.size();
    return size.isValid() ? size : loadPictureFile(path).size();
}

QByteArray encodeText(const QString& text, bool crlf) {
    // With CR LF the bytes are those of the desktop program's saved result file.
    return crlf ? textfile::encode(text) : text.toUtf8();
}

QString describe(QChar c) {
    if (c.isPrint() && !c.isSpace())
        return QString(c);
    return QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QChar('0')).toUpper().replace("U+", "U+");
}

class Progress {
  public:
    Progress(int total, bool enabled) : total_(total), enabled_(enabled) { draw(); }
    void step() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        draw();
    }
    ~Progress() {
        if (enabled_)
            std::fprintf(stderr, "\n");
    }

  private:
    void draw() {
        if (!enabled_)
            return;
        const int width = 30, filled = total_ ? done_ * width / total_ : width;
        std::fprintf(stderr, "\r[%s%s] %d/%d", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(width - filled), '.').c_str(), done_, total_);
        std::fflush(stderr);
    }
    int total_, done_ = 0;
    bool enabled_;
    std::mutex mutex_;
};

struct Job {
    QString picture;
    QString output; // empty: standard output
};

bool writeOutput(const Job& job, const QByteArray& bytes) {
    if (job.output.isEmpty()) {
        return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) &&
               std::fflush(stdout) == 0;
    }
    QSaveFile f(job.output);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        printError(job.picture,
                   "cannot write " + QDir::toNativeSeparators(job.output) + ": " + f.errorString());
        return false;
    }
    return true;
}

} // namespace

// Qt's own warnings (a missing runtime folder and the like) are not the converter's to report.
static void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("TESSARINE_DEBUG"))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

int main(int argc, char* argv[]) {
    qInstallMessageHandler(quietMessages);
    QCoreApplication::setApplicationName("tessarine-convert");
    QCoreApplication::setApplicationVersion(app::versionText());
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Turns pictures (BMP, GIF, JPEG) into text art, exactly as the Tessarine desktop program does: "
        "every\n"
        "character stands for one block of the picture, chosen by the ink it leaves in the given font.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption output(
        {"o", "output"}, "Write to FILE (one picture) or into folder DIR as NAME.txt (several pictures).",
        "FILE|DIR");
    const QCommandLineOption table("table", "Character table file; its first line is the table.", "FILE");
    const QCommandLineOption chars("chars", "The character table given directly.", "TEXT");
    const QCommandLineOption font("font", "Font to measure the characters in (default \"Courier New\").",
                                  "NAME");
    const QCommandLineOption size("size", "Font size in points (default 8; sizes above 99 are capped at 99).",
                                  "POINTS");
    const QCommandLineOption scale(
        "scale",
        "Picture pixels per character, horizontally x vertically, whole numbers of at least 1 (default 1x1).",
        "HxV");
    const QCommandLineOption columns(
        "columns",
        "Choose the factors for N characters a line, the vertical one from the font's character cell.", "N");
    const QCommandLineOption settingsFile("settings",
                                          "Take table, font, size and factors from a Tessarine.ini.", "FILE");
    const QCommandLineOption crlf(
        "crlf", "End lines with CR LF, byte for byte the program's saved result file (default LF).");
    const QCommandLineOption order(
        "order", "Print the measured table order, darkest first, with each character's ink count, and exit.");
    parser.addOptions({output, table, chars, font, size, scale, columns, settingsFile, crlf, order});
    parser.addPositionalArgument("PICTURE", "Pictures to convert.", "PICTURE...");
    if (!parser.parse(arguments)) {
        printError(QString(), parser.errorText());
        return kUsage;
    }
    if (parser.isSet("help"))
        parser.showHelp(0);
    if (parser.isSet("version")) {
        std::printf("tessarine-convert %s\n", qPrintable(app::versionText()));
        return 0;
    }

    Settings s;
    std::vector<Job> jobs;
    try {
        if (parser.isSet(table) && parser.isSet(chars))
            throw UsageError{"--table and --chars exclude each other"};
        if (parser.isSet(scale) && parser.isSet(columns))
            throw UsageError{"--scale and --columns exclude each other"};
        s.table = defaultTable();
        if (parser.isSet(settingsFile))
            applySettingsFile(parser.value(settingsFile), s);
        if (parser.isSet(table)) {
            try {
                s.table = textfile::readFirstLine(parser.value(table));
            } catch (const PlatformError& e) {
                throw UsageError{parser.value(table) + ": " + e.description()};
            }
        }
        if (parser.isSet(chars))
            s.table = parser.value(chars);
        if (parser.isSet(font))
            s.font = parser.value(font);
        if (parser.isSet(size)) {
            bool ok = false;
            s.size = parser.value(size).toDouble(&ok);
            if (!ok)
                throw UsageError{"--size takes a number of points"};
        }
        s.size = usableSize(s.size);
        if (parser.isSet(scale)) {
            const auto m = QRegularExpression("^(\\d{1,9})x(\\d{1,9})$").match(parser.value(scale));
            if (!m.hasMatch() || m.captured(1).toInt() < 1 || m.captured(2).toInt() < 1)
                throw UsageError{"--scale takes HxV, two whole numbers of at least 1 (for example 8x16)"};
            s.factors.h = m.captured(1).toInt();
            s.factors.v = m.captured(2).toInt();
            s.factors.scaled = !(s.factors.h == 1 && s.factors.v == 1);
        }
        if (parser.isSet(columns)) {
            bool ok = false;
            s.columns = parser.value(columns).toInt(&ok);
            if (!ok || s.columns < 1)
                throw UsageError{"--columns takes a whole number of at least 1"};
        }
        s.crlf = parser.isSet(crlf);
        s.lineEnd = s.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
        if (s.table.isEmpty())
            throw UsageError{"the character table is empty"};
        if (s.table.size() > kMaxTable)
            throw UsageError{QString("the character table has %1 characters; a table holds at most %2")
                                 .arg(s.table.size())
                                 .arg(kMaxTable)};

        const QStringList pictures = parser.positionalArguments();
        if (!parser.isSet(order)) {
            if (pictures.isEmpty())
                throw UsageError{"no picture given (see --help)"};
            const QString out = parser.value(output);
            const bool intoFolder = !out.isEmpty() && (pictures.size() > 1 || QFileInfo(out).isDir());
            if (pictures.size() > 1 && out.isEmpty())
                throw UsageError{"several pictures need -o DIR"};
            if (intoFolder && !QDir().mkpath(out))
                throw UsageError{"cannot create folder " + out};
            QHash<QString, QString> names;
            for (const QString& p : pictures) {
                Job job{p, QString()};
                if (intoFolder) {
                    const QString name = QFileInfo(p).completeBaseName() + ".txt";
                    job.output = QDir(out).filePath(name);
                    if (names.contains(name)) {
                        printError(p, "output " + name + " is already written for " + names.value(name));
                        job.output = QStringLiteral("\n"); // marks a job that cannot run
                    }
                    names.insert(name, p);
                } else {
                    job.output = out;
                }
                jobs.push_back(job);
            }
        }
    } catch (const UsageError& e) {
        printError(QString(), e.message);
        return kUsage;
    }

    // Pictures start decoding at once; the font machinery starts up and measures the table on this
    // thread meanwhile, and each conversion waits for the table only when its buffer is ready.
    std::promise<glyphs::Measured> measuredPromise;
    std::shared_future<glyphs::Measured> measured = measuredPromise.get_future().share();
    std::promise<double> aspectPromise; // the font's cell, for --columns
    std::shared_future<double> aspect = aspectPromise.get_future().share();
    std::promise<void> guiPromise; // pictures other than JPEG decode through Qt's readers
    std::shared_future<void> guiReady = guiPromise.get_future().share();

    std::atomic<int> next{0}, failed{0};
    Progress progress(int(jobs.size()), jobs.size() > 1 && isatty(STDERR_FILENO));
    auto work = [&] {
        for (int i = next++; i < int(jobs.size()); i = next++) {
            const Job& job = jobs[size_t(i)];
            bool ok = job.output != QLatin1String("\n");
            if (ok) {
                try {
                    if (!jpeg::looksLikeJpeg(job.picture))
                        guiReady.wait();
                    conversion::Factors factors = s.factors;
                    if (s.columns > 0)
                        factors = factorsForColumns(pictureSize(job.picture), s.columns, aspect.get());
                    const QImage buffer = conversion::loadBuffer(job.picture, factors);
                    const QString text = mapping::transform(buffer, measured.get().chars, s.lineEnd);
                    ok = writeOutput(job, encodeText(text, s.crlf));
                } catch (const PlatformError& e) {
                    printError(job.picture, e.description());
                    ok = false;
                } catch (const std::bad_alloc&) {
                    printError(job.picture, errorDescription(err::OutOfMemory));
                    ok = false;
                }
            }
            if (!ok)
                ++failed;
            progress.step();
        }
    };
    const int workers = std::max(1, std::min<int>(QThread::idealThreadCount(), int(jobs.size())));
    std::vector<std::thread> pool;
    if (!parser.isSet(order))
        for (int i = 0; i < workers; ++i)
            pool.emplace_back(work);

    // The converter never needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    guiPromise.set_value();
    if (s.columns > 0)
        aspectPromise.set_value(cellAspect(glyphs::measuringFont(s.font, s.size)));
    else
        aspectPromise.set_value(0);
    measuredPromise.set_value(glyphs::measureTable(s.table, s.font, s.size));

    if (parser.isSet(order)) {
        const auto m = measured.get();
        for (size_t i = 0; i < m.chars.size(); ++i)
            std::printf("%s\t%d\n", qPrintable(describe(m.chars[i])), m.levels[i]);
        return 0;
    }
    for (auto& t : pool)
        t.join();

    // Everything is written; tearing down the font machinery and unloading libraries would only add
    // to a script's wait.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(failed == 0 ? 0 : failed == int(jobs.size()) ? kUsage : 1);
}
