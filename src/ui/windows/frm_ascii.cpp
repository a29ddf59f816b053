#include "ui/windows/frm_ascii.h"

#include "core/app_info.h"
#include "core/art_picture.h"
#include "core/errors.h"
#include "core/paths.h"
#include "core/text_files.h"
#include "kernels/output_forms.h"
#include "ui/platform/common_dialog.h"
#include "ui/platform/exact_text_box.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/state/mod_vars.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QThread>

FrmAscii* frmAscii() {
    return Forms::instance().get<FrmAscii>();
}

FrmAscii::FrmAscii() {
    setObjectName("frmAscii");
    setWindowTitle("Ascii");
    QMenuBar* bar = menuBar();
    auto entry = [](QMenu* menu, const char* name, const char* caption, const QKeySequence& key = {}) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(name);
        a->setShortcut(key);
        return a;
    };
    mnuFile = bar->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuFileSaveAs = entry(mnuFile, "mnuFileSaveAs", "&Save as..");
    mnuFile->addSeparator();
    mnuFileClose = entry(mnuFile, "mnuFileClose", "&Close");
    // Below the described entries, one for each form a result is shared in besides its text.
    for (const art::OutputForm& form : art::outputForms()) {
        if (form.entry.objectName.empty())
            continue;
        QAction* a = entry(mnuFile, form.entry.objectName.data(), form.entry.caption.data());
        connect(a, &QAction::triggered, this, [this, &form] { saveAsForm(form); });
    }
    mnuFileSaveAsHtml = mnuFile->findChild<QAction*>("mnuFileSaveAsHtml");
    mnuFileSaveAsPicture = mnuFile->findChild<QAction*>("mnuFileSaveAsPicture");
    mnuEdit = bar->addMenu("&Edit");
    mnuEdit->setObjectName("mnuEdit");
    mnuEditCopy = entry(mnuEdit, "mnuEditCopy", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuEditSelectAll = entry(mnuEdit, "mnuEditSelectAll", "Select &All", QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuFont = bar->addMenu("Fo&nt");
    mnuFont->setObjectName("mnuFont");
    mnuFontSelect = entry(mnuFont, "mnuFontSelect", "&Select Font..", QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuFont->addSeparator();
    mnuFontIncrease = entry(mnuFont, "mnuFontIncrease", "&Increase Size", QKeySequence(Qt::CTRL | Qt::Key_I));
    mnuFontDecrease = entry(mnuFont, "mnuFontDecrease", "&Decrease Size", QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuMaximize = bar->addAction("&Maximize");
    mnuMaximize->setObjectName("mnuMaximize");
    mnuHelp = bar->addAction("&?");
    mnuHelp->setObjectName("mnuHelp");

    connect(mnuFileSaveAs, &QAction::triggered, this, [this] { mnuFileSaveAs_Click(); });
    connect(mnuFileClose, &QAction::triggered, this, [this] { mnuFileClose_Click(); });
    connect(mnuEditCopy, &QAction::triggered, this, [this] { mnuEditCopy_Click(); });
    connect(mnuEditSelectAll, &QAction::triggered, this, [this] { mnuEditSelectAll_Click(); });
    connect(mnuFontSelect, &QAction::triggered, this, [this] { mnuFontSelect_Click(); });
    connect(mnuFontIncrease, &QAction::triggered, this, [this] { mnuFontIncrease_Click(); });
    connect(mnuFontDecrease, &QAction::triggered, this, [this] { mnuFontDecrease_Click(); });
    connect(mnuMaximize, &QAction::triggered, this, [this] { mnuMaximize_Click(); });
    connect(mnuHelp, &QAction::triggered, this, [this] { mnuHelp_Click(); });

    txt = new ExactTextBox(client(), "txt");
    txt->setLineWrapMode(QPlainTextEdit::NoWrap);
    txt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt->setPlainText("Text1");
    // The menu's shortcuts run the menu's handlers, not the text box's own key bindings.
    txt->installEventFilter(this);
    setClientSize(twipsToPixels(7560), twipsToPixels(5040));
}

bool FrmAscii::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txt && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction* a : {mnuEditCopy, mnuEditSelectAll, mnuFontSelect, mnuFontIncrease, mnuFontDecrease})
            if (a->shortcut() == pressed)
                return true; // not overridden: the window's shortcut fires
    }
    return Form::eventFilter(watched, event);
}

QString FrmAscii::text() const {
    return txt->exactText();
}

void FrmAscii::setText(const QString& text, int lineLength) {
    txt->setExactText(text, lineLength);
}

void FrmAscii::setTextFont(const QString& name, double points) {
    QFont f = txt->font();
    f.setFamily(name);
    if (points >= kSmallestTextSize)
        f.setPointSizeF(points);
    txt->setFont(f);
}

void FrmAscii::Form_Resize() {
    txt->setGeometry(0, 0, clientWidth(), clientHeight());
    mnuMaximize->setText(isMaximized() ? "[x] Maximized" : "[ ] Maximized");
}

