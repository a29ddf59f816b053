#include "core/art_picture.h"
#include "core/text_files.h"
#include "support/fixture.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"

#include "ui/platform/exact_text_box.h"
#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

namespace {

class ResultWindow : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        writeFile("Tessarine.ini", "");
        main = start();
        ascii = frmAscii();
        ascii->setText("abc\r\ndef\r\n");
        ascii->show();
    }
    FrmMain* main = nullptr;
    FrmAscii* ascii = nullptr;
};

TEST_F(ResultWindow, DesignTextAndNoWrapping) {
    Forms::instance().destroyAll();
    FrmAscii* fresh = frmAscii();
    EXPECT_EQ(fresh->txt->toPlainText(), "Text1");
    EXPECT_EQ(fresh->txt->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(fresh->mnuMaximize->text(), "&Maximize");
}

TEST_F(ResultWindow, SaveAsWritesTheTextByteForByte) {
    modVars().asciiFile = path("last.txt");
    modVars().asciiPath = folder() + "/";
    dialogs->files = {path("out")};
    ascii->mnuFileSaveAs->trigger();
    ASSERT_EQ(dialogs->fileRequests.size(), 1u);
    const auto& r = dialogs->fileRequests[0];
    EXPECT_EQ(dialogs->kinds[0], "save");
    EXPECT_EQ(r.title, "Save Ascii-File as..");
    EXPECT_EQ(r.fileName, path("last.txt"));
    EXPECT_EQ(r.initDir, folder() + "/");
    EXPECT_EQ(r.filter, "Text (*.txt)");
    EXPECT_EQ(readFile("out"), QByteArray("abc\r\ndef\r\n")); // 10 bytes, no extension added
    EXPECT_EQ(modVars().asciiFile, path("out"));
    EXPECT_EQ(modVars().asciiPath, folder() + "/");
}

TEST_F(ResultWindow, UserEditsAreSavedAndUnicodeSurvives) {
    ascii->txt->setPlainText(QString::fromUtf8("\u2588\u2591\nxy"));
    dialogs->files = {path("u.txt")};
    ascii->mnuFileSaveAs_Click();
    EXPECT_EQ(readFile("u.txt"), QString::fromUtf8("\u2588\u2591\r\nxy").toUtf8());
}

TEST_F(ResultWindow, CancelledSaveAsChangesNothing) {
    modVars().asciiFile = path("last.txt");
    ascii->mnuFileSaveAs_Click();
    EXPECT_EQ(modVars().asciiFile, path("last.txt"));
    EXPECT_TRUE(modVars().asciiPath.isEmpty());
    EXPECT_FALSE(QFile::exists(path("last.txt")));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ResultWindow, FailedSaveIsReportedNotHidden) {
    writeFile("keep.txt", "earlier");
    dialogs->files = {path("nowhere/r.txt")};
    ascii->mnuFileSaveAs_Click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(path("nowhere/r.txt")));
    EXPECT_EQ(boxes[0].style, mb::Exclamation);
    EXPECT_EQ(modVars().asciiFile, path("nowhere/r.txt")) << "kept for the settings, as chosen";
    EXPECT_EQ(readFile("keep.txt"), "earlier");
}

TEST_F(ResultWindow, CopyTakesTheSelectionOnly) {
    QGuiApplication::clipboard()->setText("stale");
    ascii->mnuEditCopy_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "");
    ascii->mnuEditSelectAll->trigger();
    ascii->mnuEditCopy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "abc\r\ndef\r\n");
}

TEST_F(ResultWindow, MenuShortcutsWinOverTheTextBoxBindings) {
    for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_A),
                                    QKeySequence(Qt::CTRL | Qt::Key_I), QKeySequence(Qt::CTRL | Qt::Key_D)}) {
        QKeyEvent override(QEvent::ShortcutOverride, key[0].key(), key[0].keyboardModifiers());
        override.ignore();
        QCoreApplication::sendEvent(ascii->txt, &override);
        EXPECT_FALSE(override.isAccepted()) << key.toString().toStdString();
    }
}

