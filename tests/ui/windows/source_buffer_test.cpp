#include "support/fixture.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_buffer.h"
#include "ui/windows/frm_scale.h"
#include "ui/windows/frm_source.h"

#include <QAction>

namespace {

class SourceAndBuffer : public StartedProgram {
  protected:
    void SetUp() override {
        StartedProgram::SetUp();
        main->txtAsciiTable->setText("#. ");
    }
};

TEST_F(SourceAndBuffer, ProposedBufferNames) {
    struct Row {
        QString picture;
        bool scaling;
        QString h, v, proposal;
    };
    const Row rows[] = {{"/pics/cat.jpg", true, "2", "3", "/pics/cat scale_2-3"},
                        {"/pics/cat.jpg", false, "2", "3", "/pics/cat"},
                        {"/pics/cat.tar.gz", false, "1", "1", "/pics/cat.tar"},
                        {"/pics/cat", true, "8", "16", "/pics/cat scale_8-16"},
                        {"/pics/noext", false, "1", "1", "/pics/noext"}};
    for (const Row& r : rows) {
        modVars().pictureFile = r.picture;
        frmScale()->txtHorizontal->setText(r.h);
        frmScale()->txtVertical->setText(r.v);
        if (main->mnuScalePicture->isChecked() != r.scaling)
            main->mnuScalePicture_Click();
        EXPECT_EQ(frmBuffer()->proposedName(), r.proposal) << qPrintable(r.picture);
    }
}

TEST_F(SourceAndBuffer, SavingTheBufferWritesABitmapUnderTheExactName) {
    modVars().pictureFile = testpic::save(testpic::ramp(40, 20), path("pic.bmp"));
    frmScale()->txtHorizontal->setText("2");
    frmScale()->txtVertical->setText("2");
    main->mnuScalePicture_Click();
    main->cmdStart_Click();
    dialogs->files = {path("small")};
    frmBuffer()->mnuSaveBuffer->trigger();
    const auto& r = dialogs->fileRequests.at(0);
    EXPECT_EQ(dialogs->kinds[0], "save");
    EXPECT_EQ(r.title, "Save scaled Picture as..");
    EXPECT_EQ(r.fileName, path("pic") + " scale_2-2");
    EXPECT_EQ(r.filter, "Bitmap (*.bmp)");
    const QImage saved(path("small"), "bmp");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(18, 8)); // the drawing area of a 22 x 12 buffer
    EXPECT_EQ(saved.pixel(3, 2), frmBuffer()->pic->surface().image().pixel(3, 2));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SourceAndBuffer, CancelledOrFailedBufferSave) {
    modVars().pictureFile = testpic::save(testpic::ramp(10, 10), path("pic.bmp"));
    main->cmdStart_Click();
    frmBuffer()->mnuSaveBuffer_Click(); // cancelled
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(QFile::exists(path("pic")));
    dialogs->files = {path("gone/b.bmp")};
    frmBuffer()->mnuSaveBuffer_Click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(path("gone/b.bmp")));
    EXPECT_TRUE(boxes[0].text.contains("Path not found"));
}

TEST_F(SourceAndBuffer, PreviewClickShowsTheSourceWindowAtThePicturesSize) {
    const QString first = testpic::save(testpic::filled(60, 40, qRgb(255, 0, 0)), path("first.bmp"));
    const QString second = testpic::save(testpic::filled(30, 30, qRgb(0, 0, 255)), path("second.bmp"));
    modVars().pictureFile = first;
    emit main->picSourcePicture->clicked();
    FrmSource* source = frmSource();
    EXPECT_TRUE(source->isVisible());
    EXPECT_EQ(source->widthTwips(), (64 + 7) * 15);
    EXPECT_EQ(source->heightTwips(), (44 + 23) * 15 + 45);
    EXPECT_EQ(source->windowTitle(), "Picture");
    // Another picture chosen, no run: the window still shows the earlier one.
    dialogs->files = {second};
    main->mnuOpenPicture_Click();
    main->mnuPictureShow->trigger();
    EXPECT_EQ(source->pic->surface().point(1, 1), 0x0000FF);
    main->cmdStart_Click();
    EXPECT_EQ(source->pic->surface().point(1, 1), 0xFF0000);
}

TEST_F(SourceAndBuffer, SourceWindowReportsAMissingPictureWhenCreated) {
    modVars().pictureFile = path("missing.bmp");
    main->picSourcePicture_Click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Tessarine, Forms(load)");
    EXPECT_EQ(boxes[0].style, mb::Exclamation);
    EXPECT_EQ(main->status(), "Waiting.") << "no status text from the window's own report";
}

} // namespace
