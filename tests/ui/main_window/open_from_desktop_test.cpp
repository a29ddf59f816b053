// Opening from the desktop: a picture named on the command line, files dropped from a file manager, and
// the help page of an installed program.
#include "core/paths.h"
#include "support/fixture.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

namespace {

class OpenFromDesktop : public ProgramTest {
  protected:
    QString picture(const QString& name, QRgb colour = qRgb(10, 20, 30)) {
        QDir(folder()).mkpath(QFileInfo(name).path());
        return testpic::save(testpic::filled(12, 12, colour), path(name));
    }
    // A drag from a file manager let go over the widget; false when the widget refused it.
    static bool drop(QWidget* target, const QString& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        settle();
        return dropped.isAccepted();
    }
};

TEST_F(OpenFromDesktop, PictureArgumentIsChosenAsFromTheOpenDialog) {
    const QString earlier = picture("earlier.bmp", qRgb(0, 0, 0));
    const QString named = picture("pics/cat.bmp");
    writeIni({"picturePath=" + folder() + "/", "pictureFile=" + earlier});
    FrmMain* main = start({named});
    EXPECT_EQ(modVars().pictureFile, named) << "the argument wins over the settings";
    EXPECT_EQ(modVars().picturePath, path("pics") + "/");
    EXPECT_EQ(main->lblPicture->text(), "cat.bmp");
    EXPECT_EQ(main->picSourcePicture->surface().point(5, 5), 0x1E140A);
    EXPECT_EQ(main->status(), "Waiting.");
    EXPECT_FALSE(modVars().debugMode);
    EXPECT_TRUE(boxes.empty());
    shutDown(main);
    // Any format an installed reader knows by its content, whatever the described dialogs list.
    const QString png = picture("pics/cat.png");
    start({png});
    EXPECT_EQ(modVars().pictureFile, png);
}

TEST_F(OpenFromDesktop, RelativePictureArgumentIsRememberedInFull) {
    picture("cat.bmp");
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder());
    start({"cat.bmp"});
    QDir::setCurrent(before);
    EXPECT_EQ(modVars().pictureFile, path("cat.bmp"));
    EXPECT_EQ(modVars().picturePath, folder() + "/");
}

TEST_F(OpenFromDesktop, ArgumentsThatAreNoPictureOpenNothing) {
    const QString earlier = picture("earlier.bmp");
    writeFile("notes.txt", "@%#*+=-:. ");
    writeFile("cut.jpg", "\xFF\xD8\xFF\xE0 and then nothing");
    const struct {
        QString argument;
        QString status; // empty: a message box says why
    } rows[] = {
        {path("notes.txt"), "'" + path("notes.txt") + "' is not a picture."},
        {path("missing.jpg"), "'" + path("missing.jpg") + "' not found."},
        {folder(), "'" + folder() + "' is not a picture."},
        {path("cut.jpg"), QString()},
    };
    for (const auto& row : rows) {
        writeIni({"pictureFile=" + earlier});
        boxes.clear();
        FrmMain* main = start({row.argument});
        EXPECT_FALSE(main->startupFailed());
        EXPECT_EQ(modVars().pictureFile, earlier) << qPrintable(row.argument);
        EXPECT_EQ(main->lblPicture->text(), "earlier.bmp");
        if (row.status.isEmpty()) {
            ASSERT_EQ(boxes.size(), 1u) << qPrintable(row.argument);
            EXPECT_TRUE(boxes[0].text.contains("cannot be read as a picture")) << qPrintable(boxes[0].text);
            EXPECT_EQ(main->status(), "Waiting.");
        } else {
            EXPECT_TRUE(boxes.empty()) << qPrintable(row.argument);
            EXPECT_EQ(main->status(), row.status);
        }
        shutDown(main);
        resetModVars();
    }
}

TEST_F(OpenFromDesktop, DebugSwitchKeepsItsExactMeaningBesideAPicture) {
    const QString named = picture("cat.bmp");
    const struct {
        QStringList arguments;
        bool debug;
        bool chosen;
    } rows[] = {
        {{"-debug"}, true, false},
        {{"-debug", named}, false, true}, // more than the switch alone: no debug mode
        {{named, "-debug"}, false, true},
        {{"-DEBUG"}, false, false},
    };
    for (const auto& row : rows) {
        writeIni({});
        FrmMain* main = start(row.arguments);
        EXPECT_EQ(modVars().debugMode, row.debug) << qPrintable(row.arguments.join(' '));
        EXPECT_EQ(main->windowTitle().contains("[DEBUG]"), row.debug);
        EXPECT_EQ(modVars().pictureFile, row.chosen ? named : QString())
            << qPrintable(row.arguments.join(' '));
        shutDown(main);
        resetModVars();
    }
}

