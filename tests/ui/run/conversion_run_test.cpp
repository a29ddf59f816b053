#include "core/stopwatch.h"
#include "support/fixture.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/shapes.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"
#include "ui/windows/frm_buffer.h"
#include "ui/windows/frm_scale.h"
#include "ui/windows/frm_source.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class ConversionRun : public ProgramTest {
  protected:
    FrmMain* startWith(const QString& picture, bool scaling, const QString& h = "1", const QString& v = "1",
                       const QStringList& args = {}) {
        writeFile("Tessarine.ini", "");
        FrmMain* main = start(args);
        modVars().pictureFile = picture;
        main->txtAsciiTable->setText("@%+. ");
        frmScale()->txtHorizontal->setText(h);
        frmScale()->txtVertical->setText(v);
        if (scaling)
            main->mnuScalePicture_Click();
        QObject::connect(main, &FrmMain::statusChanged, main,
                         [this](const QString& s) { statuses.append(s); });
        return main;
    }
    PictureSurface& buffer() { return frmBuffer()->pic->surface(); }
    // The status line as the buffer stage left it, before the glyph stage began.
    QString bufferStageStatus() const {
        const qsizetype glyphs = statuses.indexOf("Reading Ascii-File..");
        return glyphs > 0 ? statuses.at(glyphs - 1) : QString();
    }
    QStringList statuses;

    void expectAllEnabled(FrmMain* m) {
        for (QWidget* w : std::initializer_list<QWidget*>{
                 m->cmdSelectAscii, m->txtAsciiTable, m->cmdSelectPic, m->cmdStart, m->cmdQuit,
                 frmScale()->txtHorizontal, frmScale()->txtVertical, m->txtFont, m->txtFontSize,
                 m->cmdSelectFont, m->picSourcePicture})
            EXPECT_TRUE(w->isEnabled()) << qPrintable(w->objectName());
        for (QMenu* menu :
             {m->mnuProgram, m->mnuAsciiTable, m->mnuPicture, m->mnuFont, m->mnuExtras, m->mnuHelp})
            EXPECT_TRUE(menu->menuAction()->isEnabled()) << qPrintable(menu->objectName());
        EXPECT_FALSE(m->cmdStop->isEnabled());
        EXPECT_EQ(m->cursor().shape(), Qt::ArrowCursor);
    }

    void expectRefused(FrmMain* m, int number, const QString& description) {
        m->cmdStart_Click();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().title, "Tessarine, initForms");
        EXPECT_EQ(boxes.back().style, mb::Exclamation);
        EXPECT_EQ(boxes.back().text, "ERROR: \r\n" + description + "\r\n\r\n#" + QString::number(number));
        EXPECT_EQ(m->status(), "ERROR: " + description + " (#" + QString::number(number) + ")");
        expectAllEnabled(m);
    }
};

TEST_F(ConversionRun, UnscaledRouteCopiesThePictureAndSizesTheWindows) {
    const QString pic = testpic::save(testpic::ramp(320, 240), path("p.bmp"));
    FrmMain* main = startWith(pic, false, "3", "3"); // factors are ignored while scaling is off
    main->cmdStart_Click();
    FrmSource* source = frmSource();
    EXPECT_EQ(source->pic->surface().outerWidth(), 324);
    EXPECT_EQ(source->pic->surface().outerHeight(), 244);
    EXPECT_EQ(source->widthTwips(), 4965);
    EXPECT_EQ(source->heightTwips(), 4050);
    EXPECT_EQ(source->leftTwips(), 0);
    EXPECT_EQ(frmBuffer()->leftTwips(), 4965);
    EXPECT_EQ(frmBuffer()->widthTwips(), (324 + 7) * 15);
    EXPECT_EQ(frmBuffer()->heightTwips(), (244 + 45) * 15);
    EXPECT_EQ(frmBuffer()->windowTitle(), "Buffer - 324x244");
    EXPECT_EQ(buffer().point(319, 239), source->pic->surface().point(319, 239));
    EXPECT_EQ(bufferStageStatus(), "Preparing Buffer.. ok.");
    EXPECT_FALSE(frmBuffer()->isVisible());
    EXPECT_FALSE(source->isVisible());
    EXPECT_TRUE(boxes.empty());
    expectAllEnabled(main);
}

