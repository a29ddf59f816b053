#include "core/errors.h"
#include "core/settings_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Records every key a line reaches, in order.
class Recorder : public settings::Target {
  public:
    QStringList seen;
    void asciiTablePath(const QString& v) override { seen << "asciiTablePath=" + v; }
    void asciiTableFile(const QString& v) override { seen << "asciiTableFile=" + v; }
    void picturePath(const QString& v) override { seen << "picturePath=" + v; }
    void pictureFile(const QString& v) override { seen << "pictureFile=" + v; }
    void xScale(const QString& v) override { seen << "xScale=" + v; }
    void yScale(const QString& v) override { seen << "yScale=" + v; }
    void font(const QString& v) override { seen << "Font=" + v; }
    void fontSize(const QString& v) override { seen << "FontSize=" + v; }
    void asciiFile(const QString& v) override { seen << "asciiFile=" + v; }
    void asciiPath(const QString& v) override { seen << "asciiPath=" + v; }
};

TEST(SettingsLine, SplitsAtTheFirstEqualsSign) {
    const auto l = settings::parseLine("asciiFile=C=D");
    EXPECT_EQ(l.key, "asciiFile");
    EXPECT_EQ(l.value, "C=D");
    EXPECT_EQ(settings::parseLine("Font=").value, "");
    EXPECT_EQ(settings::parseLine("Font =x").key, "Font ");
    EXPECT_THROW(settings::parseLine(""), err::Error);
    EXPECT_THROW(settings::parseLine("Font"), err::Error);
}

TEST(SettingsLine, EveryWrittenKeyButTheVersionIsApplied) {
    settings::Values v{"tp/", "tp/t.txt", "pp/", "pp/p.bmp", "4", "7", "Mono", "10.5", "ap/", "ap/r.txt"};
    Recorder r;
    const QStringList lines = settings::fileLines(v);
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0], "version=0.2.17");
    for (const QString& line : lines)
        settings::applyLine(line, r);
    EXPECT_EQ(r.seen, lines.mid(1));
    EXPECT_EQ(settings::appliedKeys().size(), 10);
}

TEST(SettingsLine, KeysAreExactAndCaseSensitive) {
    Recorder r;
    for (const char* line : {"font=x", "Font =x", "FONT=x", " Font=x", "version=9", "Font=kept=too"})
        settings::applyLine(line, r);
    EXPECT_EQ(r.seen, QStringList({"Font=kept=too"}));
}

TEST(SettingsFile, ReadsLinesEndingInCrCrLfOrLf) {
    QTemporaryDir dir;
    QFile f(dir.filePath("s.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Font=A\rFontSize=9\nxScale=2\r\nyScale=3");
    f.close();
    EXPECT_EQ(settings::readLines(f.fileName()),
              QStringList({"Font=A", "FontSize=9", "xScale=2", "yScale=3"}));
    try {
        settings::readLines(dir.filePath("missing.ini"));
        ADD_FAILURE();
    } catch (const err::Error& e) {
        EXPECT_EQ(e.number(), err::FileNotFound);
    }
}

} // namespace