TEST_F(OpenFromDesktop, PictureDroppedOnTheWindowIsChosen) {
    writeIni({});
    FrmMain* main = start();
    const QString pic = picture("dropped.bmp");
    writeFile("notes.txt", "abc");
    EXPECT_FALSE(drop(main, path("notes.txt"))) << "only a picture is taken on the window";
    EXPECT_TRUE(modVars().pictureFile.isEmpty());
    for (QWidget* target : {static_cast<QWidget*>(main), static_cast<QWidget*>(main->txtFont)}) {
        modVars().pictureFile.clear();
        ASSERT_TRUE(drop(target, pic)) << qPrintable(target->objectName());
        EXPECT_EQ(modVars().pictureFile, pic);
        EXPECT_EQ(modVars().picturePath, folder() + "/");
        EXPECT_EQ(main->lblPicture->text(), "dropped.bmp");
    }
    EXPECT_EQ(main->txtFont->text(), "Courier New") << "a dropped file is not typed into the box";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(OpenFromDesktop, NothingDroppedDuringARunIsTaken) {
    writeIni({});
    FrmMain* main = start();
    const QString chosen = picture("chosen.bmp"), other = picture("other.bmp");
    main->txtAsciiTable->setText("#. ");
    main->choosePicture(chosen);
    // A drop while the run measures the table, where it yields to the window system.
    bool offered = false, taken = false;
    QObject::connect(main, &FrmMain::statusChanged, main, [&](const QString& text) {
        if (offered || text != "Analizing Chars..")
            return;
        offered = true;
        taken = drop(main, other) || drop(main->txtAsciiTable, other);
    });
    main->cmdStart_Click();
    ASSERT_TRUE(offered);
    EXPECT_FALSE(taken);
    EXPECT_EQ(modVars().pictureFile, chosen);
    EXPECT_EQ(main->lblPicture->text(), "chosen.bmp");
    EXPECT_EQ(main->txtAsciiTable->text(), "#. ");
}

TEST_F(OpenFromDesktop, TextFileDroppedOnTheTableBoxOpensIt) {
    writeIni({});
    FrmMain* main = start();
    QDir(folder()).mkpath("tables");
    writeFile("tables/shades.txt", "@%#*+=-:. \r\nsecond line");
    ASSERT_TRUE(drop(main->txtAsciiTable, path("tables/shades.txt")));
    EXPECT_EQ(main->txtAsciiTable->text(), "@%#*+=-:. ");
    EXPECT_EQ(main->lblAscii->text(), "shades.txt");
    EXPECT_EQ(modVars().asciiTableFile, path("tables/shades.txt"));
    EXPECT_EQ(modVars().asciiTablePath, path("tables") + "/");
    EXPECT_FALSE(main->mnuSaveAsciiTable->isEnabled());
    EXPECT_TRUE(boxes.empty()) << "an unchanged table is replaced without a question";

    // A picture let go over the table box is a picture all the same.
    const QString pic = picture("p.bmp");
    ASSERT_TRUE(drop(main->txtAsciiTable, pic));
    EXPECT_EQ(modVars().pictureFile, pic);
    EXPECT_EQ(main->txtAsciiTable->text(), "@%#*+=-:. ");
    EXPECT_FALSE(drop(main->txtAsciiTable, folder())) << "a folder is no table";
}

TEST_F(OpenFromDesktop, ChangedTableIsOfferedForSavingBeforeADropReplacesIt) {
    writeFile("old.txt", "old");
    writeFile("new.txt", "new");
    writeIni({"asciiTableFile=" + path("old.txt")});
    FrmMain* main = start();

    main->txtAsciiTable->setText("edited"); // changed: Save is available
    answers = {mb::No};
    ASSERT_TRUE(drop(main->txtAsciiTable, path("new.txt")));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Save Ascii-Table?\r\n\r\n" + path("old.txt"));
    EXPECT_EQ(boxes[0].style, mb::YesNo | mb::Question | mb::DefaultButton2);
    EXPECT_EQ(readFile("old.txt"), "old");
    EXPECT_EQ(main->txtAsciiTable->text(), "new");

    main->txtAsciiTable->setText("edited again");
    answers = {mb::Yes};
    ASSERT_TRUE(drop(main->txtAsciiTable, path("old.txt")));
    EXPECT_EQ(readFile("new.txt"), "edited again") << "saved before the other table came";
    EXPECT_EQ(main->txtAsciiTable->text(), "old");

    // A table without a file asks for a name; cancelling that keeps the work.
    main->mnuNewAsciiTable_Click();
    main->txtAsciiTable->setText("unsaved");
    boxes.clear();
    answers = {mb::Yes};
    dialogs->files = {std::nullopt};
    ASSERT_TRUE(drop(main->txtAsciiTable, path("new.txt")));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Save Ascii-Table?");
    EXPECT_EQ(dialogs->kinds.back(), "save");
    EXPECT_EQ(main->txtAsciiTable->text(), "unsaved");
    EXPECT_TRUE(main->lblAscii->text().isEmpty());
}

TEST_F(OpenFromDesktop, InstalledProgramFindsItsHelpPageInTheSharedFolder) {
    QDir(folder()).mkpath("bin");
    QDir(folder()).mkpath("share/tessarine");
    writeFile("share/tessarine/help.html", "<html></html>");
    paths::setProgramFolder(path("bin"), false);
    FrmMain* main = start();
    main->mnuHelpHelp->trigger();
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_TRUE(QFileInfo(shellCalls[0].file).isFile()) << qPrintable(shellCalls[0].file);
    EXPECT_EQ(QFileInfo(shellCalls[0].file).canonicalFilePath(), path("share/tessarine/help.html"));

    // A help page beside the program, as in the build folder or a portable copy, comes first.
    writeFile("bin/help.html", "<html></html>");
    main->mnuHelpHelp->trigger();
    ASSERT_EQ(shellCalls.size(), 2u);
    EXPECT_EQ(shellCalls[1].file, path("bin/help.html"));
}

} // namespace