TEST_F(ConversionRun, ScalingTickedWithBothFactorsOneIsUnscaled) {
    const QString pic = testpic::save(testpic::ramp(40, 30), path("p.bmp"));
    FrmMain* main = startWith(pic, true, "1", "1");
    main->cmdStart_Click();
    EXPECT_EQ(bufferStageStatus(), "Preparing Buffer.. ok.");
    EXPECT_FALSE(frmBuffer()->isVisible());
}

TEST_F(ConversionRun, ScaledRouteAveragesBlocksAndShowsTheBuffer) {
    const QImage img = testpic::ramp(320, 240);
    const QString pic = testpic::save(img, path("p.bmp"));
    FrmMain* main = startWith(pic, true, "2", "2");
    main->cmdStart_Click();
    EXPECT_EQ(buffer().outerWidth(), 162);
    EXPECT_EQ(buffer().outerHeight(), 122);
    EXPECT_EQ(frmSource()->windowTitle(), "Source - 324x244");
    EXPECT_EQ(frmBuffer()->windowTitle(), "Buffer - 162x122");
    EXPECT_TRUE(frmBuffer()->isVisible());
    EXPECT_EQ(bufferStageStatus(), "Calculating Buffer.. ok.   (0s)");
    EXPECT_DOUBLE_EQ(main->shpPercent->widthTwips(), main->shpProcess->widthTwips());
    // Block (10, 7): red 20.5 -> 20, green 14.5 -> 14, blue 35 -> 35.
    EXPECT_EQ(buffer().point(10, 7), 20 | (14 << 8) | (35 << 16));
    // The last stored block (157, 117): columns 314-315 and rows 234-235 of the ramp.
    EXPECT_EQ(buffer().point(157, 117), 58 | (234 << 8) | (37 << 16));
    EXPECT_EQ(buffer().point(158, 0), -1); // blocks 158 and 159 are not stored
    expectAllEnabled(main);
}

TEST_F(ConversionRun, TimingTextCountsWholeElapsedSeconds) {
    const QString pic = testpic::save(testpic::ramp(40, 40), path("p.bmp"));
    FrmMain* main = startWith(pic, true, "2", "2");
    // The clock reads the start once, then the end for every later reading.
    const std::tuple<qint64, qint64, QString> rows[] = {
        {100600, 100900, "(0s)"}, {100400, 103100, "(2s)"}, {86399500, 86401200, "(1s)"}}; // across midnight
    for (const auto& [from, to, text] : rows) {
        int readings = 0;
        Stopwatch::setClock([&, from = from, to = to] { return readings++ == 0 ? from : to; });
        statuses.clear();
        main->cmdStart_Click();
        EXPECT_EQ(bufferStageStatus(), "Calculating Buffer.. ok.   " + text);
    }
    Stopwatch::setClock({});
}

TEST_F(ConversionRun, FractionalFactorsSizeByTheFractionAndBlockByTheRoundedValue) {
    const QString pic = testpic::save(testpic::filled(100, 20, qRgb(0, 0, 200)), path("p.bmp"));
    // 2.5: buffer Int(104 / 2.5) = 41 wide, blocks 2 wide cover it all.
    FrmMain* main = startWith(pic, true, "2.5", "1");
    main->cmdStart_Click();
    EXPECT_EQ(buffer().outerWidth(), 41);
    EXPECT_EQ(buffer().point(36, 5), 200 << 16);
    // 2.6: buffer Int(104 / 2.6) = 40 wide, blocks 3 wide: 34 blocks, the last one overhanging the
    // picture by two columns (so a third as bright); the rest keeps the red background.
    frmScale()->txtHorizontal->setText("2.6");
    Forms::instance().find<FrmBuffer>()->pic->surface().setOuterSize(0, 0);
    main->cmdStart_Click();
    EXPECT_EQ(buffer().outerWidth(), 40);
    EXPECT_EQ(buffer().point(32, 5), 200 << 16);
    EXPECT_EQ(buffer().point(33, 5), 67 << 16);
    EXPECT_EQ(buffer().point(34, 5), 255);
    EXPECT_EQ(buffer().point(35, 5), 255);
}

