#include "core/paths.h"
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
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>

namespace {

using StartUp = ProgramTest;

TEST_F(StartUp, CaptionCarriesVersionAndOnlyExactDebugSwitch) {
    const std::pair<QStringList, bool> rows[] = {
        {{}, false}, {{"-debug"}, true}, {{"-Debug"}, false}, {{"-debug", "x"}, false}, {{"debug"}, false}};
    for (const auto& [args, debug] : rows) {
        FrmMain* main = start(args);
        const QString caption = main->windowTitle();
        const QString expectedStart =
            debug ? "Tessarine (Lumagraf) [DEBUG] 0.2 build 17" : "Tessarine (Lumagraf) 0.2 build 17";
        EXPECT_TRUE(caption.startsWith(expectedStart))
            << qPrintable(args.join(' ')) << ": " << qPrintable(caption);
        EXPECT_GT(caption.size(), expectedStart.size()) << "a credit line follows";
        EXPECT_EQ(modVars().debugMode, debug) << qPrintable(args.join(' '));
        Forms::instance().destroyAll();
        resetModVars();
    }
}

TEST_F(StartUp, WindowStartsAtItsDesignedOuterSize) {
    FrmMain* main = start();
    EXPECT_EQ(main->widthTwips(), 8000 / 15 * 15); // 533 pixels
    EXPECT_EQ(main->heightTwips(), 6495);          // 433 pixels
    EXPECT_EQ(main->cmdStart->text(), "&Start");
    EXPECT_FALSE(main->cmdStop->isEnabled());
    EXPECT_EQ(main->txtFont->text(), "Courier New");
    EXPECT_EQ(main->txtFontSize->text(), "8");
}

TEST_F(StartUp, FirstStartCreatesAnEmptySettingsFile) {
    FrmMain* main = start();
    EXPECT_FALSE(main->startupFailed());
    EXPECT_TRUE(QFile::exists(iniPath()));
    EXPECT_EQ(QFileInfo(iniPath()).size(), 0);
    EXPECT_EQ(main->status(), "'" + iniPath() + "' not found.");
    EXPECT_EQ(modVars().iniFile, iniPath());
    EXPECT_TRUE(modVars().pictureFile.isEmpty());
    EXPECT_TRUE(modVars().asciiTableFile.isEmpty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(StartUp, EmptySettingsFileLeavesWaiting) {
    writeFile("Tessarine.ini", "");
    EXPECT_EQ(start()->status(), "Waiting.");
}

TEST_F(StartUp, LineWithoutEqualsSignEndsTheProgram) {
    for (const QByteArray& content :
         {QByteArray("Font=Arial\r\n\r\nFontSize=9\r\n"), QByteArray("garbage\r\n")}) {
        writeFile("Tessarine.ini", content);
        FrmMain* main = start();
        EXPECT_TRUE(main->startupFailed());
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].title, "Tessarine, init");
        EXPECT_EQ(boxes[0].style, mb::Exclamation);
        EXPECT_EQ(boxes[0].text, "ERROR:\r\nInvalid procedure call or argument\r\n\r\n(5)");
        EXPECT_EQ(boxes[1].text, "Tessarine can't be executed.");
        EXPECT_EQ(boxes[1].style, mb::Critical);
        EXPECT_EQ(readFile("Tessarine.ini"), content); // nothing written on this path
        Forms::instance().destroyAll();
        resetModVars();
        boxes.clear();
    }
}

TEST_F(StartUp, MissingFolderOrFileInALineIsReportedAndReadingGoesOn) {
    QDir(folder()).mkpath("pics");
    for (const QString& missing : {path("gone/cat.bmp"), path("pics/cat.bmp")}) {
        const QStringList lines = {"pictureFile=" + missing, "Font=Arial", "FontSize=12"};
        writeIni(lines);
        const QByteArray before = readFile("Tessarine.ini");
        FrmMain* main = start();
        EXPECT_FALSE(main->startupFailed());
        EXPECT_EQ(main->status(), "Tessarine.ini error: pictureFile not found.");
        EXPECT_EQ(main->txtFont->text(), "Arial");
        EXPECT_EQ(main->txtFontSize->text(), "12");
        EXPECT_EQ(modVars().pictureFile, missing);
        EXPECT_EQ(readFile("Tessarine.ini"), before); // never re-created while being read
        EXPECT_TRUE(boxes.empty());
        Forms::instance().destroyAll();
        resetModVars();
    }
}

TEST_F(StartUp, UnreadablePictureDoesNotLockTheUserOut) {
    writeFile("broken.jpg", "this is no picture");
    writeIni({"pictureFile=" + path("broken.jpg"), "FontSize=11"});
    FrmMain* main = start();
    EXPECT_FALSE(main->startupFailed());
    EXPECT_EQ(main->status(), "Tessarine.ini error: pictureFile: Invalid picture.");
    EXPECT_EQ(main->txtFontSize->text(), "11");
}

TEST_F(StartUp, SettingsFolderThatCannotHoldTheFile) {
    // A portable program's folder that is gone: the settings file can neither be read nor created.
    paths::setProgramFolder(path("vanished"), true);
    FrmMain* main = start();
    EXPECT_FALSE(main->startupFailed());
    EXPECT_EQ(main->status(), "'" + path("vanished") + "/Tessarine.ini' not found.");
    shutDown(main);
    ASSERT_EQ(boxes.size(), 12u); // the failed open, then each of the eleven lines
    for (const auto& b : boxes) {
        EXPECT_EQ(b.title, "Tessarine");
        EXPECT_EQ(b.style, mb::OkOnly);
        EXPECT_TRUE(b.text.startsWith("ERROR:\r\n")) << qPrintable(b.text);
    }
}

TEST_F(StartUp, UnreadableSettingsFileEndsTheProgram) {
    QDir(folder()).mkpath("Tessarine.ini"); // a folder where the file should be
    FrmMain* main = start();
    EXPECT_TRUE(main->startupFailed());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.endsWith("(75)"));
    Forms::instance().destroyAll();
    boxes.clear();
    // A file far beyond what eleven settings take is not read into memory: refused by its size.
    QDir(folder()).rmdir("Tessarine.ini");
    QFile huge(path("Tessarine.ini"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(100) << 20));
    huge.close();
    EXPECT_TRUE(start()->startupFailed());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.endsWith("(7)")) << qPrintable(boxes[0].text);
}

