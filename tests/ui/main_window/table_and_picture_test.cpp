#include "support/fixture.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/common_dialog.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

namespace {

using MainCommands = StartedProgram;

TEST_F(MainCommands, OpenPictureTakesNameFolderLabelAndPreview) {
    QDir(folder()).mkpath("pics");
    const QString pic = testpic::save(testpic::filled(30, 20, qRgb(10, 20, 30)), path("pics/cat.bmp"));
    modVars().picturePath = path("pics") + "/";
    dialogs->files = {pic};
    main->mnuOpenPicture->trigger();
    ASSERT_EQ(dialogs->fileRequests.size(), 1u);
    const auto& r = dialogs->fileRequests[0];
    EXPECT_EQ(dialogs->kinds[0], "open");
    EXPECT_EQ(r.title, "Select Picture..");
    EXPECT_EQ(r.initDir, path("pics") + "/");
    EXPECT_EQ(r.filter, "Picture (*.bmp *.gif *.jpg)");
    EXPECT_EQ(r.flags, 4100);
    EXPECT_EQ(r.fileName, "");
    EXPECT_EQ(modVars().pictureFile, pic);
    EXPECT_EQ(modVars().picturePath, path("pics") + "/");
    EXPECT_EQ(main->lblPicture->text(), "cat.bmp");
    EXPECT_EQ(main->picSourcePicture->surface().point(5, 5), 0x1E140A);
}

TEST_F(MainCommands, CancelledOrUnreadablePictureLeavesTheEarlierChoice) {
    const QString good = testpic::save(testpic::filled(8, 8, qRgb(0, 0, 0)), path("good.bmp"));
    writeFile("bad.jpg", "no picture here");
    dialogs->files = {good, std::nullopt, path("bad.jpg")};
    main->cmdSelectPic_Click();
    main->cmdSelectPic_Click(); // cancelled
    EXPECT_TRUE(boxes.empty());
    main->cmdSelectPic_Click(); // not a picture
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(path("bad.jpg"))) << qPrintable(boxes[0].text);
    EXPECT_TRUE(boxes[0].text.contains("Invalid picture"));
    EXPECT_EQ(boxes[0].style, mb::Exclamation);
    EXPECT_EQ(modVars().pictureFile, good);
    EXPECT_EQ(main->lblPicture->text(), "good.bmp");
    EXPECT_EQ(main->picSourcePicture->surface().point(1, 1), 0);
}

TEST_F(MainCommands, EmptyPictureFolderKeepsTheDialogsLastFolder) {
    CommonDialog::instance().initDir = "/left/by/the/table/dialog";
    main->mnuOpenPicture_Click();
    EXPECT_EQ(dialogs->fileRequests.at(0).initDir, "/left/by/the/table/dialog");
}

TEST_F(MainCommands, TableOpensThroughMenuAndButtonAlike) {
    writeFile("t1.txt", "ab\r\ncd");
    writeFile("t2.txt", "xyz");
    dialogs->files = {path("t1.txt"), path("t2.txt")};
    main->mnuOpenAsciiTable->trigger();
    EXPECT_EQ(main->txtAsciiTable->text(), "ab");
    EXPECT_EQ(dialogs->fileRequests[0].title, "Select Ascii-Table..");
    EXPECT_EQ(dialogs->fileRequests[0].filter, "Ascii (*.txt)");
    main->cmdSelectAscii_Click();
    EXPECT_EQ(main->txtAsciiTable->text(), "xyz");
    EXPECT_EQ(main->lblAscii->text(), "t2.txt");
    EXPECT_EQ(modVars().asciiTableFile, path("t2.txt"));
    EXPECT_EQ(modVars().asciiTablePath, folder() + "/");
    EXPECT_EQ(dialogs->fileRequests[1].initDir, folder() + "/");
    EXPECT_FALSE(main->mnuSaveAsciiTable->isEnabled());
}

