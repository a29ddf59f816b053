#include "core/errors.h"
#include "core/picture_surface.h"
#include "support/pictures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

int loadError(PictureSurface& s, const QString& path) {
    try {
        s.loadPicture(path);
    } catch (const err::Error& e) {
        return e.number();
    }
    return 0;
}

TEST(Colours, RedLivesInTheLowByte) {
    EXPECT_EQ(toQRgb(0x0000FF), qRgb(255, 0, 0));
    EXPECT_EQ(fromQRgb(qRgb(1, 2, 3)), 0x030201);
}

TEST(PictureSurface, PointsInsideAndOutside) {
    PictureSurface s(2);
    s.setBackColor(255);
    s.setOuterSize(14, 8);
    EXPECT_EQ(s.drawWidth(), 10);
    EXPECT_EQ(s.drawHeight(), 4);
    EXPECT_EQ(s.point(0, 0), 255);
    EXPECT_EQ(s.point(9, 3), 255);
    EXPECT_EQ(s.point(10, 0), -1); // one column right of the drawing area
    EXPECT_EQ(s.point(0, 4), -1);
    EXPECT_EQ(s.point(-1, 0), -1);
    s.pset(3, 2, 0x123456);
    EXPECT_EQ(s.point(3, 2), 0x123456);
    s.pset(50, 50, 0); // outside: nothing happens
    s.cls();
    EXPECT_EQ(s.point(3, 2), 255);
    EXPECT_EQ(s.currentX(), 0);
}

TEST(PictureSurface, ResizingKeepsTheOverlap) {
    PictureSurface s;
    s.setBackColor(0xFFFFFF);
    s.setOuterSize(4, 4);
    s.pset(1, 1, 0x010203);
    s.setBackColor(255);
    s.setOuterSize(6, 3);
    EXPECT_EQ(s.point(1, 1), 0x010203);
    EXPECT_EQ(s.point(5, 0), 255);
    EXPECT_EQ(s.point(1, 3), -1);
}

TEST(PictureSurface, LoadsPicturesAndReportsBadOnes) {
    QTemporaryDir dir;
    PictureSurface s(2);
    s.setAutoSize(true);
    const QImage pic = testpic::ramp(20, 10);
    for (const char* ext : {"bmp", "gif", "jpg"}) {
        s.loadPicture(testpic::save(pic, dir.filePath(QString("p.") + ext)));
        EXPECT_EQ(s.outerWidth(), 24) << ext;
        EXPECT_EQ(s.outerHeight(), 14) << ext;
    }
    s.loadPicture(dir.filePath("p.bmp"));
    EXPECT_EQ(s.point(5, 3), 0x080305); // red 5, green 3, blue 8

    QFile junk(dir.filePath("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    EXPECT_EQ(loadError(s, dir.filePath("junk.jpg")), err::InvalidPicture);
    EXPECT_EQ(loadError(s, dir.filePath("missing.bmp")), err::FileNotFound);
    EXPECT_EQ(loadError(s, dir.filePath("gone/missing.bmp")), err::PathNotFound);
    EXPECT_EQ(loadError(s, dir.path()), err::PathFileAccess);
    EXPECT_EQ(s.outerWidth(), 24); // failures leave the surface as it was

    s.loadPicture(QString());
    EXPECT_EQ(s.outerWidth(), 4); // an empty name clears the picture
}

TEST(PictureSurface, BitmapHeadersWithAbsurdSizesAreRefused) {
    // Found by fuzzing: width, bit depth and height whose product overflowed 64 bits.
    QTemporaryDir dir;
    QByteArray bmp("BM\xca\x02\0\0\0\0\0\0\x2a\xff\x3a\0", 14);
    bmp += QByteArray("\0\xff\0\0\xff\0\x03\x05\xff\x75\x3d\xe0\x66\0\x03\x3e\0\0\0\0", 20);
    bmp += QByteArray(64, '\x7f');
    for (const QByteArray& header : {bmp, QByteArray("BM") + QByteArray(60, '\xff')}) {
        QFile f(dir.filePath("absurd.bmp"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(header);
        f.close();
        PictureSurface s;
        s.setAutoSize(true);
        EXPECT_EQ(loadError(s, dir.filePath("absurd.bmp")), err::InvalidPicture);
    }
}

TEST(PictureSurface, FixedSizeBoxShowsTheTopLeftPart) {
    QTemporaryDir dir;
    PictureSurface s;
    s.setBackColor(0);
    s.setOuterSize(5, 30);
    s.loadPicture(testpic::save(testpic::ramp(20, 10), dir.filePath("p.bmp")));
    EXPECT_EQ(s.drawWidth(), 5);
    EXPECT_EQ(s.point(4, 9), 0x0D0904);
    EXPECT_EQ(s.point(4, 20), 0);
}

TEST(PictureSurface, SavesTheDrawingAreaAsBitmap) {
    QTemporaryDir dir;
    PictureSurface s(2);
    s.setOuterSize(7, 6);
    s.pset(2, 1, 0x00FF00);
    const QString p = dir.filePath("buffer"); // no extension is added
    s.saveBmp(p);
    QImage back(p, "bmp");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), QSize(3, 2));
    EXPECT_EQ(back.pixel(2, 1), qRgb(0, 255, 0));
    EXPECT_THROW(s.saveBmp(dir.filePath("none/buffer.bmp")), err::Error);
}

} // namespace
