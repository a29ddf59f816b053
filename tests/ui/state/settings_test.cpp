#include "core/errors.h"
#include "support/fixture.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_scale.h"

#include <QAction>
#include <QLabel>

namespace {

using Settings = ProgramTest;

TEST_F(Settings, RoundTripRestoresEveryValue) {
    writeFile("table.txt", "@#. ");
    testpic::save(testpic::ramp(30, 20), path("cat.bmp"));
    writeFile("Tessarine.ini", "");
    FrmMain* main = start();
    auto& vars = modVars();
    vars.asciiTablePath = folder() + "/";
    vars.asciiTableFile = path("table.txt");
    vars.picturePath = folder() + "/";
    vars.pictureFile = path("cat.bmp");
    vars.asciiPath = folder() + "/";
    vars.asciiFile = path("result.txt");
    frmScale()->txtHorizontal->setText("4");
    frmScale()->txtVertical->setText("7");
    main->txtFont->setText("DejaVu Sans Mono");
    main->txtFontSize->setText("10.5");
    shutDown(main);

    const QByteArray expected = "version=0.2.17\r\n"
                                "asciiTablePath=" +
                                folder().toUtf8() +
                                "/\r\n"
                                "asciiTableFile=" +
                                path("table.txt").toUtf8() +
                                "\r\n"
                                "picturePath=" +
                                folder().toUtf8() +
                                "/\r\n"
                                "pictureFile=" +
                                path("cat.bmp").toUtf8() +
                                "\r\n"
                                "xScale=4\r\n"
                                "yScale=7\r\n"
                                "Font=DejaVu Sans Mono\r\n"
                                "FontSize=10.5\r\n"
                                "asciiPath=" +
                                folder().toUtf8() +
                                "/\r\n"
                                "asciiFile=" +
                                path("result.txt").toUtf8() + "\r\n";
    EXPECT_EQ(readFile("Tessarine.ini"), expected);

    Forms::instance().destroyAll();
    resetModVars();
    main = start();
    EXPECT_EQ(main->status(), "Waiting.");
    EXPECT_EQ(main->txtAsciiTable->text(), "@#. ");
    EXPECT_EQ(main->lblAscii->text(), "table.txt");
    EXPECT_FALSE(main->mnuSaveAsciiTable->isEnabled());
    EXPECT_EQ(main->lblPicture->text(), "cat.bmp");
    EXPECT_EQ(main->picSourcePicture->surface().point(3, 2), 0x050203);
    EXPECT_EQ(frmScale()->txtHorizontal->text(), "4");
    EXPECT_EQ(frmScale()->txtVertical->text(), "7");
    EXPECT_FALSE(frmScale()->isVisible());
    EXPECT_EQ(main->txtFont->text(), "DejaVu Sans Mono");
    EXPECT_EQ(main->txtFontSize->text(), "10.5");
    EXPECT_EQ(modVars().asciiFile, path("result.txt"));
    EXPECT_EQ(modVars().asciiPath, folder() + "/");
    EXPECT_EQ(modVars().asciiTablePath, folder() + "/");
}

TEST_F(Settings, KeysAreExactAndLinesApplyInOrder) {
    writeIni({"font=Ignored", "Font =Ignored too", "version=9.9.9", "Font=First", "Font=Second",
              "asciiFile=C:=D", "FontSize=12abc"});
    FrmMain* main = start();
    EXPECT_EQ(main->status(), "Waiting.");
    EXPECT_EQ(main->txtFont->text(), "Second");
    EXPECT_EQ(modVars().asciiFile, "C:=D");
    EXPECT_EQ(main->txtFontSize->text(), "12"); // the size box cleans what it is given
}

TEST_F(Settings, EmptyValuesClearPictureAndTable) {
    writeFile("t.txt", "abc");
    testpic::save(testpic::filled(4, 4, qRgb(0, 0, 0)), path("p.bmp"));
    writeIni({"asciiTableFile=" + path("t.txt"), "pictureFile=" + path("p.bmp"),
              "asciiTableFile=", "pictureFile="});
    FrmMain* main = start();
    EXPECT_EQ(main->txtAsciiTable->text(), "");
    EXPECT_EQ(main->lblAscii->text(), "");
    EXPECT_EQ(main->lblPicture->text(), "");
    EXPECT_NE(main->picSourcePicture->surface().point(0, 0), 0); // the black picture is gone
}

TEST_F(Settings, TableFileLoadsOnlyItsFirstLine) {
    writeFile("multi.txt", "ab\r\ncd");
    writeFile("cr.txt", "\rxyz");
    writeIni({"asciiTableFile=" + path("multi.txt")});
    EXPECT_EQ(start()->txtAsciiTable->text(), "ab");
    Forms::instance().destroyAll();
    writeIni({"asciiTableFile=" + path("cr.txt")});
    EXPECT_EQ(start()->txtAsciiTable->text(), "");
    Forms::instance().destroyAll();
    writeIni({"asciiTableFile=" + path("missing.txt")});
    FrmMain* main = start();
    EXPECT_EQ(main->txtAsciiTable->text(), ""); // unreadable: empty, no message
    EXPECT_EQ(main->status(), "Waiting.");
}

TEST_F(Settings, ReadOnlySettingsFileStaysAsItIsForEveryUser) {
    // Twelve boxes and the file unchanged, its mode too: root, whom the system lets write anything, is
    // held by the file's mode as well.
    writeIni({"FontSize=11"});
    QFile::setPermissions(path("Tessarine.ini"),
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray before = readFile("Tessarine.ini");
    FrmMain* main = start();
    main->txtFontSize->setText("12");
    shutDown(main);
    EXPECT_EQ(boxes.size(), 12u);
    EXPECT_EQ(readFile("Tessarine.ini"), before);
    EXPECT_EQ(QFile::permissions(path("Tessarine.ini")) & 0x7077, // the mode's bits, not this user's rights
              QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

TEST_F(Settings, UnicodeValuesSurviveTheRoundTrip) {
    writeFile("Tessarine.ini", "");
    FrmMain* main = start();
    main->txtFont->setText(QString::fromUtf8("F\u00fcnf \u2588"));
    shutDown(main);
    EXPECT_TRUE(readFile("Tessarine.ini").contains(QString::fromUtf8("Font=F\u00fcnf \u2588\r\n").toUtf8()));
    Forms::instance().destroyAll();
    resetModVars();
    EXPECT_EQ(start()->txtFont->text(), QString::fromUtf8("F\u00fcnf \u2588"));
}

} // namespace
