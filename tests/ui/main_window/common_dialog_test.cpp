#include "core/errors.h"
#include "support/fixture.h"
#include "ui/platform/common_dialog.h"

namespace {

using SharedDialog = ProgramTest;

TEST(DialogFilter, DescriptionAndPatternPairsBecomeQtFilters) {
    EXPECT_EQ(CommonDialog::qtFilter("Text (*.txt)|*.txt"), "Text (*.txt)");
    EXPECT_EQ(CommonDialog::qtFilter("Picture (*.bmp;*.gif;*.jpg)|*.bmp;*.gif;*.jpg"),
              "Picture (*.bmp *.gif *.jpg)");
    EXPECT_EQ(CommonDialog::qtFilter("Bitmap|*.bmp|All|*.*"), "Bitmap (*.bmp);;All (*.*)");
    EXPECT_EQ(CommonDialog::qtFilter(""), "");
}

TEST_F(SharedDialog, PropertiesSetByOneUseStayForTheNext) {
    CommonDialog& d = CommonDialog::instance();
    d.initDir = "/first";
    d.dialogTitle = "One";
    d.filter = "Text (*.txt)|*.txt";
    d.flags = 4100;
    dialogs->files = {QString("/first/a.txt"), QString("/x/b.bmp")};
    d.showOpen();
    EXPECT_EQ(d.fileName, "/first/a.txt");
    EXPECT_EQ(d.fileTitle, "a.txt");
    d.dialogTitle = "Two";
    d.showSave();
    ASSERT_EQ(dialogs->fileRequests.size(), 2u);
    const auto& second = dialogs->fileRequests[1];
    EXPECT_EQ(second.title, "Two");
    EXPECT_EQ(second.initDir, "/first");
    EXPECT_EQ(second.filter, "Text (*.txt)");
    EXPECT_EQ(second.flags, 4100);
    EXPECT_EQ(second.fileName, "/first/a.txt");
    EXPECT_EQ(dialogs->kinds, (std::vector<QString>{"open", "save"}));
}

TEST_F(SharedDialog, CancelRaisesOnlyWhenAskedTo) {
    CommonDialog& d = CommonDialog::instance();
    d.fileName = "kept.txt";
    d.showOpen(); // no answer scripted: cancelled
    EXPECT_EQ(d.fileName, "kept.txt");
    d.cancelError = true;
    try {
        d.showSave();
        FAIL() << "a cancel must raise";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.number(), err::Cancel);
    }
    d.fontName = "Courier New";
    d.fontSize = 12;
    EXPECT_THROW(d.showFont(), PlatformError);
    EXPECT_EQ(d.fontName, "Courier New");
    EXPECT_EQ(d.fontSize, 12);
}

} // namespace
