#include "converter_runs.h"
#include "core/glyph_measure.h"
#include "order_cache/order_cache.h"
#include "qt_bridge/qt_module_loader.h"
#include "support/pictures.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// The order cache as the converter uses it: a remembered order needs no Qt, and is used only for what it was
// measured for.
namespace converter_test {

namespace {

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
    cli::QtModule bridge("tessarine-test");
    const cli::OrderCache cache(QFile::encodeName(path("cache/tessarine")).toStdString(),
                                {module.toStdString()},
                                [&bridge] { return bridge.loaded().fontConfiguration(); });
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

} // namespace

} // namespace converter_test
