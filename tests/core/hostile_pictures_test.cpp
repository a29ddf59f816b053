#include "core/errors.h"
#include "core/picture_loader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString hostile(const char* name) {
    return QStringLiteral(TESSARINE_HOSTILE_DIR "/") + name;
}

struct Refused {
    const char* name;
    const char* file;
    int number;
    err::Kind kind;
    const char* description;
};

class HostilePicture : public ::testing::TestWithParam<Refused> {};

TEST_P(HostilePicture, IsRefusedWithItsReason) {
    try {
        loadPictureFile(hostile(GetParam().file));
        FAIL() << GetParam().file << " was taken";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.number(), GetParam().number);
        EXPECT_EQ(e.kind(), GetParam().kind);
        EXPECT_EQ(e.description(), GetParam().description);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostilePicture,
    ::testing::Values(Refused{"Os2BitmapCutShort", "os2-cut.bmp", err::InvalidPicture, err::Kind::Truncated,
                              "Invalid picture (the file ends too early)"},
                      Refused{"RunLengthBitmapCutShort", "rle-cut.bmp", err::InvalidPicture,
                              err::Kind::Truncated, "Invalid picture (the file ends too early)"},
                      Refused{"CmykJpegCutShort", "cmyk-cut.jpg", err::InvalidPicture, err::Kind::Truncated,
                              "Invalid picture (the JPEG file ends too early)"},
                      Refused{"JpegCutAndClosed", "cut-closed.jpg", err::InvalidPicture, err::Kind::Truncated,
                              "Invalid picture (the JPEG file ends too early)"},
                      Refused{"ThousandScans", "scan-bomb.jpg", err::InvalidPicture, err::Kind::TooManyScans,
                              "Invalid picture (the JPEG file has more than 300 scans)"},
                      Refused{"TinyFileOfGigabytes", "progressive-huge.jpg", err::OutOfMemory,
                              err::Kind::TooLarge, "Out of memory (the picture is 23170 x 23170 pixels)"},
                      Refused{"TinyCmykFileOfGigabytes", "cmyk-progressive-huge.jpg", err::OutOfMemory,
                              err::Kind::TooLarge, "Out of memory (the picture is 23170 x 23170 pixels)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostilePictures, SixteenBitBitmapsKeepWhiteWhite) {
    // Left half black, right half white, with a green disc and a purple band in the white half.
    for (const char* file : {"rgb565.bmp", "rgb555.bmp"}) {
        const QImage img = loadPictureFile(hostile(file));
        ASSERT_EQ(img.size(), QSize(64, 48)) << file;
        EXPECT_EQ(img.pixel(35, 28), qRgb(255, 255, 255)) << file;
        EXPECT_EQ(img.pixel(5, 5), qRgb(0, 0, 0)) << file;
        const QRgb purple = img.pixel(50, 40); // 128, 64, 192 in 5 (or 6) bits a channel: a step is 8 (or 4)
        EXPECT_NEAR(qRed(purple), 128, 9) << file;
        EXPECT_NEAR(qGreen(purple), 64, 9) << file;
        EXPECT_NEAR(qBlue(purple), 192, 9) << file;
    }
}

TEST(HostilePictures, WholeGifWithALocalColourTableIsRead) {
    // One red pixel, its colours in the image's own table rather than the screen's: the completeness
    // check walks past that table to the picture's data and the trailer.
    const QByteArray gif("GIF89a\x01\x00\x01\x00\x00\x00\x00"       // screen, no global table
                         "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x80" // image, a local table of 2
                         "\xff\x00\x00\x00\x00\xff"                 // red, blue
                         "\x02\x02\x44\x01\x00\x3b",                // LZW: clear, 0, end; trailer
                         35);
    QTemporaryDir dir;
    QFile file(dir.filePath("local.gif"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(gif) == gif.size());
    file.close();
    const QImage img = loadPictureFile(file.fileName());
    ASSERT_EQ(img.size(), QSize(1, 1));
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(HostilePictures, CmykAndYcckJpegsAreRead) {
    const QImage cmyk = loadPictureFile(hostile("cmyk.jpg"));
    EXPECT_EQ(cmyk.size(), QSize(64, 48));
    EXPECT_LT(qGray(cmyk.pixel(5, 5)), 40);
    EXPECT_GT(qGray(cmyk.pixel(35, 28)), 215);
    EXPECT_EQ(loadPictureFile(hostile("ycck.jpg")).size(), QSize(40, 30));
}

} // namespace
