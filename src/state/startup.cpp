// Start-up's reading of the settings file and shut-down's writing of it.
#include "main_window/frmMain.h"
#include "platform/errors.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/surface_widget.h"
#include "platform/text_box.h"
#include "platform/text_files.h"
#include "state/app_info.h"
#include "state/mod_vars.h"
#include "state/settings_file.h"
#include "windows/frmScale.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>

namespace {

QString errorBoxText(const PlatformError& e) {
    return "ERROR:\r\n" + e.description() + "\r\n\r\n(" + QString::number(e.number()) + ")";
}

} // namespace

void FrmMain::startupError(int number, const QString& description) {
    const PlatformError e(number, description);
    mb::show(errorBoxText(e), mb::Exclamation, app::title() + ", init");
    mb::show(app::title() + " can't be executed.", mb::Critical, app::title());
    startupFailed_ = true;
}

void FrmMain::init() {
    const QString iniFile = modVars().iniFile;
    QByteArray bytes;
    try {
        bytes = textfile::readBytes(iniFile);
    } catch (const PlatformError& e) {
        if (e.number() != err::FileNotFound && e.number() != err::PathNotFound) {
            startupError(e.number(), e.description());
            return;
        }
        setStatus("'" + iniFile + "' not found.");
        // A folder that refuses the new file leaves the program without settings for this run; shut-down
        // reports the failed write.
        QFile created(iniFile);
        if (created.open(QIODevice::WriteOnly))
            created.close();
    }
    for (const QString& line : textfile::splitLines(textfile::decode(bytes))) {
        QString copy = line;
        try {
            setIniVars(copy);
        } catch (const PlatformError& e) {
            const QString key = line.left(line.indexOf(u'='));
            if (e.number() == err::FileNotFound || e.number() == err::PathNotFound) {
                setStatus(app::title() + ".ini error: " + key + " not found.");
                continue;
            }
            if (key == QLatin1String("pictureFile")) {
                // A picture that cannot be read must not lock the user out of the program.
                setStatus(app::title() + ".ini error: " + key + ": " + e.description() + ".");
                continue;
            }
            startupError(e.number(), e.description());
            return;
        }
    }
    if (status() == QLatin1String("Initializing.."))
        setStatus("Waiting.");
}

void FrmMain::setIniVars(QString& dummy) {
    auto& vars = modVars();
    const settings::Line line = settings::parseLine(dummy);
    const QString& key = line.key;
    const QString& value = line.value;
    if (key == QLatin1String("asciiTablePath")) {
        vars.asciiTablePath = value;
    } else if (key == QLatin1String("asciiTableFile")) {
        vars.asciiTableFile = value;
        setCaption(lblAscii, paths::fileTitle(value));
        showAsciiTable();
    } else if (key == QLatin1String("picturePath")) {
        vars.picturePath = value;
    } else if (key == QLatin1String("pictureFile")) {
        vars.pictureFile = value;
        setCaption(lblPicture, paths::fileTitle(value));
        picSourcePicture->surface().loadPicture(value);
    } else if (key == QLatin1String("xScale")) {
        frmScale()->txtHorizontal->setText(value);
    } else if (key == QLatin1String("yScale")) {
        frmScale()->txtVertical->setText(value);
    } else if (key == QLatin1String("Font")) {
        txtFont->setText(value);
    } else if (key == QLatin1String("FontSize")) {
        txtFontSize->setText(value);
    } else if (key == QLatin1String("asciiFile")) {
        vars.asciiFile = value;
    } else if (key == QLatin1String("asciiPath")) {
        vars.asciiPath = value;
    }
}

void FrmMain::writeIni() {
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

    auto report = [](const PlatformError& e) { mb::show(errorBoxText(e), mb::OkOnly, app::title()); };
    const QFileInfo existing(vars.iniFile);
    QSaveFile file(vars.iniFile);
    // A read-only settings file stays as it is, although its folder would let it be replaced.
    const bool opened = !(existing.exists() && !existing.isWritable()) && file.open(QIODevice::WriteOnly);
    if (!opened) {
        const PlatformError failed(err::PathFileAccess);
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
        report(PlatformError(err::PathFileAccess, "Path/File access error (" + file.errorString() + ")"));
}
