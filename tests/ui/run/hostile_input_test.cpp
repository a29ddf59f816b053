#include "support/fixture.h"
#include "support/hostile.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"
#include "ui/windows/frm_scale.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <sys/stat.h>

namespace {

class HostileInput : public ProgramTest {
  protected:
    FrmMain* ready() {
        writeFile("Tessarine.ini", "");
        FrmMain* main = start();
        main->txtAsciiTable->setText("@#+:. ");
        return main;
    }
    // After any refused input the program still converts a good picture.
    void expectStillUsable(FrmMain* main) {
        boxes.clear();
        modVars().pictureFile = testpic::save(testpic::ramp(20, 10), path("good.bmp"));
        main->cmdStart_Click();
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text.toStdString());
        EXPECT_EQ(frmAscii()->text().count("\r\n"), 10);
    }
};

TEST_F(HostileInput, BadPicturesAreReportedAndTheProgramGoesOn) {
    FrmMain* main = ready();
    for (const auto& input : hostile::badPictures(folder())) {
        SCOPED_TRACE(input.name.toStdString());
        for (bool scaled : {false, true}) {
            if (main->mnuScalePicture->isChecked() != scaled)
                main->mnuScalePicture_Click();
            boxes.clear();
            modVars().pictureFile = input.path;
            main->cmdStart_Click();
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.back().title, "Tessarine, initForms");
            EXPECT_TRUE(main->status().startsWith("ERROR: ")) << qPrintable(main->status());
            EXPECT_TRUE(main->cmdStart->isEnabled());
        }
        expectStillUsable(main);
    }
}

TEST_F(HostileInput, BadPicturesThroughTheOpenDialogKeepTheEarlierChoice) {
    FrmMain* main = ready();
    const QString good = testpic::save(testpic::ramp(8, 8), path("keep.bmp"));
    dialogs->files = {good};
    main->mnuOpenPicture_Click();
    for (const auto& input : hostile::badPictures(folder())) {
        boxes.clear();
        dialogs->files = {input.path};
        main->mnuOpenPicture_Click();
        ASSERT_EQ(boxes.size(), 1u) << input.name.toStdString();
        EXPECT_TRUE(boxes[0].text.contains("cannot be read as a picture")) << input.name.toStdString();
        EXPECT_EQ(modVars().pictureFile, good);
    }
}

TEST_F(HostileInput, PicturePathWithNonAsciiCharacters) {
    FrmMain* main = ready();
    modVars().pictureFile = hostile::unicodePicture(folder());
    main->cmdStart_Click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(frmAscii()->text().count("\r\n"), 30);
    shutDown(main);
    Forms::instance().destroyAll();
    resetModVars();
    EXPECT_EQ(start()->lblPicture->text(), QString::fromUtf8("na\u00efve \u00fcber \u732b.jpg"));
}

TEST_F(HostileInput, TableFilesAreReadOnlyToTheirFirstLineEnd) {
    // A first line past the table's bound is a table file that cannot be read: the box stays empty. A
    // long file after a short first line costs nothing.
    writeFile("big.txt", QByteArray(10 * 1024 * 1024, 'x'));
    writeFile("tail.txt", "#.\r\n" + QByteArray(10 * 1024 * 1024, 'x'));
    writeIni({"asciiTableFile=" + path("big.txt")});
    FrmMain* main = start();
    EXPECT_EQ(main->txtAsciiTable->text(), "");
    EXPECT_FALSE(main->mnuSaveAsciiTable->isEnabled());
    modVars().asciiTableFile = path("tail.txt");
    main->showAsciiTable();
    EXPECT_EQ(main->txtAsciiTable->text(), "#.");
    // A typed table is still refused past 256 characters, and a font name past its bound.
    modVars().pictureFile = testpic::save(testpic::ramp(4, 4), path("p.bmp"));
    main->txtAsciiTable->setText(QString(300, 'x'));
    main->cmdStart_Click();
    main->txtAsciiTable->setText("#.");
    main->txtFont->setText(QString(1000, 'F'));
    main->cmdStart_Click();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "The character table has 300 characters; a table holds at most 256.");
    EXPECT_EQ(boxes[1].text, "The font name is longer than 256 characters; no font is named so.");
    main->txtFont->setText("DejaVu Sans Mono");
    expectStillUsable(main);
}