TEST_F(MainCommands, SaveWritesTheBoxExactlyAndDisablesSave) {
    main->txtAsciiTable->setText("abc");
    EXPECT_TRUE(main->mnuSaveAsciiTable->isEnabled());
    dialogs->files = {path("abc.txt")};
    main->mnuSaveAsciiTable->trigger(); // no file yet: asks for a name
    EXPECT_EQ(dialogs->kinds.at(0), "save");
    EXPECT_EQ(dialogs->fileRequests[0].title, "Save Ascii-Table as..");
    EXPECT_EQ(dialogs->fileRequests[0].fileName, "");
    EXPECT_EQ(dialogs->fileRequests[0].filter, "Text (*.txt)");
    EXPECT_EQ(readFile("abc.txt"), "abc");
    EXPECT_EQ(main->lblAscii->text(), "abc.txt");
    EXPECT_EQ(modVars().asciiTablePath, folder() + "/");
    EXPECT_FALSE(main->mnuSaveAsciiTable->isEnabled());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainCommands, SaveOfANamedTableAsksFirst) {
    writeFile("t.txt", "old");
    modVars().asciiTableFile = path("t.txt");
    main->lblAscii->setText("t.txt");
    main->txtAsciiTable->setText("new");
    answers = {mb::No, mb::Yes};
    main->mnuSaveAsciiTable_Click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Save Ascii-Table?\r\n\r\n" + path("t.txt"));
    EXPECT_EQ(boxes[0].style, mb::YesNo | mb::Question | mb::DefaultButton2);
    EXPECT_EQ(readFile("t.txt"), "old");
    EXPECT_TRUE(main->mnuSaveAsciiTable->isEnabled());
    main->mnuSaveAsciiTable_Click();
    EXPECT_EQ(readFile("t.txt"), "new");
    EXPECT_FALSE(main->mnuSaveAsciiTable->isEnabled());
    EXPECT_TRUE(dialogs->kinds.empty());
}

TEST_F(MainCommands, NewThenSaveAsksForAName) {
    modVars().asciiTableFile = path("t.txt");
    modVars().asciiTablePath = folder() + "/";
    main->lblAscii->setText("t.txt");
    main->txtAsciiTable->setText("q");
    main->mnuNewAsciiTable->trigger();
    EXPECT_EQ(main->txtAsciiTable->text(), "");
    EXPECT_EQ(main->lblAscii->text(), "");
    EXPECT_TRUE(modVars().asciiTableFile.isEmpty());
    EXPECT_TRUE(modVars().asciiTablePath.isEmpty());
    main->mnuSaveAsciiTable_Click(); // cancelled
    EXPECT_EQ(dialogs->kinds, std::vector<QString>{"save"});
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(modVars().asciiTableFile.isEmpty());
}

TEST_F(MainCommands, SaveAsProposesTheCurrentName) {
    main->lblAscii->setText("mine.txt");
    main->txtAsciiTable->setText("#+");
    dialogs->files = {path("other")};
    main->mnuSaveAsAsciiTable->trigger();
    EXPECT_EQ(dialogs->fileRequests[0].fileName, "mine.txt");
    EXPECT_EQ(readFile("other"), "#+");
    EXPECT_EQ(main->lblAscii->text(), "other");
}

TEST_F(MainCommands, FillSavesAllSingleByteCodesAndReloadsUpToTheFirstLineEnd) {
    main->mnuAsciiTableFill->trigger();
    const QString table = main->txtAsciiTable->text();
    ASSERT_EQ(table.size(), 255);
    EXPECT_EQ(table.at(0), QChar(1));
    EXPECT_EQ(table.at(0x80 - 1), QChar(0x20AC)); // Windows-1252 code 128 is the euro sign
    EXPECT_TRUE(main->mnuSaveAsciiTable->isEnabled());
    dialogs->files = {path("all.txt"), path("all.txt")};
    main->mnuSaveAsciiTable_Click();
    QByteArray expected;
    for (int c = 1; c <= 255; ++c)
        expected.append(char(c));
    EXPECT_EQ(readFile("all.txt"), expected);
    main->mnuOpenAsciiTable_Click();
    // A line ends at CR, CR LF or LF: codes 1 to 9 stand before the line feed (code 10).
    EXPECT_EQ(main->txtAsciiTable->text().size(), 9);
}