void FrmAscii::resizeEvent(QResizeEvent* event) {
    Form::resizeEvent(event);
    Form_Resize();
}

void FrmAscii::changeEvent(QEvent* event) {
    Form::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void FrmAscii::mnuFileSaveAs_Click() {
    auto& vars = modVars();
    CommonDialog& dialog = CommonDialog::instance();
    dialog.cancelError = true;
    dialog.dialogTitle = "Save Ascii-File as..";
    dialog.fileName = vars.asciiFile;
    dialog.initDir = vars.asciiPath;
    dialog.filter = "Text (*.txt)|*.txt";
    try {
        dialog.showSave();
    } catch (const err::Error&) {
        return; // cancelled: nothing written, nothing changed
    }
    vars.asciiFile = dialog.fileName;
    vars.asciiPath = dialog.fileName.left(dialog.fileName.size() - dialog.fileTitle.size());
    try {
        textfile::writeText(vars.asciiFile, text());
    } catch (const err::Error& e) {
        mb::reportSaveFailure(vars.asciiFile, errorText(e));
    }
}

void FrmAscii::saveAsForm(const art::OutputForm& form) {
    // The picture's name with the form's extension is proposed; the folder stays where the dialog was.
    const QString& picture = modVars().pictureFile;
    const qsizetype dot = picture.lastIndexOf(u'.');
    CommonDialog& dialog = CommonDialog::instance();
    dialog.cancelError = true;
    dialog.dialogTitle =
        QString::fromUtf8(form.entry.dialogTitle.data(), qsizetype(form.entry.dialogTitle.size()));
    const QString extension = QString::fromUtf8(form.extension.data(), qsizetype(form.extension.size()));
    dialog.fileName = picture.isEmpty() ? QString() : (dot < 0 ? picture : picture.left(dot)) + extension;
    dialog.filter = QString::fromUtf8(form.entry.filter.data(), qsizetype(form.entry.filter.size()));
    try {
        dialog.showSave();
    } catch (const err::Error&) {
        return; // cancelled: nothing written, nothing changed
    }
    const QString file = dialog.fileName;
    try {
        // The text as the box holds it, perhaps edited, in the box's current font.
        const art::Lines lines = art::fromText(text().toStdU32String(), U"\r\n");
        art::Art result;
        result.text = &lines;
        result.page.title = paths::fileTitle(picture).toStdString();
        if (result.page.title.empty())
            result.page.title = app::title().toStdString();
        result.page.fontFamily = txt->font().family().toStdString();
        result.page.points = txt->font().pointSizeF();
        art::Glyphs glyphs;
        if (form.needsGlyphs) {
            glyphs = art::glyphs(lines, txt->font());
            result.glyphs = &glyphs;
            result.threads = std::max(1, QThread::idealThreadCount());
        }
        textfile::writeBytes(file, QByteArray::fromStdString(form.write(result)));
    } catch (const err::Error& e) {
        mb::reportSaveFailure(file, errorText(e));
    }
}

void FrmAscii::mnuFileSaveAsHtml_Click() {
    saveAsForm(*art::formNamed("html"));
}

void FrmAscii::mnuFileSaveAsPicture_Click() {
    saveAsForm(*art::formNamed("png"));
}

void FrmAscii::mnuFileClose_Click() {
    hide();
}

void FrmAscii::mnuEditCopy_Click() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(txt->exactSelectedText());
}

void FrmAscii::mnuEditSelectAll_Click() {
    txt->selectAll();
}

void FrmAscii::mnuFontSelect_Click() {
    auto& vars = modVars();
    if (!vars.fontWarningShown) {
        mb::show("Changing the Font of a transformed picture can produce unexpected Results.",
                 mb::Information);
        vars.fontWarningShown = true;
    }
    CommonDialog& dialog = CommonDialog::instance();
    dialog.fontName = mainFontName ? mainFontName() : QString();
    dialog.flags = CommonDialog::kFixedPitchOnly | CommonDialog::kScreenFonts | CommonDialog::kPrinterFonts;
    try {
        dialog.showFont();
    } catch (const err::Error&) {
        // Passed over: the box takes what the dialog holds, as after a confirmation.
    }
    setTextFont(dialog.fontName, dialog.fontSize);
}

void FrmAscii::changeTextSize(double delta) {
    const double next = txt->font().pointSizeF() + delta;
    if (next < kSmallestTextSize)
        return;
    QFont f = txt->font();
    f.setPointSizeF(next);
    txt->setFont(f);
}

void FrmAscii::mnuFontIncrease_Click() {
    changeTextSize(1);
}

void FrmAscii::mnuFontDecrease_Click() {
    changeTextSize(-1);
}

void FrmAscii::mnuMaximize_Click() {
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void FrmAscii::mnuHelp_Click() {
    emit helpRequested();
}