TEST_F(HostileInput, OddSettingsFiles) {
    // 100000 lines: unknown keys, and a recognised one again and again.
    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += (i % 10 == 0 ? QByteArray("FontSize=") + QByteArray::number(i % 90 + 5)
                             : "key" + QByteArray::number(i) + "=v") +
                "\r\n";
    writeFile("Tessarine.ini", many);
    FrmMain* main = start();
    EXPECT_FALSE(main->startupFailed());
    EXPECT_EQ(main->txtFontSize->text(), QString::number(99990 % 90 + 5));
    EXPECT_EQ(main->status(), "Waiting.");
    Forms::instance().destroyAll();
    resetModVars();

    // A megabyte in one value, for a font name, a size and a picture.
    const QByteArray mega(1024 * 1024, 'W');
    writeFile("Tessarine.ini", "Font=" + mega + "\r\nFontSize=" + QByteArray(1024 * 1024, '9') +
                                   "\r\npictureFile=/" + mega + "\r\n");
    main = start();
    EXPECT_FALSE(main->startupFailed());
    EXPECT_EQ(main->txtFont->text().size(), mega.size());
    EXPECT_EQ(main->txtFontSize->text(), "0") << "a number too large to read is no size";
    EXPECT_EQ(main->status(), "Tessarine.ini error: pictureFile not found.");
    shutDown(main);
    EXPECT_TRUE(readFile("Tessarine.ini").contains("Font=" + mega + "\r\n"));
    Forms::instance().destroyAll();
    resetModVars();

    // Lines that end in CR only, or LF only.
    for (const QByteArray& end : {QByteArray("\r"), QByteArray("\n")}) {
        writeFile("Tessarine.ini", "Font=Alpha" + end + "FontSize=12" + end + "xScale=3" + end + "yScale=4");
        main = start();
        EXPECT_EQ(main->txtFont->text(), "Alpha");
        EXPECT_EQ(main->txtFontSize->text(), "12");
        EXPECT_EQ(frmScale()->txtVertical->text(), "4");
        Forms::instance().destroyAll();
        resetModVars();
    }
}

TEST_F(HostileInput, BinaryGarbageInTheSettingsFileEndsStartUpWithAMessage) {
    QByteArray garbage(4096, '\0');
    QRandomGenerator rng(11);
    for (auto& c : garbage)
        c = char(rng.bounded(256));
    garbage.replace('=', 'x');
    writeFile("Tessarine.ini", garbage);
    FrmMain* main = start();
    EXPECT_TRUE(main->startupFailed());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.endsWith("(5)"));
    EXPECT_EQ(readFile("Tessarine.ini"), garbage) << "a damaged file is left for the user to see";
}

TEST_F(HostileInput, SettingsFileThatIsAPipeDoesNotHangStartUp) {
    ASSERT_EQ(mkfifo(QFile::encodeName(iniPath()).constData(), 0600), 0);
    FrmMain* main = start();
    EXPECT_TRUE(main->startupFailed());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.contains("not a regular file")) << qPrintable(boxes[0].text);
}

TEST_F(HostileInput, ExtremeFactorsFontNamesAndSizes) {
    FrmMain* main = ready();
    modVars().pictureFile = testpic::save(testpic::ramp(30, 20), path("p.bmp"));
    main->mnuScalePicture_Click();
    for (const auto& [h, number] : {std::pair<QString, int>{"2147483648", 6}, {"-0", 11}, {"1e308", 6}}) {
        boxes.clear();
        frmScale()->txtHorizontal->setText(h);
        main->cmdStart_Click();
        ASSERT_EQ(boxes.size(), 1u) << qPrintable(h);
        EXPECT_TRUE(boxes[0].text.endsWith("#" + QString::number(number))) << qPrintable(boxes[0].text);
    }
    frmScale()->factor_LostFocus(frmScale()->txtHorizontal);
    EXPECT_EQ(frmScale()->txtHorizontal->text(), "1E+308");
    frmScale()->txtHorizontal->setText("2");
    main->txtFont->setText(QString(256, 'F'));
    main->txtFontSize->setText("1e308");
    EXPECT_EQ(main->txtFontSize->text(), "1E+308");
    boxes.clear();
    main->cmdStart_Click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(main->txtFontSize->text(), "99");
    EXPECT_FALSE(frmAscii()->text().isEmpty());
}

TEST_F(HostileInput, PictureOfThousandsOfScansInTheSettingsDoesNotHoldUpStartUp) {
    const QString bomb = QStringLiteral(TESSARINE_HOSTILE_DIR "/scan-bomb.jpg");
    writeIni({"pictureFile=" + bomb, "FontSize=11"});
    FrmMain* main = start();
    EXPECT_FALSE(main->startupFailed());
    EXPECT_EQ(main->status(),
              "Tessarine.ini error: pictureFile: Invalid picture (the JPEG file has more than 300 scans).");
    EXPECT_EQ(main->txtFontSize->text(), "11");
    EXPECT_TRUE(boxes.empty());
    main->txtAsciiTable->setText("#. ");
    main->cmdStart_Click();
    ASSERT_EQ(boxes.size(), 2u); // the source window's load, then the run's
    EXPECT_EQ(boxes[1].text,
              "ERROR: \r\nInvalid picture (the JPEG file has more than 300 scans)\r\n\r\n#481");
}

} // namespace
