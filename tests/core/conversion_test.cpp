#include "core/conversion.h"
#include "core/errors.h"
#include "support/pictures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::vector<char32_t> table(const std::u32string& s) {
    return {s.begin(), s.end()};
}

TEST(Conversion, StreamedAndWholeDecodingGiveTheSameText) {
    QTemporaryDir dir;
    const auto sorted = table(U"@%#*+=-:. ");
    for (const char* ext : {"jpg", "bmp", "gif"}) {
        // GIF holds at most 256 colours: a coarser picture for it.
        const QImage picture = QByteArray(ext) == "gif" ? testpic::steps(203, 151) : testpic::ramp(203, 151);
        const QString pic = testpic::save(picture, dir.filePath(QString("ramp.") + ext));
        const conversion::Factors cases[] = {
            {false, 1, 1}, {true, 4, 8}, {true, 2.5, 3}, {true, 2.6, 1}, {true, 1, 3}};
        for (const auto& f : cases) {
            const QString streamed = conversion::convertFile(pic, f, sorted, "\n", true);
            const QString whole = conversion::convertFile(pic, f, sorted, "\n", false);
            EXPECT_EQ(streamed, whole) << ext << " " << f.h << "x" << f.v;
            EXPECT_FALSE(streamed.isEmpty());
        }
    }
}

TEST(Conversion, TextOfABufferInTheProgramsLineEnds) {
    QImage buffer(3, 2, QImage::Format_RGB32);
    buffer.fill(qRgb(0, 0, 0));
    buffer.setPixel(2, 1, qRgb(255, 255, 255));
    EXPECT_EQ(conversion::transform(buffer, table(U"#. ")), "###\r\n## \r\n");
    EXPECT_EQ(conversion::transform(buffer, table(U"\U0001F600 "), "\n"),
              QString::fromUtf8("\U0001F600\U0001F600\U0001F600\n\U0001F600\U0001F600 \n"));
    EXPECT_TRUE(conversion::transform(QImage(), table(U"#")).isEmpty());
}

TEST(Conversion, EmptyTableAndBadFactorsAreErrors) {
    QTemporaryDir dir;
    const QString pic = testpic::save(testpic::ramp(20, 20), dir.filePath("p.bmp"));
    try {
        conversion::convertFile(pic, {}, {}, "\n");
        ADD_FAILURE() << "an empty table converted";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.number(), err::InvalidArgument);
    }
    try {
        conversion::loadBuffer(pic, {true, 0, 1});
        ADD_FAILURE() << "a factor of 0 was taken";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.number(), err::DivisionByZero);
    }
}

} // namespace
