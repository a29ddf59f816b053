#include "engine/glyph_measure.h"
#include "engine/text_mapping.h"
#include "main_window/frmMain.h"
#include "platform/forms.h"
#include "platform/message_box.h"
#include "platform/surface_widget.h"
#include "platform/text_box.h"
#include "state/mod_vars.h"
#include "support/fixture.h"
#include "support/pictures.h"
#include "windows/frmAscii.h"
#include "windows/frmBuffer.h"
#include "windows/frmChars.h"
#include "windows/frmScale.h"
#include "windows/frmSource.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class RunStages : public ProgramTest {
  protected:
    FrmMain* prepare(const QImage& picture, const QString& table, const QString& args = QString()) {
        writeFile("Tessarine.ini", "");
        FrmMain* main = start(args);
        modVars().pictureFile = testpic::save(picture, path("p.bmp"));
        main->txtAsciiTable->setText(table);
        QObject::connect(main, &FrmMain::statusChanged, main,
                         [this](const QString& s) { statuses.append(s); });
        return main;
    }
    QString expectedText(const QImage& buffer, const QString& table, const QString& font, double size) {
        return mapping::transform(buffer, glyphs::measureTable(table, font, size).chars);
    }
    QStringList statuses;
};

TEST_F(RunStages, ResultMatchesTheKernelsAndIsShownInTheChosenFont) {
    const QImage pic = testpic::ramp(60, 40);
    FrmMain* main = prepare(pic, "@#+=-:. ");
    main->txtFont->setText("DejaVu Sans Mono");
    main->txtFontSize->setText("9");
    main->cmdStart_Click();
    FrmAscii* ascii = frmAscii();
    EXPECT_TRUE(ascii->isVisible());
    EXPECT_EQ(ascii->text(), expectedText(pic, "@#+=-:. ", "DejaVu Sans Mono", 9));
    EXPECT_EQ(ascii->text().count("\r\n"), 40);
    EXPECT_EQ(ascii->txt->font().family(), "DejaVu Sans Mono");
    EXPECT_DOUBLE_EQ(ascii->txt->font().pointSizeF(), 9);
    EXPECT_EQ(modVars().charCount, 8);
    for (int i = 1; i < 8; ++i)
        EXPECT_GE(modVars().charLevels[i], modVars().charLevels[i + 1]);
    EXPECT_EQ(modVars().chars[8], " ");
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

TEST_F(RunStages, ScaledRunMapsTheAveragedBuffer) {
    const QImage pic = testpic::ramp(64, 48);
    FrmMain* main = prepare(pic, "@%#*+=-:. ");
    frmScale()->txtHorizontal->setText("4");
    frmScale()->txtVertical->setText("8");
    main->mnuScalePicture_Click();
    main->cmdStart_Click();
    const QImage buffer = frmBuffer()->pic->surface().image();
    EXPECT_EQ(buffer.size(), QSize(13, 2)); // Int(68 / 4) - 4 by Int(52 / 8) - 4
    EXPECT_EQ(frmAscii()->text(), expectedText(buffer, "@%#*+=-:. ", "Courier New", 8));
}

TEST_F(RunStages, DebugModeShowsTheCharacterSurfaceBesideTheBuffer) {
    FrmMain* main = prepare(testpic::ramp(20, 10), "@. ", "-debug");
    main->cmdStart_Click();
    FrmChars* chars = frmChars();
    EXPECT_TRUE(chars->isVisible());
    EXPECT_EQ(chars->topTwips(), 0);
    EXPECT_EQ(chars->leftTwips(), frmBuffer()->leftTwips() + frmBuffer()->widthTwips());
    // The surface is cleared at the end of the measurement.
    EXPECT_EQ(chars->picChar->surface().point(3, 3), 0xFFFFFF);
}

} // namespace
