// Where the settings live: beside a program whose folder the user can write, else in the user's own
// configuration folder, starting from a system-wide file beside the program until the user's exists.
#include "core/paths.h"
#include "support/fixture.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_scale.h"

#include <QDir>
#include <QFile>

namespace {

class SettingsLocation : public ProgramTest {
  protected:
    QString ownIni() const { return configFolder() + "/tessarine/Tessarine.ini"; }
    QString readOwn() const {
        QFile f(ownIni());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // One session: start, let the test change something, quit.
    void session(const std::function<void(FrmMain*)>& change) {
        FrmMain* main = start();
        ASSERT_FALSE(main->startupFailed());
        change(main);
        shutDown(main);
        Forms::instance().destroyAll();
        settle();
        resetModVars();
    }
};

TEST_F(SettingsLocation, WritableProgramFolderKeepsTheFileBesideTheProgram) {
    session([](FrmMain*) { frmScale()->txtHorizontal->setText("3"); });
    EXPECT_TRUE(QString::fromLatin1(readFile("Tessarine.ini")).contains("\r\nxScale=3\r\n"));
    EXPECT_FALSE(QFileInfo::exists(configFolder() + "/tessarine")) << "nothing in the user's folder";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SettingsLocation, ReadOnlyProgramFolderRemembersInTheUsersFolder) {
    paths::setProgramFolder(folder(), false);
    session([&](FrmMain* main) {
        EXPECT_EQ(modVars().iniFile, ownIni());
        EXPECT_EQ(main->status(), "'" + ownIni() + "' not found.");
        frmScale()->txtHorizontal->setText("3");
    });
    EXPECT_TRUE(boxes.empty()) << qPrintable(boxes.empty() ? QString() : boxes.front().text);
    EXPECT_TRUE(readOwn().contains("\r\nxScale=3\r\n"));
    EXPECT_FALSE(QFileInfo::exists(iniPath())) << "nothing written beside the program";

    session([&](FrmMain* main) {
        EXPECT_EQ(main->status(), "Waiting.");
        EXPECT_EQ(frmScale()->txtHorizontal->text(), "3") << "remembered";
    });
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SettingsLocation, FileBesideAReadOnlyProgramIsTheStartingPoint) {
    writeIni({"xScale=5", "Font=Verdana"});
    const QByteArray systemWide = readFile("Tessarine.ini");
    paths::setProgramFolder(folder(), false);
    session([](FrmMain* main) {
        EXPECT_EQ(main->status(), "Waiting.");
        EXPECT_EQ(frmScale()->txtHorizontal->text(), "5");
        EXPECT_EQ(main->txtFont->text(), "Verdana");
        frmScale()->txtVertical->setText("9");
    });
    EXPECT_EQ(readFile("Tessarine.ini"), systemWide) << "the system-wide file is only read";
    EXPECT_TRUE(readOwn().contains("\r\nxScale=5\r\nyScale=9\r\n"));
    EXPECT_TRUE(boxes.empty());

    // From now on the user's own file counts, whatever the system-wide one says.
    writeIni({"xScale=7"});
    session([](FrmMain*) {
        EXPECT_EQ(frmScale()->txtHorizontal->text(), "5");
        EXPECT_EQ(frmScale()->txtVertical->text(), "9");
    });
}

TEST_F(SettingsLocation, UsersFolderThatCannotBeMadeIsReportedAtQuit) {
    // The configuration folder lies under a plain file, so neither it nor the settings can be made.
    writeFile("blocker", "x");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("blocker")));
    paths::setProgramFolder(folder(), false);
    FrmMain* main = start();
    EXPECT_FALSE(main->startupFailed());
    EXPECT_EQ(main->status(), "'" + path("blocker") + "/tessarine/Tessarine.ini' not found.");
    shutDown(main);
    ASSERT_EQ(boxes.size(), 12u) << "as for any settings file that cannot be written";
    for (const auto& b : boxes)
        EXPECT_TRUE(b.text.startsWith("ERROR:\r\n")) << qPrintable(b.text);
    EXPECT_FALSE(QFileInfo::exists(iniPath()));
}

// A package's starting settings in the configuration folders ($XDG_CONFIG_DIRS): an installed program's
// first start has the shipped table; a portable copy, whose folder can be written, keeps its own way.
TEST_F(SettingsLocation, ConfigurationFoldersHoldThePackagesStartingSettings) {
    writeFile("table.txt", "@#. ");
    QDir(folder()).mkpath("xdg/tessarine");
    writeFile("xdg/tessarine/Tessarine.ini", "asciiTablePath=" + folder().toUtf8() + "/\r\nasciiTableFile=" +
                                                 path("table.txt").toUtf8() + "\r\nFontSize=10\r\n");
    const QByteArray before = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(path("nowhere") + ":" + path("xdg")));
    session([](FrmMain* main) {
        EXPECT_EQ(main->status(), "'" + modVars().iniFile + "' not found.") << "portable: as described";
        EXPECT_EQ(main->txtAsciiTable->text(), "");
    });
    QFile::remove(iniPath());
    paths::setProgramFolder(folder(), false);
    session([](FrmMain* main) {
        EXPECT_EQ(main->status(), "Waiting.");
        EXPECT_EQ(main->txtAsciiTable->text(), "@#. ");
        EXPECT_EQ(main->txtFontSize->text(), "10");
    });
    EXPECT_TRUE(readOwn().contains("\r\nasciiTableFile=" + path("table.txt") + "\r\n"));
    // A file beside the program comes first.
    QFile::remove(ownIni());
    writeIni({"FontSize=12"});
    session([](FrmMain* main) { EXPECT_EQ(main->txtFontSize->text(), "12"); });
    if (before.isNull())
        qunsetenv("XDG_CONFIG_DIRS");
    else
        qputenv("XDG_CONFIG_DIRS", before);
    EXPECT_TRUE(boxes.empty());
}

} // namespace
