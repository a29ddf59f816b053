#include "core/glyph_measure.h"
#include "support/fixture.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"
#include "ui/windows/frm_buffer.h"
#include "ui/windows/frm_chars.h"
#include "ui/windows/frm_scale.h"
#include "ui/windows/frm_source.h"

#include "ui/platform/exact_text_box.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class RunStages : public ProgramTest {
  protected:
    FrmMain* prepare(const QImage& picture, const QString& table, const QStringList& args = {}) {
        writeFile("Tessarine.ini", "");
        FrmMain* main = start(args);
        modVars().pictureFile = testpic::save(picture, path("p.bmp"));
        main->txtAsciiTable->setText(table);
        QObject::connect(main, &FrmMain::statusChanged, main,
                         [this](const QString& s) { statuses.append(s); });
        return main;
    }
    QStringList statuses;
};

// Four bands, black, dark grey, light grey and white: brightness 0, 64, 192 and 255.
QImage bands(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(0, 0, 0), qRgb(64, 64, 64), qRgb(192, 192, 192), qRgb(255, 255, 255)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, colours[x * 4 / width]);
    return img;
}

TEST_F(RunStages, ResultFollowsTheMeasuredOrderAndIsShownInTheChosenFont) {
    FrmMain* main = prepare(bands(60, 40), "@#+=-:. ");
    main->txtFont->setText("DejaVu Sans Mono");
    main->txtFontSize->setText("9");
    main->cmdStart_Click();
    const auto& vars = modVars();
    ASSERT_EQ(vars.charCount, 8);
    for (int i = 1; i < 8; ++i)
        EXPECT_GE(vars.charLevels[i], vars.charLevels[i + 1]);
    EXPECT_EQ(vars.chars[8], " ") << "the space has no ink";
    EXPECT_GT(vars.charLevels[1], 0);
    // Brightness b takes entry ((8 - 1) x b) / 255 + 1: 0 -> 1, 64 -> 3, 192 -> 6, 255 -> 8.
    const QString line = vars.chars[1].repeated(15) + vars.chars[3].repeated(15) +
                         vars.chars[6].repeated(15) + vars.chars[8].repeated(15);
    FrmAscii* ascii = frmAscii();
    EXPECT_TRUE(ascii->isVisible());
    EXPECT_EQ(ascii->text(), (line + "\r\n").repeated(40));
    EXPECT_EQ(ascii->txt->font().family(), "DejaVu Sans Mono");
    EXPECT_DOUBLE_EQ(ascii->txt->font().pointSizeF(), 9);
    EXPECT_FALSE(Forms::instance().find<FrmChars>()->isVisible());
}

TEST_F(RunStages, StatusLineWalksThroughTheStages) {
    FrmMain* main = prepare(testpic::ramp(8, 8), "@. ");
    main->cmdStart_Click();
    const QStringList expected = {"Preparing Buffer..",
                                  "Preparing Buffer.. ok.",
                                  "Reading Ascii-File..",
                                  "Analizing Font..",
                                  "Analizing Chars..",
                                  "Analizing Chars.. ok.",
                                  "Transforming Picture to Ascii..",
                                  "Transforming Picture to Ascii.. ok."};
    EXPECT_EQ(statuses, expected);
    EXPECT_EQ(main->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(main->cmdStart->isEnabled());
}

TEST_F(RunStages, SizeAbove99IsCappedAndWrittenBack) {
    for (const auto& [typed, used] :
         {std::pair<QString, QString>{"120", "99"}, {"99", "99"}, {"12.5", "12.5"}}) {
        FrmMain* main = prepare(testpic::ramp(4, 4), "@ ");
        main->txtFontSize->setText(typed);
        main->cmdStart_Click();
        EXPECT_EQ(main->txtFontSize->text(), used);
        EXPECT_DOUBLE_EQ(frmAscii()->txt->font().pointSizeF(), used.toDouble());
        EXPECT_EQ(frmChars()->picChar->surface().outerWidth(), glyphs::surfaceSide(used.toDouble()));
        Forms::instance().destroyAll();
        resetModVars();
    }
}

TEST_F(RunStages, UnusableTablesAndSizesDoNotStartARun) {
    struct Row {
        QString table, size, message;
    };
    const Row rows[] = {
        {"", "8",
         "The character table is empty. Type the characters the result may use, or open a table file."},
        {QString(257, '#'), "8", "The character table has 257 characters; a table holds at most 256."},
        {"@ ", "0.5", "The font size must be at least 1 point."},
        {"@ ", "0", "The font size must be at least 1 point."},
    };
    for (const Row& r : rows) {
        FrmMain* main = prepare(testpic::ramp(4, 4), r.table);
        main->txtFontSize->setText(r.size);
        main->cmdStart_Click();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, r.message);
        EXPECT_EQ(boxes[0].style, mb::Exclamation);
        EXPECT_EQ(boxes[0].title, "Tessarine");
        EXPECT_EQ(main->status(), r.message);
        EXPECT_EQ(Forms::instance().find<FrmSource>(), nullptr) << "nothing of a run has happened";
        EXPECT_TRUE(main->cmdStart->isEnabled());
        Forms::instance().destroyAll();
        resetModVars();
        boxes.clear();
    }
}

