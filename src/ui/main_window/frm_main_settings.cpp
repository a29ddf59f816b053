// Start-up, the settings file and shut-down.
#include "core/app_info.h"
#include "core/errors.h"
#include "core/paths.h"
#include "core/picture_loader.h"
#include "core/settings_file.h"
#include "core/text_files.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_scale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QSaveFile>
#include <cstdio>

namespace {

QStringList& arguments() {
    static QStringList list;
    return list;
}

QString errorBoxText(const err::Error& e) {
    return "ERROR:\r\n" + errorText(e) + "\r\n\r\n(" + QString::number(e.number()) + ")";
}

} // namespace

// Applies settings lines to the program: the state, the main window's boxes and the scale window.
class SettingsApplier : public settings::Target {
  public:
    explicit SettingsApplier(FrmMain& main) : main_(main) {}

    void asciiTablePath(const QString& value) override { modVars().asciiTablePath = value; }
    void asciiTableFile(const QString& value) override {
        modVars().asciiTableFile = value;
        FrmMain::setCaption(main_.lblAscii, paths::fileTitle(value));
        main_.showAsciiTable();
    }
    void picturePath(const QString& value) override { modVars().picturePath = value; }
    void pictureFile(const QString& value) override {
        modVars().pictureFile = value;
        FrmMain::setCaption(main_.lblPicture, paths::fileTitle(value));
        main_.picSourcePicture->surface().loadPicture(value);
    }
    void xScale(const QString& value) override { frmScale()->txtHorizontal->setText(value); }
    void yScale(const QString& value) override { frmScale()->txtVertical->setText(value); }
    void font(const QString& value) override { main_.txtFont->setText(value); }
    void fontSize(const QString& value) override { main_.txtFontSize->setText(value); }
    void asciiFile(const QString& value) override { modVars().asciiFile = value; }
    void asciiPath(const QString& value) override { modVars().asciiPath = value; }

  private:
    FrmMain& main_;
};

void FrmMain::setCommandLine(const QStringList& list) {
    arguments() = list;
}

void FrmMain::startupError(int number, const QString& description) {
    const err::Error e = makeError(number, description);
    mb::show(errorBoxText(e), mb::Exclamation, app::title() + ", init");
    mb::show(app::title() + " can't be executed.", mb::Critical, app::title());
    startupFailed_ = true;
}

void FrmMain::init() {
    const QString iniFile = modVars().iniFile;
    QStringList lines;
    try {
        lines = settings::readLines(startingIniFile_.isEmpty() ? iniFile : startingIniFile_);
    } catch (const err::Error& e) {
        if (e.number() != err::FileNotFound && e.number() != err::PathNotFound) {
            startupError(e.number(), errorText(e));
            return;
        }
        setStatus("'" + iniFile + "' not found.");
        // A folder that refuses the new file leaves the program without settings for this run; shut-down
        // reports the failed write. The user's own folder is made when it is missing.
        if (iniInOwnFolder_)
            QDir().mkpath(QFileInfo(iniFile).path());
        QFile created(iniFile);
        if (created.open(QIODevice::WriteOnly))
            created.close();
    }
    for (const QString& line : lines) {
        QString copy = line;
        try {
            setIniVars(copy);
        } catch (const err::Error& e) {
            const QString key = line.left(line.indexOf(u'='));
            if (e.number() == err::FileNotFound || e.number() == err::PathNotFound) {
                setStatus(app::title() + ".ini error: " + key + " not found.");
                continue;
            }
            if (key == QLatin1String("pictureFile")) {
                // A picture that cannot be read must not lock the user out of the program.
                setStatus(app::title() + ".ini error: " + key + ": " + errorText(e) + ".");
                continue;
            }
            startupError(e.number(), errorText(e));
            return;
        }
    }
    readExtras();
    if (status() == QLatin1String("Initializing.."))
        setStatus("Waiting.");
}

void FrmMain::setIniVars(QString& dummy) {
    SettingsApplier applier(*this);
    settings::applyLine(dummy, applier);
}

void FrmMain::writeIni() {
    writeSettings([](const err::Error& e) { mb::show(errorBoxText(e), mb::OkOnly, app::title()); });
    settingsWritten_ = true;
}

