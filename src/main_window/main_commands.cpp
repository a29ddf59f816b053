// Choosing the picture, and the Open-dialog wrapper the table and picture commands share.
#include "main_window/common_dialog.h"
#include "main_window/frmMain.h"
#include "platform/errors.h"
#include "platform/message_box.h"
#include "platform/picture_surface.h"
#include "platform/surface_widget.h"
#include "state/mod_vars.h"

#include <QDir>
#include <QLabel>

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
    } catch (const PlatformError&) {
        return QString();
    }
    return dialog.fileName;
}

void FrmMain::mnuOpenPicture_Click() {
    auto& vars = modVars();
    const QString chosen =
        selectFile("Select Picture..", vars.picturePath, "Picture (*.bmp;*.gif;*.jpg)|*.bmp;*.gif;*.jpg");
    if (chosen.isEmpty())
        return;
    // Read it before anything changes, so a file that is no picture leaves the earlier choice whole.
    PictureSurface trial;
    trial.setBackColor(picSourcePicture->surface().backColor());
    trial.setOuterSize(picSourcePicture->surface().outerWidth(), picSourcePicture->surface().outerHeight());
    try {
        trial.loadPicture(chosen);
    } catch (const PlatformError& e) {
        mb::show("The file\r\n" + QDir::toNativeSeparators(chosen) + "\r\ncannot be read as a picture: " +
                     e.description() + ".\r\n\r\nThe picture chosen before stays.",
                 mb::Exclamation);
        return;
    }
    const QString title = CommonDialog::instance().fileTitle;
    vars.pictureFile = chosen;
    vars.picturePath = chosen.left(chosen.size() - title.size());
    setCaption(lblPicture, title);
    picSourcePicture->surface().setPicture(trial.image());
}

void FrmMain::cmdSelectPic_Click() {
    mnuOpenPicture_Click();
}

void FrmMain::cmdSelectAscii_Click() {
    mnuOpenAsciiTable_Click();
}