TEST_F(RunStages, FullTableOf256IsAccepted) {
    QString table;
    for (int i = 0; i < 256; ++i)
        table += QChar(0x21 + i % 94);
    FrmMain* main = prepare(testpic::ramp(16, 4), table);
    main->cmdStart_Click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(modVars().charCount, 256);
    EXPECT_EQ(frmAscii()->text().size(), 4 * 18);
}

TEST_F(RunStages, ACharacterBeyondTheBasicPlaneIsOneEntry) {
    const QString emoji = QString::fromUtf8("\U0001F600");
    FrmMain* main = prepare(testpic::ramp(40, 6), emoji + ". ");
    main->txtFont->setText("DejaVu Sans");
    main->cmdStart_Click();
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(modVars().charCount, 3);
    QStringList entries;
    for (int i = 1; i <= 3; ++i)
        entries << modVars().chars[i];
    EXPECT_TRUE(entries.contains(emoji)) << qPrintable(entries.join('|'));
    // The text holds the emoji whole: every high surrogate is followed by its low one.
    const QString text = frmAscii()->text();
    EXPECT_EQ(text.toStdU32String().size(), size_t(6 * (40 + 2)));
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i).isHighSurrogate()) {
            EXPECT_TRUE(i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) << i;
        }
}

TEST_F(RunStages, ThreeByTwoPictureGivesTenCharacters) {
    FrmMain* main = prepare(testpic::ramp(3, 2), "@");
    main->cmdStart_Click();
    EXPECT_EQ(frmAscii()->text(), "@@@\r\n@@@\r\n");
}

TEST_F(RunStages, SecondRunReplacesTheFirstResultEntirely) {
    FrmMain* main = prepare(testpic::filled(30, 20, qRgb(0, 0, 0)), "#. ");
    main->cmdStart_Click();
    ASSERT_EQ(frmAscii()->text(), QString(("##############################\r\n")).repeated(20));
    frmAscii()->txt->appendPlainText("typed by the user");
    testpic::save(testpic::filled(5, 2, qRgb(255, 255, 255)), modVars().pictureFile);
    main->cmdStart_Click();
    EXPECT_EQ(frmAscii()->text(), "     \r\n     \r\n");
}

TEST_F(RunStages, ScaledRunMapsTheAveragedBlocks) {
    // Blocks of 4 x 8 pixels, black and white in turn: each block is one character, the darkest or the
    // lightest entry, so the text is a checkerboard of the two.
    QImage pic(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            pic.setPixel(x, y, ((x / 4 + y / 8) % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    FrmMain* main = prepare(pic, "@%#*+=-:. ");
    frmScale()->txtHorizontal->setText("4");
    frmScale()->txtVertical->setText("8");
    main->mnuScalePicture_Click();
    main->cmdStart_Click();
    EXPECT_EQ(frmBuffer()->pic->surface().image().size(), QSize(13, 2)); // Int(68 / 4) - 4 by Int(52 / 8) - 4
    const QString dark = modVars().chars[1], light = modVars().chars[10];
    QString expected;
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 13; ++col)
            expected += (col + row) % 2 ? light : dark;
        expected += "\r\n";
    }
    EXPECT_EQ(frmAscii()->text(), expected);
}

TEST_F(RunStages, DebugModeShowsTheCharacterSurfaceBesideTheBuffer) {
    FrmMain* main = prepare(testpic::ramp(20, 10), "@. ", {"-debug"});
    main->cmdStart_Click();
    FrmChars* chars = frmChars();
    EXPECT_TRUE(chars->isVisible());
    EXPECT_EQ(chars->topTwips(), 0);
    EXPECT_EQ(chars->leftTwips(), frmBuffer()->leftTwips() + frmBuffer()->widthTwips());
    // The surface is cleared at the end of the measurement.
    EXPECT_EQ(chars->picChar->surface().point(3, 3), 0xFFFFFF);
}

} // namespace
