#include "windows/frmBuffer.h"

#include "main_window/common_dialog.h"
#include "main_window/frmMain.h"
#include "platform/errors.h"
#include "platform/forms.h"
#include "platform/message_box.h"
#include "platform/surface_widget.h"
#include "platform/text_box.h"
#include "state/mod_vars.h"
#include "windows/frmScale.h"

#include <QAction>
#include <QMenuBar>

FrmBuffer* frmBuffer() {
    return Forms::instance().get<FrmBuffer>();
}

FrmBuffer::FrmBuffer() {
    setObjectName("frmBuffer");
    setWindowTitle("Buffer");
    mnuSaveBuffer = menuBar()->addAction("&Save..");
    mnuSaveBuffer->setObjectName("mnuSaveBuffer");
    pic = new SurfaceWidget(client(), "pic", 2);
    pic->move(0, 0);
    connect(mnuSaveBuffer, &QAction::triggered, this, [this] { mnuSaveBuffer_Click(); });
}

QString FrmBuffer::proposedName() {
    const QString& picture = modVars().pictureFile;
    const qsizetype dot = picture.lastIndexOf(u'.');
    const QString stem = dot < 0 ? picture : picture.left(dot);
    if (!frmMain()->mnuScalePicture->isChecked())
        return stem;
    return stem + " scale_" + frmScale()->txtHorizontal->text() + "-" + frmScale()->txtVertical->text();
}

void FrmBuffer::mnuSaveBuffer_Click() {
    CommonDialog& dialog = CommonDialog::instance();
    dialog.cancelError = true;
    dialog.dialogTitle = "Save scaled Picture as..";
    dialog.fileName = proposedName();
    dialog.filter = "Bitmap (*.bmp)|*.bmp";
    try {
        dialog.showSave();
    } catch (const PlatformError&) {
        return; // cancelled
    }
    try {
        pic->surface().saveBmp(dialog.fileName);
    } catch (const PlatformError& e) {
        mb::reportSaveFailure(dialog.fileName, e.description());
    }
}
