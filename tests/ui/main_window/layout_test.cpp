#include "support/fixture.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/shapes.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"

#include <QAction>
#include <QPushButton>

namespace {

class Layout : public StartedProgram {
  protected:
    void layOut(int clientWidth, int clientHeight) {
        main->setClientSize(clientWidth, clientHeight);
        main->Form_Resize();
    }
};

TEST_F(Layout, FiguresAtTheDesignedClientSize) {
    layOut(697, 273);
    EXPECT_EQ(main->frStatus->y(), 240);
    EXPECT_EQ(main->frProcess->y(), 176);
    EXPECT_EQ(main->frFont->y(), 119);
    EXPECT_EQ(main->frAsciiTable->y(), 8);
    EXPECT_EQ(main->frPicture->y(), 64);
    EXPECT_EQ(main->frPicture->height(), 56);
    EXPECT_DOUBLE_EQ(main->shpPicPreviewRect->heightTwips(), 270);
    EXPECT_DOUBLE_EQ(twipRect(main->frSourcePreview).height(), 240);
    EXPECT_DOUBLE_EQ(twipRect(main->txtAsciiTable).width(), 9920);
    EXPECT_DOUBLE_EQ(twipRect(main->cmdSelectAscii).left(), 10065);
    EXPECT_DOUBLE_EQ(twipRect(main->cmdSelectPic).left(), 10065);
    EXPECT_DOUBLE_EQ(twipRect(main->cmdQuit).left(), 8040);
    EXPECT_DOUBLE_EQ(main->shpProcess->widthTwips(), 10235);
    EXPECT_DOUBLE_EQ(main->LineProgress->x2(), 10315);
    EXPECT_DOUBLE_EQ(main->LineMenu3->x2(), 10455);
    EXPECT_DOUBLE_EQ(main->LineSizer->x1(), 10405);
    EXPECT_DOUBLE_EQ(main->LineSizer->x2(), 10285);
    EXPECT_DOUBLE_EQ(main->LineSizer2->x2(), 10180);
    for (QWidget* frame : std::initializer_list<QWidget*>{main->frAsciiTable, main->frPicture, main->frFont,
                                                          main->frProcess, main->frStatus})
        EXPECT_EQ(frame->width(), 697) << qPrintable(frame->objectName());
    // The controls inside the font frame and the labels keep their designed places.
    EXPECT_DOUBLE_EQ(twipRect(main->txtFontSize).left(), 1710);
}

TEST_F(Layout, WindowNeverGetsSmallerThanItsMinimum) {
    layOut(100, 50);
    EXPECT_EQ(main->widthTwips(), FrmMain::kMinOuterWidthTwips);
    EXPECT_EQ(main->heightTwips(), FrmMain::kMinOuterHeightTwips);
    // Near the minimum the Quit button stays right of the inert Stop button's left edge.
    EXPECT_DOUBLE_EQ(twipRect(main->cmdQuit).left(), 2400);
}

TEST_F(Layout, VeryWideWindowsStillStretchTheControls) {
    for (int w : {2184, 2185, 2560, 3840}) {
        layOut(w, 600);
        EXPECT_DOUBLE_EQ(twipRect(main->txtAsciiTable).width(), 15.0 * w - 535) << w;
        EXPECT_DOUBLE_EQ(twipRect(main->cmdSelectAscii).left(), 15.0 * w - 390) << w;
        EXPECT_DOUBLE_EQ(twipRect(main->frSourcePreview).width(), 15.0 * w - 550) << w;
        EXPECT_DOUBLE_EQ(twipRect(main->cmdQuit).left(), 15.0 * w - 2295 - 120) << w;
        EXPECT_DOUBLE_EQ(main->shpProcess->widthTwips(), 15.0 * w - 220) << w;
        EXPECT_EQ(main->frStatus->width(), w);
        EXPECT_EQ(main->frPicture->height(), 600 - 217);
    }
}

TEST_F(Layout, MinimisedWindowIsLeftAsItWas) {
    layOut(697, 273);
    main->setWindowState(Qt::WindowMinimized);
    main->setClientSize(900, 500);
    main->Form_Resize();
    EXPECT_EQ(main->frStatus->y(), 240);
    main->setWindowState(Qt::WindowNoState);
    main->Form_Resize();
    EXPECT_EQ(main->frStatus->y(), 500 - 33);
}

TEST_F(Layout, FullscreenCheckMarkRules) {
    EXPECT_FALSE(main->mnuExtrasFullscreen->isChecked());
    main->setWindowState(Qt::WindowMaximized); // through the title bar
    EXPECT_TRUE(main->mnuExtrasFullscreen->isChecked());
    main->setWindowState(Qt::WindowNoState); // restored through the title bar: still checked
    EXPECT_TRUE(main->mnuExtrasFullscreen->isChecked());
    main->mnuExtrasFullscreen->trigger(); // only clears the mark
    EXPECT_FALSE(main->mnuExtrasFullscreen->isChecked());
    EXPECT_FALSE(main->isMaximized());
    main->mnuExtrasFullscreen->trigger(); // maximises
    EXPECT_TRUE(main->mnuExtrasFullscreen->isChecked());
    EXPECT_TRUE(main->isMaximized());
    main->mnuExtrasFullscreen_Click();
    EXPECT_FALSE(main->isMaximized());
    EXPECT_EQ(main->mnuExtrasFullscreen->shortcut(), QKeySequence(Qt::Key_F11));
}

} // namespace
