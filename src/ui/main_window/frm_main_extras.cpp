// The Extras menu's entries beyond the described ones: the mapping, dithering and levels a run chooses its
// characters with, remembered in a file of their own beside the settings file.
#include "core/errors.h"
#include "core/extras_file.h"
#include "ui/main_window/frm_main.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/levels_dialog.h"

#include <QAction>
#include <QFileInfo>

void FrmMain::showExtras() {
    mnuExtrasPosition->setChecked(extras_.mapping == choice::Mapping::Position);
    mnuExtrasInk->setChecked(extras_.mapping == choice::Mapping::Ink);
    mnuExtrasShape->setChecked(extras_.mapping == choice::Mapping::Shape);
    mnuExtrasDither->setChecked(extras_.dither);
    // Dithering spreads what the ink and shape mappings could not reach; the described mapping has none.
    mnuExtrasDither->setEnabled(extras_.mapping != choice::Mapping::Position);
    mnuExtrasAutoLevels->setChecked(extras_.levels.automatic);
}

void FrmMain::mnuExtrasMapping_Click(choice::Mapping mapping) {
    extras_.mapping = mapping;
    if (mapping == choice::Mapping::Position)
        extras_.dither = false;
    showExtras();
}

// A click switches the choice, as the described check-mark entries do.
void FrmMain::mnuExtrasDither_Click() {
    extras_.dither = !extras_.dither && extras_.mapping != choice::Mapping::Position;
    showExtras();
}

void FrmMain::mnuExtrasAutoLevels_Click() {
    extras_.levels.automatic = !extras_.levels.automatic;
    showExtras();
}

void FrmMain::mnuExtrasLevels_Click() {
    LevelsDialog dialog(extras_.levels, this);
    if (dialog.exec() == QDialog::Accepted)
        extras_.levels = dialog.levels();
    showExtras();
}

void FrmMain::readExtras() {
    extras_ = extras::read(extras::fileBeside(modVars().iniFile));
    if (extras_.mapping == choice::Mapping::Position)
        extras_.dither = false;
    showExtras();
}

void FrmMain::writeExtras(const std::function<void(const err::Error&)>& report) {
    const QString path = extras::fileBeside(modVars().iniFile);
    // Nothing to keep where nothing was chosen, or the file already says it: a user who never opens the
    // Extras menu gets no file, and a folder that refuses it no second complaint.
    if (QFileInfo::exists(path) ? extras::read(path) == extras_ : extras_ == choice::Options())
        return;
    try {
        extras::write(path, extras_);
    } catch (const err::Error& e) {
        report(e);
    }
}