TEST_F(ResultWindow, FontSelectionWarnsOnceAndAppliesEvenACancel) {
    main->txtFont->setText("DejaVu Sans Mono");
    CommonDialog::instance().fontSize = 14;
    ascii->mnuFontSelect->trigger(); // cancelled
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Changing the Font of a transformed picture can produce unexpected Results.");
    EXPECT_EQ(boxes[0].style, mb::Information);
    EXPECT_EQ(dialogs->fontRequests[0].first.name, "DejaVu Sans Mono");
    EXPECT_TRUE(dialogs->fontRequests[0].second);
    EXPECT_EQ(ascii->txt->font().family(), "DejaVu Sans Mono");
    EXPECT_DOUBLE_EQ(ascii->txt->font().pointSizeF(), 14);
    dialogs->fonts = {CommonDialog::FontChoice{"Liberation Mono", 7}};
    ascii->mnuFontSelect_Click();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ascii->txt->font().family(), "Liberation Mono");
    EXPECT_DOUBLE_EQ(ascii->txt->font().pointSizeF(), 7);
    EXPECT_EQ(main->txtFont->text(), "DejaVu Sans Mono") << "the main window's font is not touched";
}

TEST_F(ResultWindow, SizeStepsStopAtTheSmallestSize) {
    ascii->setTextFont("Courier New", 8);
    ascii->mnuFontIncrease->trigger();
    ascii->mnuFontIncrease_Click();
    EXPECT_DOUBLE_EQ(ascii->txt->font().pointSizeF(), 10);
    ascii->setTextFont("Courier New", 1.5);
    ascii->mnuFontDecrease_Click();
    EXPECT_DOUBLE_EQ(ascii->txt->font().pointSizeF(), 1.5);
}

TEST_F(ResultWindow, MaximizeCaptionFollowsTheWindowState) {
    EXPECT_EQ(ascii->mnuMaximize->text(), "[ ] Maximized");
    ascii->mnuMaximize->trigger();
    EXPECT_EQ(ascii->mnuMaximize->text(), "[x] Maximized");
    ascii->setWindowState(Qt::WindowNoState); // the title bar's restore button
    EXPECT_EQ(ascii->mnuMaximize->text(), "[ ] Maximized");
    ascii->setWindowState(Qt::WindowMaximized);
    EXPECT_EQ(ascii->mnuMaximize->text(), "[x] Maximized");
    ascii->mnuMaximize_Click();
    EXPECT_EQ(ascii->mnuMaximize->text(), "[ ] Maximized");
}

TEST_F(ResultWindow, CloseOnlyHides) {
    ascii->mnuFileClose->trigger();
    EXPECT_FALSE(ascii->isVisible());
    EXPECT_EQ(Forms::instance().find<FrmAscii>(), ascii);
    EXPECT_EQ(ascii->text(), "abc\r\ndef\r\n");
}

TEST_F(ResultWindow, TitleBarCloseUnloadsAndTheNextUseStartsAfresh) {
    ascii->setTextFont("DejaVu Sans Mono", 20);
    QPointer<FrmAscii> old(ascii);
    ascii->close(); // the close box
    settle();
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(Forms::instance().find<FrmAscii>(), nullptr);
    FrmAscii* fresh = frmAscii();
    EXPECT_EQ(fresh->text(), "Text1");
    EXPECT_NE(fresh->txt->font().pointSizeF(), 20);
}

TEST_F(ResultWindow, HelpOpensTheLocalPageThroughTheShell) {
    ascii->mnuHelp->trigger();
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_EQ(shellCalls[0].operation, "Open");
    EXPECT_EQ(shellCalls[0].file, folder() + "/help.html");
    EXPECT_EQ(shellCalls[0].parameters, "");
    EXPECT_EQ(shellCalls[0].directory, folder());
    EXPECT_EQ(shellCalls[0].show, 1);
}

TEST_F(ResultWindow, KeepsEveryCharacterExactly) {
    // Lone CR and LF, a no-break space, a tab, other controls and a character beyond the basic plane;
    // only the CR LF pairs break lines.
    const QString text = QString::fromUtf8("a\rb\nc\u00a0d\te\x01\u0081\u00ad\U0001F600\r\n\n\r\r\n");
    ascii->setText(text);
    EXPECT_EQ(ascii->text(), text);
    EXPECT_EQ(ascii->txt->blockCount(), 3) << "two line ends, and the empty line after the last";
    const QString shown = ascii->txt->document()->toRawText();
    EXPECT_EQ(shown, QString::fromUtf8("a\u240db\u240ac\u00a0d\u2409e\u2401\u25af\u25af\U0001F600\u2029"
                                       "\u240a\u240d\u2029"))
        << qPrintable(shown);
    dialogs->files = {path("exact.txt")};
    ascii->mnuFileSaveAs_Click();
    EXPECT_EQ(readFile("exact.txt"), textfile::encode(text));
    ascii->mnuEditSelectAll_Click();
    ascii->mnuEditCopy_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
}

