#include "core/errors.h"
#include "support/fixture.h"
#include "ui/platform/common_dialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QFontInfo>
#include <QTemporaryDir>

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
    } catch (const err::Error& e) {
        EXPECT_EQ(e.number(), err::Cancel);
    }
    d.fontName = "Courier New";
    d.fontSize = 12;
    EXPECT_THROW(d.showFont(), err::Error);
    EXPECT_EQ(d.fontName, "Courier New");
    EXPECT_EQ(d.fontSize, 12);
}

// The names a real file dialog lists for one of the program's filters, read from its own model once the
// folder is loaded. The model is made to compare case-sensitively, as platform dialogs (GTK's among
// them) do, so only the patterns themselves can make upper-case names match.
// The names the file dialog lists in a folder with a filter, once they are `expected` (or after 20 s): the
// model reads the folder on a thread of its own and adds what it found in batches, so only the list it
// settles on can be compared.
QStringList listed(const QString& folder, const QString& filter, const QStringList& expected) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    CommonDialog::FileRequest request;
    request.initDir = folder;
    request.filter = CommonDialog::qtFilter(filter);
    request.described = filter;
    CommonDialog::prepare(dialog, request, false);
    dialog.setFilter(dialog.filter() | QDir::CaseSensitive);
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!model)
        return {"no model"};
    const QModelIndex root = model->index(folder);
    const auto names = [&] {
        QStringList out;
        for (int i = 0; i < model->rowCount(root); ++i)
            out << model->fileName(model->index(i, 0, root));
        out.sort();
        return out;
    };
    QDeadlineTimer deadline(20000);
    while (names() != expected && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return names();
}

TEST_F(SharedDialog, PatternsMatchRegardlessOfLetterCase) {
    QTemporaryDir dir;
    for (const char* name : {"IMG_0001.JPG", "photo.jpeg", "Scan.Jpg", "logo.GIF", "old.bmp", "TABLE.TXT",
                             "notes.txt", "readme.md"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QStringList pictures = {"IMG_0001.JPG", "Scan.Jpg", "logo.GIF", "old.bmp", "photo.jpeg"};
    EXPECT_EQ(listed(dir.path(), "Picture (*.bmp;*.gif;*.jpg)|*.bmp;*.gif;*.jpg", pictures), pictures);
    const QStringList texts = {"TABLE.TXT", "notes.txt"};
    EXPECT_EQ(listed(dir.path(), "Ascii (*.txt)|*.txt", texts), texts);
    EXPECT_EQ(CommonDialog::caselessFilters("Text (*.txt)"), QStringList({"Text (*.[tT][xX][tT])"}));
}

// The filter list shows the described texts, patterns and all, not a shortened description.
TEST_F(SharedDialog, FilterListShowsTheDescribedText) {
    for (const char* described :
         {"Picture (*.bmp;*.gif;*.jpg)|*.bmp;*.gif;*.jpg", "Ascii (*.txt)|*.txt", "Bitmap (*.bmp)|*.bmp"}) {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        CommonDialog::FileRequest request;
        request.filter = CommonDialog::qtFilter(described);
        request.described = described;
        CommonDialog::prepare(dialog, request, false);
        auto* list = dialog.findChild<QComboBox*>("fileTypeCombo");
        ASSERT_TRUE(list);
        EXPECT_EQ(list->itemText(0), QString(described).section(u'|', 0, 0));
    }
}

// The font dialog starts on the family the font system uses for the box's name, in its regular style:
// Courier New, not installed here, is the family that stands in for it, upright.
TEST_F(SharedDialog, FontDialogStartsOnTheBoxsFontInItsRegularStyle) {
    for (const char* name : {"Courier New", "DejaVu Sans Mono", "Liberation Mono"}) {
        const QFont preset = CommonDialog::presetFont(name, 8);
        EXPECT_EQ(preset.family(), QFontInfo(QFont(name)).family()) << name;
        QFontDialog dialog(preset);
        dialog.setOption(QFontDialog::MonospacedFonts);
        const QFont shown = dialog.currentFont();
        EXPECT_EQ(shown.family(), preset.family()) << name;
        EXPECT_EQ(shown.style(), QFont::StyleNormal) << name << ": " << shown.styleName().toStdString();
        EXPECT_EQ(shown.weight(), QFont::Normal) << name;
    }
}

} // namespace
