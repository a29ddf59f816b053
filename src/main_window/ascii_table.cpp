// The character table box: loading a table file into it, and what a change of its text enables.
#include "main_window/frmMain.h"
#include "platform/errors.h"
#include "platform/text_box.h"
#include "platform/text_files.h"
#include "state/mod_vars.h"

#include <QAction>

void FrmMain::showAsciiTable()
{
    auto& vars = modVars();
    QString firstLine;
    try {
        firstLine = textfile::readFirstLine(vars.asciiTableFile);
    } catch (const PlatformError&) {
        // A table that cannot be read shows as an empty table, without a message.
    }
    vars.asciiTableLoading = true;
    txtAsciiTable->setText(firstLine);
    mnuSaveAsciiTable->setEnabled(false);
    vars.asciiTableLoading = false;
}

void FrmMain::txtAsciiTable_Change()
{
    if (!modVars().asciiTableLoading)
        mnuSaveAsciiTable->setEnabled(true);
}