TEST_F(ConversionRun, BadFactorsAreRefusedBeforeAnythingIsDisabled) {
    const QString pic = testpic::save(testpic::ramp(50, 50), path("p.bmp"));
    struct Row {
        QString h, v;
        int number;
        QString description;
    };
    const Row rows[] = {{"0", "1", 11, "Division by zero"},         {"-0", "2", 11, "Division by zero"},
                        {"0.5", "2", 11, "Division by zero"},       {"0.4", "1", 11, "Division by zero"},
                        {"abc", "1", 13, "Type mismatch"},          {"", "1", 13, "Type mismatch"},
                        {"-2", "1", 380, "Invalid property value"}, {"2147483648", "1", 6, "Overflow"},
                        {"50000", "50000", 6, "Overflow"}};
    FrmMain* main = startWith(pic, true);
    for (const Row& r : rows) {
        frmScale()->txtHorizontal->setText(r.h);
        frmScale()->txtVertical->setText(r.v);
        boxes.clear();
        SCOPED_TRACE((r.h + " x " + r.v).toStdString());
        expectRefused(main, r.number, r.description);
    }
    // 0.6 rounds to 1: accepted.
    frmScale()->txtHorizontal->setText("0.6");
    frmScale()->txtVertical->setText("2");
    boxes.clear();
    main->cmdStart_Click();
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ConversionRun, MissingPictureGivesTwoMessagesOnTheFirstRun) {
    FrmMain* main = startWith(path("missing.bmp"), false);
    expectRefused(main, 53, "File not found");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Tessarine, Forms(load)");
    EXPECT_EQ(boxes[0].text, "ERROR: \r\nFile not found\r\n\r\n#53");
    boxes.clear();
    main->cmdStart_Click(); // the source window exists now: one message
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(ConversionRun, PictureProblemsAreReportedThroughTheSameHandler) {
    writeFile("fake.jpg", "JFIF? no");
    FrmMain* main = startWith(path("fake.jpg"), false);
    expectRefused(main, 481, "Invalid picture");
    modVars().pictureFile.clear();
    boxes.clear();
    expectRefused(main, 53, "File not found");
    EXPECT_EQ(boxes.size(), 1u);
    modVars().pictureFile = path("nowhere/p.bmp");
    expectRefused(main, 76, "Path not found");
}

TEST_F(ConversionRun, PicturesBeyondQtsDefaultAllocationLimitLoad) {
    // 8200 x 8200 pixels take 269 MB decoded, more than Qt's readers allow by default (256 MB).
    QImage big(8200, 8200, QImage::Format_RGB32);
    big.fill(qRgb(40, 80, 120));
    const QString pic = path("big.png");
    ASSERT_TRUE(big.save(pic, "PNG", 100));
    big = QImage();
    FrmMain* main = startWith(pic, true, "100", "200");
    main->cmdStart_Click();
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text.toStdString());
    EXPECT_EQ(buffer().outerWidth(), 82);
    EXPECT_EQ(buffer().point(5, 5), 40 | (80 << 8) | (120 << 16));
}

TEST_F(ConversionRun, BufferWiderThan32767PixelsIsRefused) {
    const QString pic = testpic::save(testpic::filled(32764, 2, qRgb(1, 2, 3)), path("wide.bmp"));
    FrmMain* main = startWith(pic, false);
    expectRefused(main, 6, "Overflow");
}

TEST_F(ConversionRun, GifAndJpegPicturesRunToo) {
    for (const char* ext : {"gif", "jpg"}) {
        const QString pic =
            testpic::save(testpic::filled(64, 48, qRgb(100, 150, 200)), path(QString("p.") + ext));
        FrmMain* main = startWith(pic, true, "8", "8");
        main->cmdStart_Click();
        EXPECT_EQ(buffer().outerWidth(), 8) << ext;
        EXPECT_EQ(buffer().outerHeight(), 6) << ext;
        const int c = buffer().point(1, 1);
        EXPECT_NEAR(c & 0xFF, 100, 3) << ext;
        EXPECT_NEAR((c >> 8) & 0xFF, 150, 3) << ext;
        EXPECT_NEAR((c >> 16) & 0xFF, 200, 3) << ext;
        Forms::instance().destroyAll();
        resetModVars();
    }
}

TEST_F(ConversionRun, ScaleFieldsAreEnabledAfterARunEvenWithScalingOff) {
    const QString pic = testpic::save(testpic::ramp(20, 20), path("p.bmp"));
    FrmMain* main = startWith(pic, true, "2", "2");
    main->mnuScalePicture_Click(); // off again: fields disabled
    ASSERT_FALSE(frmScale()->txtHorizontal->isEnabled());
    main->cmdStart_Click();
    EXPECT_TRUE(frmScale()->txtHorizontal->isEnabled());
    EXPECT_TRUE(frmScale()->txtVertical->isEnabled());
    EXPECT_FALSE(frmScale()->chkScalingEnabled->isChecked());
}