TEST_F(StartUp, ShutDownUnloadsNewestFirstButTheScaleWindowOnlyHides) {
    testpic::save(testpic::ramp(8, 8), path("p.bmp"));
    writeIni({"pictureFile=" + path("p.bmp"), "xScale=3", "yScale=4"});
    FrmMain* main = start();
    main->mnuScalePicture_Click(); // shows the scale window
    main->txtAsciiTable->setText("#. ");
    FrmScale* scale = frmScale();
    ASSERT_TRUE(scale->isVisible());
    main->cmdStart_Click();
    ASSERT_NE(Forms::instance().find<FrmSource>(), nullptr);
    ASSERT_NE(Forms::instance().find<FrmBuffer>(), nullptr);
    shutDown(main);
    EXPECT_TRUE(boxes.empty()) << "the scale window asks nothing while the program closes";
    EXPECT_EQ(Forms::instance().find<FrmSource>(), nullptr);
    EXPECT_EQ(Forms::instance().find<FrmBuffer>(), nullptr);
    EXPECT_EQ(Forms::instance().find<FrmScale>(), scale);
    EXPECT_FALSE(scale->isVisible());
    const QString ini = QString::fromLatin1(readFile("Tessarine.ini"));
    EXPECT_TRUE(ini.contains("\r\nxScale=3\r\nyScale=4\r\n"));
}

TEST_F(StartUp, QuitButtonAndMenuEntryBothShutDown) {
    for (int route = 0; route < 2; ++route) {
        FrmMain* main = start();
        QPointer<FrmMain> guard(main);
        main->txtFont->setText(route == 0 ? "Button" : "Menu");
        if (route == 0)
            main->cmdQuit_Click();
        else
            main->mnuQuit->trigger();
        settle();
        EXPECT_TRUE(guard.isNull());
        EXPECT_TRUE(QString::fromLatin1(readFile("Tessarine.ini"))
                        .contains(route == 0 ? "Font=Button\r\n" : "Font=Menu\r\n"));
        Forms::instance().destroyAll();
        resetModVars();
    }
}

} // namespace
