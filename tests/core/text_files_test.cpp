#include "core/errors.h"
#include "core/text_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(TextLines, EndAtCrCrLfOrLf) {
    EXPECT_EQ(textfile::splitLines("a\r\nb\rc\nd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(textfile::splitLines("a\r\n"), QStringList({"a"}));
    EXPECT_EQ(textfile::splitLines("a\r\n\r\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(textfile::splitLines("\n"), QStringList({""}));
    EXPECT_TRUE(textfile::splitLines("").isEmpty());
}

TEST(TextEncoding, SingleByteWhenEveryCharacterFits) {
    const QString table = QString::fromUtf8("ab\u20ac\u00e9");
    const QByteArray bytes = textfile::encode(table);
    EXPECT_EQ(bytes, QByteArray("ab\x80\xe9"));
    EXPECT_EQ(textfile::decode(bytes), table);
}

TEST(TextEncoding, Utf8OtherwiseAndReadBackAsIs) {
    const QString blocks = QString::fromUtf8("\u2588\u2593\u2592\u2591 ");
    const QByteArray bytes = textfile::encode(blocks);
    EXPECT_EQ(bytes, blocks.toUtf8());
    EXPECT_EQ(textfile::decode(bytes), blocks);
}

TEST(TextEncoding, InvalidUtf8IsWindows1252) {
    // "é" alone is not valid UTF-8; as a Windows-1252 byte it is e-acute.
    EXPECT_EQ(textfile::decode(QByteArray("caf\xe9")), QString::fromUtf8("caf\u00e9"));
    EXPECT_EQ(textfile::fromWindows1252(0x80), QChar(0x20AC));
    EXPECT_EQ(textfile::fromWindows1252(0x41), QChar('A'));
}

TEST(TextFiles, FirstLineAndErrors) {
    QTemporaryDir dir;
    const QString p = dir.filePath("t.txt");
    textfile::writeText(p, "abc\rdef");
    EXPECT_EQ(textfile::readFirstLine(p), "abc");
    auto numberOf = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const err::Error& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf([&] { textfile::readFirstLine(dir.filePath("missing.txt")); }), err::FileNotFound);
    EXPECT_EQ(numberOf([&] { textfile::readFirstLine(dir.filePath("no/such.txt")); }), err::PathNotFound);
    EXPECT_EQ(numberOf([&] { textfile::readFirstLine(dir.path()); }), err::PathFileAccess);
    EXPECT_EQ(numberOf([&] { textfile::writeText(dir.filePath("no/such.txt"), "x"); }), err::PathNotFound);
}

TEST(TextFiles, FailedWriteKeepsTheEarlierFile) {
    QTemporaryDir dir;
    const QString p = dir.filePath("keep.txt");
    textfile::writeText(p, "first");
    // A folder in the place of the temporary file's target makes the commit fail.
    const QString blocked = dir.filePath("blocked");
    QDir().mkpath(blocked + "/inner");
    EXPECT_THROW(textfile::writeText(blocked, "second"), err::Error);
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "first");
}

} // namespace