TEST_F(MainCommands, UnicodeTableSurvivesSaveAndReload) {
    const QString blocks = QString::fromUtf8("\u2588\u2593\u2592\u2591 ");
    main->txtAsciiTable->setText(blocks);
    dialogs->files = {path("blocks.txt"), path("blocks.txt")};
    main->mnuSaveAsAsciiTable_Click();
    EXPECT_EQ(readFile("blocks.txt"), blocks.toUtf8());
    main->mnuNewAsciiTable_Click();
    main->mnuOpenAsciiTable_Click();
    EXPECT_EQ(main->txtAsciiTable->text(), blocks);
}

TEST_F(MainCommands, UnwritableTableFileIsReportedAndSaveStaysAvailable) {
    main->txtAsciiTable->setText("abc");
    dialogs->files = {path("missing-folder/t.txt")};
    main->mnuSaveAsAsciiTable_Click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(path("missing-folder/t.txt")));
    EXPECT_TRUE(boxes[0].text.contains("Path not found"));
    EXPECT_TRUE(main->mnuSaveAsciiTable->isEnabled());
    EXPECT_FALSE(QFile::exists(path("missing-folder/t.txt")));
}

TEST_F(MainCommands, TypingLimitCountsCharactersNotHalves) {
    // 255 emoji are 510 UTF-16 units and still room for one more character.
    const QString emoji = QString::fromUtf8("\U0001F600");
    main->txtAsciiTable->setText(emoji.repeated(255));
    main->txtAsciiTable->end(false);
    QKeyEvent b(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
    QKeyEvent c(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, "c");
    QCoreApplication::sendEvent(main->txtAsciiTable, &b);
    QCoreApplication::sendEvent(main->txtAsciiTable, &c);
    EXPECT_EQ(main->txtAsciiTable->text(), emoji.repeated(255) + "b");
}

TEST_F(MainCommands, TableBoxTakesAtMost256TypedCharacters) {
    main->txtAsciiTable->setText(QString(255, 'a'));
    QKeyEvent b(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
    QKeyEvent c(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, "c");
    main->txtAsciiTable->end(false);
    QCoreApplication::sendEvent(main->txtAsciiTable, &b);
    QCoreApplication::sendEvent(main->txtAsciiTable, &c);
    EXPECT_EQ(main->txtAsciiTable->text().size(), 256);
    EXPECT_TRUE(main->txtAsciiTable->text().endsWith("ab"));
    QGuiApplication::clipboard()->setText(QString(50, 'p'));
    main->txtAsciiTable->setText(QString(230, 'a'));
    main->txtAsciiTable->end(false);
    main->txtAsciiTable->paste();
    EXPECT_EQ(main->txtAsciiTable->text().size(), 230) << "a paste past the limit is refused";
    main->txtAsciiTable->setText(QString(300, 'x')); // the program may set any text
    EXPECT_EQ(main->txtAsciiTable->text().size(), 300);
    QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QCoreApplication::sendEvent(main->txtAsciiTable, &backspace);
    EXPECT_EQ(main->txtAsciiTable->text().size(), 299) << "and the user may shorten it";
}

TEST_F(MainCommands, ShowTableWithSelectedFontFollowsTheFontBox) {
    main->txtFont->setText("DejaVu Sans Mono");
    main->mnuAsciiTableShowFont->trigger();
    EXPECT_TRUE(main->mnuAsciiTableShowFont->isChecked());
    EXPECT_TRUE(modVars().showTableInFont);
    EXPECT_EQ(main->txtAsciiTable->font().family(), "DejaVu Sans Mono");
    main->txtFont->setText("Liberation Mono");
    EXPECT_EQ(main->txtAsciiTable->font().family(), "Liberation Mono");
    main->mnuAsciiTableShowFont->trigger();
    EXPECT_FALSE(main->mnuAsciiTableShowFont->isChecked());
    EXPECT_FALSE(modVars().showTableInFont);
    EXPECT_EQ(main->txtAsciiTable->font().family(), "Verdana");
    EXPECT_DOUBLE_EQ(main->txtAsciiTable->font().pointSizeF(), 6.75);
    main->txtFont->setText("Courier New");
    EXPECT_EQ(main->txtAsciiTable->font().family(), "Verdana");
}

} // namespace
