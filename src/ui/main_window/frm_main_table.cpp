// The character table: its box, its file and the commands of the table menu.
#include "core/app_info.h"
#include "core/errors.h"
#include "core/paths.h"
#include "core/picture_loader.h"
#include "core/text_files.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/common_dialog.h"
#include "ui/platform/message_box.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"

#include <QAction>
#include <QLabel>

namespace {
const QString kSaveFilter = QStringLiteral("Text (*.txt)|*.txt");
} // namespace

void FrmMain::showAsciiTable() {
    auto& vars = modVars();
    QString firstLine;
    try {
        firstLine = textfile::readFirstLine(vars.asciiTableFile);
    } catch (const err::Error&) {
        // A table that cannot be read shows as an empty table, without a message.
    }
    vars.asciiTableLoading = true;
    txtAsciiTable->setText(firstLine);
    mnuSaveAsciiTable->setEnabled(false);
    vars.asciiTableLoading = false;
}

bool FrmMain::saveAsciiTable() {
    const QString file = modVars().asciiTableFile;
    try {
        textfile::writeText(file, txtAsciiTable->text());
    } catch (const err::Error& e) {
        // Nothing was saved, so Save stays available.
        mb::reportSaveFailure(file, errorText(e));
        return false;
    }
    mnuSaveAsciiTable->setEnabled(false);
    return true;
}

void FrmMain::txtAsciiTable_Change() {
    if (!modVars().asciiTableLoading)
        mnuSaveAsciiTable->setEnabled(true);
}

void FrmMain::mnuNewAsciiTable_Click() {
    setCaption(lblAscii, QString());
    txtAsciiTable->clear();
    modVars().asciiTableFile.clear();
    modVars().asciiTablePath.clear();
}

void FrmMain::mnuOpenAsciiTable_Click() {
    const QString chosen =
        selectFile("Select Ascii-Table..", modVars().asciiTablePath, "Ascii (*.txt)|*.txt");
    if (!chosen.isEmpty())
        openTable(chosen);
}

void FrmMain::openTable(const QString& file) {
    auto& vars = modVars();
    const QString title = paths::fileTitle(file);
    vars.asciiTableFile = file;
    vars.asciiTablePath = file.left(file.size() - title.size());
    setCaption(lblAscii, title);
    showAsciiTable();
}

void FrmMain::txtAsciiTable_DropFile(const QString& file) {
    if (looksLikePicture(file)) {
        choosePicture(file);
        return;
    }
    // A changed table is not replaced unasked: the question is Save's own, and a table that was not
    // saved after all (a cancelled dialog, a failed write) stays.
    if (mnuSaveAsciiTable->isEnabled() && !txtAsciiTable->text().isEmpty()) {
        const bool named = !lblAscii->text().isEmpty();
        const QString question = named ? "Save Ascii-Table?\r\n\r\n" + modVars().asciiTableFile
                                       : QStringLiteral("Save Ascii-Table?");
        if (mb::show(question, mb::YesNo | mb::Question | mb::DefaultButton2) == mb::Yes) {
            if (named)
                saveAsciiTable();
            else
                saveTableAs(false);
            if (mnuSaveAsciiTable->isEnabled())
                return;
        }
    }
    openTable(file);
}

void FrmMain::saveTableAs(bool proposeCurrentName) {
    CommonDialog& dialog = CommonDialog::instance();
    dialog.cancelError = true;
    dialog.dialogTitle = "Save Ascii-Table as..";
    dialog.fileName = proposeCurrentName ? lblAscii->text() : QString();
    dialog.filter = kSaveFilter;
    try {
        dialog.showSave();
    } catch (const err::Error&) {
        return; // cancelled: nothing changes
    }
    auto& vars = modVars();
    vars.asciiTableFile = dialog.fileName;
    vars.asciiTablePath = dialog.fileName.left(dialog.fileName.lastIndexOf(u'/') + 1);
    setCaption(lblAscii, dialog.fileTitle);
    saveAsciiTable();
}

void FrmMain::mnuSaveAsciiTable_Click() {
    if (lblAscii->text().isEmpty()) {
        saveTableAs(false);
        return;
    }
    const int answer = mb::show("Save Ascii-Table?\r\n\r\n" + modVars().asciiTableFile,
                                mb::YesNo | mb::Question | mb::DefaultButton2);
    if (answer == mb::Yes)
        saveAsciiTable();
}

void FrmMain::mnuSaveAsAsciiTable_Click() {
    saveTableAs(true);
}

void FrmMain::mnuAsciiTableFill_Click() {
    txtAsciiTable->clear();
    // Code 0 cannot stand in the box; every other single-byte code is appended in order.
    for (int code = 1; code <= 255; ++code)
        txtAsciiTable->setText(txtAsciiTable->text() + textfile::fromWindows1252(uchar(code)));
}

void FrmMain::mnuAsciiTableShowFont_Click() {
    auto& vars = modVars();
    QFont f = txtAsciiTable->font();
    if (mnuAsciiTableShowFont->isChecked()) {
        mnuAsciiTableShowFont->setChecked(false);
        vars.showTableInFont = false;
        f.setFamily(windowFontName());
    } else {
        mnuAsciiTableShowFont->setChecked(true);
        vars.showTableInFont = true;
        f.setFamily(txtFont->text());
    }
    txtAsciiTable->setFont(f);
}