TEST_F(ResultWindow, OnlyLineEndsBreakLinesWhenTheLineLengthIsKnown) {
    // Two lines of three characters whose middle ones are a CR and an LF from the table.
    const QString text = QStringLiteral("x\r\n\r\n") + QStringLiteral("y\r\n\r\n");
    ascii->setText(text, 3);
    EXPECT_EQ(ascii->txt->blockCount(), 3);
    EXPECT_EQ(ascii->txt->document()->firstBlock().text(), QString::fromUtf8("x\u240d\u240a"));
    EXPECT_EQ(ascii->text(), text);
}

TEST_F(ResultWindow, CopyOfAPartAndTypingNextToAPlaceholder) {
    ascii->setText(QStringLiteral("ab\rcd\r\nef\r\n"));
    QTextCursor c = ascii->txt->textCursor();
    c.setPosition(1);
    c.setPosition(6, QTextCursor::KeepAnchor); // "b", the CR, "c", "d" and the line break
    ascii->txt->setTextCursor(c);
    ascii->mnuEditCopy_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("b\rcd\r\n"));
    // Typed right after a placeholder, text is what was typed, not more of what the placeholder stands for.
    c.setPosition(3);
    ascii->txt->setTextCursor(c);
    ascii->txt->insertPlainText("XY");
    EXPECT_EQ(ascii->text(), QStringLiteral("ab\rXYcd\r\nef\r\n"));
    // The text box's own copy (its context menu) gives the exact characters too.
    ascii->txt->selectAll();
    ascii->txt->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), ascii->text());
}

TEST_F(ResultWindow, FileMenuGainsTheHtmlAndPictureSavesAfterItsEntries) {
    QStringList captions;
    for (QAction* a : ascii->mnuFile->actions())
        captions << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(captions, QStringList({"&Save as..", "-", "&Close", "Save as &HTML..", "Save as &Picture.."}));
}

TEST_F(ResultWindow, SavesAsAPageAndAsAPictureInTheBoxsFont) {
    modVars().pictureFile = path("cat.jpg");
    ascii->setText(QString::fromUtf8("<@&\u00e9\r\n.  \r\n"), 4);
    ascii->setTextFont("DejaVu Sans Mono", 11);
    dialogs->files = {path("page.html"), path("picture.png")};
    ascii->mnuFileSaveAsHtml->trigger();
    ascii->mnuFileSaveAsPicture->trigger();
    ASSERT_EQ(dialogs->fileRequests.size(), 2u);
    EXPECT_EQ(dialogs->kinds, (std::vector<QString>{"save", "save"}));
    EXPECT_EQ(dialogs->fileRequests[0].filter, "HTML (*.html)");
    EXPECT_EQ(dialogs->fileRequests[0].fileName, path("cat.html"));
    EXPECT_EQ(dialogs->fileRequests[1].filter, "Picture (*.png)");
    EXPECT_EQ(dialogs->fileRequests[1].fileName, path("cat.png"));
    EXPECT_TRUE(boxes.empty());

    const QString html = QString::fromUtf8(readFile("page.html"));
    EXPECT_TRUE(html.contains("<title>cat.jpg</title>"));
    EXPECT_TRUE(html.contains("font-family: \"DejaVu Sans Mono\", monospace; font-size: 11pt"));
    EXPECT_TRUE(html.contains(QString::fromUtf8("<pre>\n&lt;@&amp;\u00e9\n.  \n</pre>")));

    const QImage picture(path("picture.png"));
    const QSize cell = art::cellSize(ascii->txt->font());
    EXPECT_EQ(picture.size(), QSize(4 * cell.width(), 2 * cell.height()));
    EXPECT_EQ(modVars().asciiFile, QString()) << "the text file's name is not the page's";
}

TEST_F(ResultWindow, CancelledOrFailedFormSaves) {
    ascii->mnuFileSaveAsHtml_Click(); // cancelled
    ascii->mnuFileSaveAsPicture_Click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(QDir(folder()).entryList({"*.html", "*.png"}).isEmpty());
    dialogs->files = {path("nowhere/page.html"), path("nowhere/picture.png")};
    ascii->mnuFileSaveAsHtml_Click();
    ascii->mnuFileSaveAsPicture_Click();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.contains(path("nowhere/page.html"))) << qPrintable(boxes[0].text);
    EXPECT_TRUE(boxes[1].text.contains(path("nowhere/picture.png")));
    EXPECT_EQ(boxes[1].style, mb::Exclamation);
}

} // namespace
