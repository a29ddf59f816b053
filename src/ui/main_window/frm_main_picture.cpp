// The Picture menu: choosing the picture, switching scaling, and the Open-dialog wrapper the table and
// picture commands share.
#include "core/errors.h"
#include "core/paths.h"
#include "core/picture_surface.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/common_dialog.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/state/mod_vars.h"

#include "ui/platform/text_box.h"
#include "ui/windows/frm_scale.h"
#include "ui/windows/frm_source.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

QString FrmMain::selectFile(const QString& title, const QString& path, const QString& filters) {
    CommonDialog& dialog = CommonDialog::instance();
    if (!path.isEmpty())
        dialog.initDir = path;
    dialog.dialogTitle = title;
    dialog.cancelError = true;
    dialog.filter = filters;
    dialog.flags = CommonDialog::kFileMustExist | CommonDialog::kHideReadOnly;
    dialog.fileName.clear();
    try {
        dialog.showOpen();
    } catch (const err::Error&) {
        return QString();
    }
    return dialog.fileName;
}

void FrmMain::mnuOpenPicture_Click() {
    const QString chosen = selectFile("Select Picture..", modVars().picturePath,
                                      "Picture (*.bmp;*.gif;*.jpg)|*.bmp;*.gif;*.jpg");
    if (!chosen.isEmpty())
        choosePicture(chosen);
}

bool FrmMain::choosePicture(const QString& file) {
    auto& vars = modVars();
    // Read it before anything changes, so a file that is no picture leaves the earlier choice whole.
    PictureSurface trial;
    trial.setBackColor(picSourcePicture->surface().backColor());
    trial.setOuterSize(picSourcePicture->surface().outerWidth(), picSourcePicture->surface().outerHeight());
    try {
        trial.loadPicture(file);
    } catch (const err::Error& e) {
        mb::show("The file\r\n" + QDir::toNativeSeparators(file) + "\r\ncannot be read as a picture: " +
                     errorText(e) + ".\r\n\r\nThe picture chosen before stays.",
                 mb::Exclamation);
        return false;
    }
    const QString title = paths::fileTitle(file);
    vars.pictureFile = file;
    vars.picturePath = file.left(file.size() - title.size());
    setCaption(lblPicture, title);
    picSourcePicture->surface().setPicture(trial.image());
    return true;
}

void FrmMain::Form_DropFile(const QString& file) {
    choosePicture(file);
}

void FrmMain::cmdSelectPic_Click() {
    mnuOpenPicture_Click();
}

void FrmMain::cmdSelectAscii_Click() {
    mnuOpenAsciiTable_Click();
}

void FrmMain::mnuScalePicture_Click() {
    auto& vars = modVars();
    if (mnuScalePicture->isChecked()) {
        mnuScalePicture->setChecked(false);
        vars.scaleCheckSyncing = true;
        frmScale()->chkScalingEnabled->setChecked(false);
        vars.scaleCheckSyncing = false;
        frmScale()->txtHorizontal->setEnabled(false);
        frmScale()->txtVertical->setEnabled(false);
        return;
    }
    mnuScalePicture->setChecked(true);
    vars.scaleCheckSyncing = true;
    FrmScale* scale = frmScale();
    scale->chkScalingEnabled->setChecked(true);
    vars.scaleCheckSyncing = false;
    scale->txtHorizontal->setEnabled(true);
    scale->txtVertical->setEnabled(true);
    // Normal, neither minimised nor maximised, whether the window is open or comes back.
    scale->setWindowState(Qt::WindowNoState);
    if (!scale->isVisible()) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const double screenW = screen.width() * double(Form::kTwipsPerPixel);
        const double screenH = screen.height() * double(Form::kTwipsPerPixel);
        scale->setLeftTwips(int((screenW - scale->widthTwips()) / 2));
        scale->setTopTwips(int((screenH - scale->heightTwips()) / 2));
        scale->show();
    }
    scale->raise();
    scale->activateWindow();
}

void FrmMain::picSourcePicture_Click() {
    frmSource()->show();
}

void FrmMain::mnuPictureShow_Click() {
    picSourcePicture_Click();
}
