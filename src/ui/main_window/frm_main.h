#pragma once

// The main window and how the program fits together:
// - Program state lives in modVars() (state/mod_vars.h); the settings file is read by init() at start-up
//   and written by writeIni() at shut-down (frm_main_settings.cpp, through core/settings_file.h, the plain
//   layer's settings lines in QString).
// - Every window is a Form, created and loaded on first use through Forms (platform/forms.h); the
//   accessors frmScale(), frmSource(), ... below stand for the program's single instances.
// - A conversion runs in cmdStart_Click (frm_main_run.cpp) on the user-interface thread; its heavy
//   lifting is done by the kernels, which know nothing of windows or files, through the core.
// - Handlers keep the names of the events they answer (cmdStart_Click, txtFontSize_Change, ...), so
//   tests drive the program exactly as a user's clicks and keys do. This class's methods live in the
//   frm_main*.cpp files beside this header, one file a concern.

#include "kernels/character_choice.h"
#include "ui/platform/form.h"

#include <QHash>
#include <QStringList>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class BarShape;
class FrameBox;
class LineShape;
class SurfaceWidget;
class TextBox;
class FrmScale;
class FrmSource;
class FrmBuffer;
namespace err {
class Error;
}

class FrmMain : public Form {
    Q_OBJECT
  public:
    FrmMain();

    // The arguments after the program's name; set before the window is created. Their text, joined by
    // blanks, is the command line that "-debug" is compared with; the first other argument names a
    // picture to start with.
    static void setCommandLine(const QStringList& arguments);

    // True when start-up met an error that ends the program; the window is then never shown.
    bool startupFailed() const { return startupFailed_; }

    // Start-up and settings.
    void init();
    void setIniVars(QString& dummy);
    void writeIni();
    // Writes the settings as writeIni does, reporting a failure on standard error rather than in a
    // window: for a program whose display is gone. Nothing is written twice, nor after a failed start.
    void writeIniWithoutDisplay();

    // Conversion run.
    void cmdStart_Click();
    bool initForms();
    void calcBuffer();
    void calcChars();
    void transformPic();
    void disableAll();
    void enableAll();

    // Picture and file dialogs.
    QString selectFile(const QString& title, const QString& path = QString(),
                       const QString& filters = QString());
    void mnuOpenPicture_Click();
    void cmdSelectPic_Click();
    // Takes a picture as the Open dialog's choice does; a file that is no picture is refused with a
    // message and the earlier choice stays. False when refused.
    bool choosePicture(const QString& file);
    // A file dropped on the window: a picture is chosen.
    void Form_DropFile(const QString& file);
    void cmdSelectAscii_Click();

    // Character table.
    void showAsciiTable();
    bool saveAsciiTable();
    void mnuNewAsciiTable_Click();
    void mnuOpenAsciiTable_Click();
    // Takes a table file as the Open dialog's choice does.
    void openTable(const QString& file);
    // A file dropped on the table box: a picture is chosen, any other file opened as the table.
    void txtAsciiTable_DropFile(const QString& file);
    void mnuSaveAsciiTable_Click();
    void mnuSaveAsAsciiTable_Click();
    void mnuAsciiTableFill_Click();
    void mnuAsciiTableShowFont_Click();

    // Font.
    void cmdSelectFont_Click();
    void mnuSelectFont_Click();
    void mnuSeleftPropFont_Click();
    void txtFont_Click();
    void txtAsciiTable_Change();
    void txtFont_Change();
    void txtFontSize_Change();
    void txtFontSize_KeyDown(int keyCode, int shift);

    // Layout.
    void Form_Resize();
    void mnuExtrasFullscreen_Click();
    static constexpr int kMinOuterWidthTwips = 4935;
    static constexpr int kMinOuterHeightTwips = 4785;

    // The Extras menu's choices beyond the described entries: how characters are chosen, dithering and
    // levels (frm_main_extras.cpp). At their defaults every result is the described one.
    void mnuExtrasMapping_Click(choice::Mapping mapping);
    void mnuExtrasDither_Click();
    void mnuExtrasAutoLevels_Click();
    void mnuExtrasLevels_Click();
    const choice::Options& extras() const { return extras_; }

    // Source window and help menu.
    void picSourcePicture_Click();
    void picSourcePicture_Resize() {}
    void mnuPictureShow_Click();
    void mnuHelpHelp_Click();
    void mnuHelpAbout_Click();
    void mnuHelpHomepage_Click();
    void mnuHelpEmail_Click();
    void mnuHelpBugreport_Click();
    static QString aboutText();

    // Menu and button handlers.
    void cmdQuit_Click();
    void mnuQuit_Click();
    void mnuScalePicture_Click();