TEST_F(ConversionRun, DebugModeShowsTheWorkingWindows) {
    const QString pic = testpic::save(testpic::ramp(20, 20), path("p.bmp"));
    FrmMain* main = startWith(pic, false, "1", "1", {"-debug"});
    main->cmdStart_Click();
    EXPECT_TRUE(frmSource()->isVisible());
    EXPECT_TRUE(frmBuffer()->isVisible());
}

TEST_F(ConversionRun, ClosingWindowsWhileARunYieldsIsSafe) {
    const QString pic = testpic::save(testpic::ramp(120, 90), path("p.bmp"));
    FrmMain* main = startWith(pic, true, "2", "2", {"-debug"});
    main->cmdStart_Click(); // the working windows exist and are shown
    // Close boxes clicked while the run yields: the working windows hide, the main window waits.
    QTimer::singleShot(0, frmBuffer(), [] { frmBuffer()->close(); });
    QTimer::singleShot(0, frmSource(), [] { frmSource()->close(); });
    QTimer::singleShot(0, main, [main] { main->close(); });
    QPointer<FrmMain> alive(main);
    statuses.clear();
    main->cmdStart_Click();
    EXPECT_EQ(statuses.last(), "Transforming Picture to Ascii.. ok.") << "the run went to its end";
    settle();
    EXPECT_TRUE(alive.isNull()) << "the close waited for the end of the run";
    EXPECT_TRUE(readFile("Tessarine.ini").startsWith("version=0.2.17\r\n"));
}

TEST_F(ConversionRun, PictureChangedOnDiskIsReadAgain) {
    const QString pic = testpic::save(testpic::filled(10, 10, qRgb(0, 0, 0)), path("p.bmp"));
    FrmMain* main = startWith(pic, false);
    main->cmdStart_Click();
    EXPECT_EQ(buffer().point(0, 0), 0);
    testpic::save(testpic::filled(10, 10, qRgb(255, 255, 255)), pic);
    main->cmdStart_Click();
    EXPECT_EQ(buffer().point(0, 0), 0xFFFFFF);
}

TEST_F(ConversionRun, MenuShortcutsAreInertWhileARunHoldsTheWindow) {
    const QString pic = testpic::save(testpic::ramp(60, 40), path("p.bmp"));
    FrmMain* main = startWith(pic, false);
    main->show();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    const bool saveWasEnabled = main->mnuSaveAsciiTable->isEnabled();
    QPointer<FrmMain> alive(main);
    QStringList enabledDuringRun;
    bool pressed = false, activeDuringRun = false;
    QObject::connect(main, &FrmMain::statusChanged, main, [&](const QString& s) {
        if (s != "Analizing Chars.." || pressed)
            return;
        pressed = true;
        activeDuringRun = QApplication::activeWindow() == main;
        for (QMenu* m : {main->mnuProgram, main->mnuAsciiTable, main->mnuPicture, main->mnuFont,
                         main->mnuExtras, main->mnuHelp})
            for (QAction* a : m->actions())
                if (a->isEnabled())
                    enabledDuringRun << a->objectName();
        QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
        QTest::keyClick(main, Qt::Key_F11);
        QTest::keyClick(main, Qt::Key_F1);
    });
    main->cmdStart_Click();
    ASSERT_TRUE(pressed) << "the run yielded while measuring";
    ASSERT_TRUE(activeDuringRun) << "the keys went to the main window";
    settle();
    EXPECT_TRUE(enabledDuringRun.isEmpty()) << qPrintable(enabledDuringRun.join(", "));
    ASSERT_FALSE(alive.isNull()) << "Ctrl+Q during the run did nothing";
    EXPECT_FALSE(main->mnuExtrasFullscreen->isChecked()) << "F11 did nothing";
    EXPECT_FALSE(main->isMaximized());
    EXPECT_TRUE(shellCalls.empty()) << "F1 did nothing";
    // Afterwards every entry has its own state back, and the shortcuts act again.
    EXPECT_EQ(main->mnuSaveAsciiTable->isEnabled(), saveWasEnabled);
    EXPECT_FALSE(main->mnuOpenFont->isEnabled());
    EXPECT_TRUE(main->mnuQuit->isEnabled());
    main->activateWindow(); // the result window came to the front at the end of the run
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_F1);
    EXPECT_EQ(shellCalls.size(), 1u);
    QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(alive.isNull()) << "Ctrl+Q quits after the run";
    EXPECT_TRUE(readFile("Tessarine.ini").startsWith("version=0.2.17\r\n"));
}

} // namespace