void FrmMain::writeIniWithoutDisplay() {
    if (startupFailed_ || settingsWritten_)
        return;
    writeSettings([](const err::Error& e) {
        std::fprintf(stderr, "%s: %s (%d)\n", qPrintable(app::title()), qPrintable(errorText(e)), e.number());
    });
    settingsWritten_ = true;
}

void FrmMain::writeSettings(const std::function<void(const err::Error&)>& report) {
    const auto& vars = modVars();
    settings::Values v;
    v.asciiTablePath = vars.asciiTablePath;
    v.asciiTableFile = vars.asciiTableFile;
    v.picturePath = vars.picturePath;
    v.pictureFile = vars.pictureFile;
    v.xScale = frmScale()->txtHorizontal->text();
    v.yScale = frmScale()->txtVertical->text();
    v.font = txtFont->text();
    v.fontSize = txtFontSize->text();
    v.asciiPath = vars.asciiPath;
    v.asciiFile = vars.asciiFile;
    const QStringList lines = settings::fileLines(v);

    const QFileInfo existing(vars.iniFile);
    if (iniInOwnFolder_ && !existing.exists())
        QDir().mkpath(existing.path()); // on the first write; a failure shows as the failed open below
    QSaveFile file(vars.iniFile);
    // A read-only settings file stays as it is, although its folder would let it be replaced: its mode
    // says so even to root, whom the system lets write anything.
    const QFileDevice::Permissions writeBits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    const bool readOnly =
        existing.exists() && (!existing.isWritable() || !(existing.permissions() & writeBits));
    const bool opened = !readOnly && file.open(QIODevice::WriteOnly);
    if (!opened) {
        const err::Error failed(err::PathFileAccess);
        report(failed);
        for (qsizetype i = 0; i < lines.size(); ++i)
            report(failed); // every line's write fails too, and each says so
        return;
    }
    QString text;
    for (const QString& line : lines)
        text += line + "\r\n";
    const QByteArray bytes = textfile::encode(text);
    if (file.write(bytes) != bytes.size() || !file.commit())
        report(makeError(err::PathFileAccess, "Path/File access error (" + file.errorString() + ")"));
    else
        writeExtras(report);
}

void FrmMain::formLoad() {
    auto& vars = modVars();
    QString caption = designCaption();
    if (arguments().join(u' ') == QLatin1String("-debug")) {
        vars.debugMode = true;
        caption += " [DEBUG]";
    }
    caption += " " + app::versionText() + " - " + app::creditLine();
    setWindowTitle(caption);
    setWidthTwips(8000);
    setHeightTwips(6500);
    // The window manager keeps the user from dragging below the smallest outer size the layout allows.
    setMinimumSize(twipsToPixels(kMinOuterWidthTwips) - frameWidth(), twipsToPixels(kMinOuterHeightTwips) -
                                                                          frameHeight() - kMenuHeight +
                                                                          menuBar()->sizeHint().height());
    const settings::Location where = settings::locate();
    vars.iniFile = where.file;
    startingIniFile_ = where.startingFile;
    iniInOwnFolder_ = where.own;
    init();
    if (!startupFailed_)
        openArgumentPicture();
}

void FrmMain::openArgumentPicture() {
    // A file manager's "Open with" names one file; the first argument that is not the switch counts.
    QString named;
    for (const QString& argument : std::as_const(arguments()))
        if (!argument.isEmpty() && argument != QLatin1String("-debug")) {
            named = argument;
            break;
        }
    if (named.isEmpty())
        return;
    const QFileInfo info(named);
    const QString shown = QDir::toNativeSeparators(named);
    if (!info.exists())
        setStatus("'" + shown + "' not found.");
    else if (!looksLikePicture(named))
        setStatus("'" + shown + "' is not a picture.");
    else
        choosePicture(info.absoluteFilePath());
}

void FrmMain::formUnload(bool& cancel) {
    if (Forms::instance().runInProgress()) {
        // A run holds the program until it ends; the close is carried out then.
        cancel = true;
        closeAfterRun_ = true;
        return;
    }
    modVars().appUnloading = true;
    const QList<Form*> windows = Forms::instance().loaded();
    for (qsizetype i = windows.size() - 1; i >= 0; --i)
        if (windows[i] != this)
            windows[i]->unload();
    writeIni();
}

void FrmMain::cmdQuit_Click() {
    unload();
}

void FrmMain::mnuQuit_Click() {
    unload();
}