    // Controls, named as the program knows them.
    FrameBox* frAsciiTable;
    QLabel* Label6;
    QLabel* lblAscii;
    TextBox* txtAsciiTable;
    QPushButton* cmdSelectAscii;
    FrameBox* frPicture;
    QLabel* Label7;
    QLabel* lblPicture;
    QPushButton* cmdSelectPic;
    BarShape* shpPicPreviewRect;
    QWidget* frSourcePreview;
    SurfaceWidget* picSourcePicture;
    FrameBox* frFont;
    QLabel* Label4;
    QLabel* Label5;
    TextBox* txtFont;
    TextBox* txtFontSize;
    QPushButton* cmdSelectFont;
    FrameBox* frProcess;
    QPushButton* cmdStart;
    QPushButton* cmdStop;
    QPushButton* cmdQuit;
    LineShape* LineProgress;
    LineShape* LineProgress1;
    BarShape* shpProcess;
    BarShape* shpPercent;
    FrameBox* frStatus;
    QLabel* lblStatus;
    LineShape* LineSizer3;
    LineShape* LineSizer2;
    LineShape* LineSizer1;
    LineShape* LineSizer;
    LineShape* LineMenu;
    LineShape* LineMenu1;
    LineShape* LineMenu2;
    LineShape* LineMenu3;

    // Menus: top-level menus and their entries.
    QMenu* mnuProgram;
    QAction* mnuQuit;
    QMenu* mnuAsciiTable;
    QAction* mnuNewAsciiTable;
    QAction* mnuOpenAsciiTable;
    QAction* mnuSaveAsciiTable;
    QAction* mnuSaveAsAsciiTable;
    QAction* mnu4;
    QAction* mnuAsciiTableFill;
    QAction* mnu5;
    QAction* mnuAsciiTableShowFont;
    QMenu* mnuPicture;
    QAction* mnuOpenPicture;
    QAction* mnu0;
    QAction* mnuPictureShow;
    QAction* mnuScalePicture;
    QAction* mnuSavePicture;
    QMenu* mnuFont;
    QAction* mnuSelectFont;
    QAction* mnuSeleftPropFont;
    QAction* mnu1;
    QAction* mnuOpenFont;
    QAction* mnuSaveFont;
    QAction* mnuPreferences;
    QMenu* mnuExtras;
    QAction* mnuExtrasFullscreen;
    QAction* mnuExtras1;
    QAction* mnuExtrasPosition;
    QAction* mnuExtrasInk;
    QAction* mnuExtrasShape;
    QAction* mnuExtras2;
    QAction* mnuExtrasDither;
    QAction* mnuExtrasAutoLevels;
    QAction* mnuExtrasLevels;
    QMenu* mnuHelp;
    QAction* mnuHelpHelp;
    QAction* mnu2;
    QAction* mnuHelpAbout;
    QAction* mnuHelpHomepage;
    QAction* mnuHelpEmail;
    QAction* mnu3;
    QAction* mnuHelpBugreport;

    // The status line's text.
    QString status() const;
    void setStatus(const QString& text);

  signals:
    // Every text the status line shows, in order (a run passes through several).
    void statusChanged(const QString& text);

  public:
    static constexpr double kWindowFontSize = 8.25;
    static constexpr double kSmallFontSize = 6.75;
    static QString windowFontName() { return QStringLiteral("Verdana"); }

    static QString designCaption() { return QStringLiteral("Tessarine (Lumagraf)"); }

  protected:
    void formLoad() override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void formUnload(bool& cancel) override;

  private:
    friend class SettingsApplier;
    void buildMenus();
    void buildControls();
    // Connects a window this one uses, as it is created.
    void wireWindow(Form* form);
    void startupError(int number, const QString& description);
    // The picture named on the command line, chosen once the settings are applied.
    void openArgumentPicture();
    void writeSettings(const std::function<void(const err::Error&)>& report);
    void setProgress(double fraction);
    void setRunInputsEnabled(bool enabled);
    // Labels size themselves to their text.
    static void setCaption(QLabel* label, const QString& text);
    void fontDialog(int flags);
    void saveTableAs(bool proposeCurrentName);
    bool tableAndFontUsable();
    // The Extras entries' marks from the choices; the choices from the file beside the settings, and back.
    void showExtras();
    void readExtras();
    void writeExtras(const std::function<void(const err::Error&)>& report);

    choice::Options extras_;
    choice::Table measured_; // the last run's sorted table with its glyphs, for the mappings beyond it
    double measuredCellAspect_ = 2;
    QHash<QAction*, bool> heldEntries_; // menu entries a run disabled, with the state they had
    QString startingIniFile_;           // the settings read at start-up: iniFile, or the system-wide default
    bool iniInOwnFolder_ = false;       // iniFile is in the user's configuration folder
    bool startupFailed_ = false;
    bool settingsWritten_ = false;
    bool closeAfterRun_ = false;
    int lastProgressPixels_ = -1;
};

// The program's single windows, created and loaded on first use.
FrmMain* frmMain();
