#include "ui/main_window/frm_main.h"

#include "core/picture_loader.h"
#include "kernels/limits.h"
#include "ui/platform/file_drops.h"
#include "ui/platform/forms.h"
#include "ui/platform/shapes.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/windows/frm_ascii.h"
#include "ui/windows/frm_buffer.h"
#include "ui/windows/frm_scale.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

QFont verdana(double points) {
    QFont f(FrmMain::windowFontName());
    f.setPointSizeF(points);
    return f;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, double left, double top,
                  double width, double height) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    placeTwips(l, left, top, width, height);
    if (!caption.isEmpty())
        l->adjustSize(); // labels size themselves to their text
    return l;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, double left, double top,
                        double width, double height) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    placeTwips(b, left, top, width, height);
    return b;
}

TextBox* makeTextBox(QWidget* parent, const QString& name, const QString& text, double left, double top,
                     double width, double height) {
    auto* t = new TextBox(parent, name);
    t->setText(text);
    t->setTextMargins(0, 0, 0, 0);
    placeTwips(t, left, top, width, height);
    return t;
}

FrameBox* makeFrame(QWidget* parent, const QString& name, double left, double top, double width,
                    double height) {
    auto* f = new FrameBox(parent, name);
    placeTwips(f, left, top, width, height);
    return f;
}

QAction* addEntry(QMenu* menu, const QString& name, const QString& caption,
                  const QKeySequence& shortcut = {}) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setShortcut(shortcut);
    return a;
}

QAction* addSeparator(QMenu* menu, const QString& name) {
    QAction* a = menu->addSeparator();
    a->setObjectName(name);
    return a;
}

QMenu* addMenu(QMenuBar* bar, const QString& name, const QString& caption) {
    QMenu* m = bar->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    return m;
}

// Check marks here are set only by the handlers: the automatic toggle of a checkable entry is undone
// before its handler runs.
template <class Fn> void onTriggered(QAction* action, Fn handler) {
    QObject::connect(action, &QAction::triggered, action, [action, handler] {
        if (action->isCheckable())
            action->setChecked(!action->isChecked());
        handler();
    });
}

} // namespace

FrmMain* frmMain() {
    return Forms::instance().get<FrmMain>();
}

FrmMain::FrmMain() {
    setObjectName("frmMain");
    setNominalFrame(8, 30);
    setWindowTitle(designCaption());
    setFont(verdana(FrmMain::kWindowFontSize));
    buildMenus();
    buildControls();
    connect(&Forms::instance(), &Forms::created, this, &FrmMain::wireWindow);
}

void FrmMain::wireWindow(Form* form) {
    if (auto* scale = qobject_cast<FrmScale*>(form)) {
        scale->scalingAtLoad = mnuScalePicture->isChecked();
        connect(scale, &FrmScale::scalingSwitched, this,
                [this](bool on) { mnuScalePicture->setChecked(on); });
    } else if (auto* buffer = qobject_cast<FrmBuffer*>(form)) {
        buffer->scaledFactors = [this] {
            return mnuScalePicture->isChecked()
                       ? frmScale()->txtHorizontal->text() + "-" + frmScale()->txtVertical->text()
                       : QString();
        };
    } else if (auto* ascii = qobject_cast<FrmAscii*>(form)) {
        ascii->mainFontName = [this] { return txtFont->text(); };
        connect(ascii, &FrmAscii::helpRequested, this, &FrmMain::mnuHelpHelp_Click);
    }
}

void FrmMain::buildMenus() {
    QMenuBar* bar = menuBar();

    mnuProgram = addMenu(bar, "mnuProgram", "&Program");
    mnuQuit = addEntry(mnuProgram, "mnuQuit", "&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnuAsciiTable = addMenu(bar, "mnuAsciiTable", "&Ascii-Table");
    mnuNewAsciiTable = addEntry(mnuAsciiTable, "mnuNewAsciiTable", "&New");
    mnuOpenAsciiTable = addEntry(mnuAsciiTable, "mnuOpenAsciiTable", "&Open..");
    mnuSaveAsciiTable = addEntry(mnuAsciiTable, "mnuSaveAsciiTable", "&Save");
    mnuSaveAsAsciiTable = addEntry(mnuAsciiTable, "mnuSaveAsAsciiTable", "Save &as..");
    mnu4 = addSeparator(mnuAsciiTable, "mnu4");
    mnuAsciiTableFill = addEntry(mnuAsciiTable, "mnuAsciiTableFill", "&Fill with all possible chars");
    mnu5 = addSeparator(mnuAsciiTable, "mnu5");
    mnuAsciiTableShowFont =
        addEntry(mnuAsciiTable, "mnuAsciiTableShowFont", "Show Ascii-Table &with selected font");
    mnuAsciiTableShowFont->setCheckable(true);

    mnuPicture = addMenu(bar, "mnuPicture", "Pi&cture");
    mnuOpenPicture = addEntry(mnuPicture, "mnuOpenPicture", "&Open..");
    mnu0 = addSeparator(mnuPicture, "mnu0");
    mnuPictureShow = addEntry(mnuPicture, "mnuPictureShow", "Sho&w");
    mnuScalePicture = addEntry(mnuPicture, "mnuScalePicture", "&Scale..");
    mnuScalePicture->setCheckable(true);
    mnuSavePicture = addEntry(mnuPicture, "mnuSavePicture", "Sa&ve..");
    mnuSavePicture->setVisible(false);

    mnuFont = addMenu(bar, "mnuFont", "&Font");
    mnuSelectFont = addEntry(mnuFont, "mnuSelectFont", "&Select fixed pitch font..");
    mnuSeleftPropFont =
        addEntry(mnuFont, "mnuSeleftPropFont", "Select variable pitch font.. (not recommended)");
    mnu1 = addSeparator(mnuFont, "mnu1");
    mnu1->setVisible(false);
    mnuOpenFont = addEntry(mnuFont, "mnuOpenFont", "&Open FontScan..");
    mnuSaveFont = addEntry(mnuFont, "mnuSaveFont", "Sa&ve FontScan..");
    for (QAction* a : {mnuOpenFont, mnuSaveFont}) {
        a->setVisible(false);
        a->setEnabled(false);
    }

    mnuPreferences = bar->addAction("Pre&ferences");
    mnuPreferences->setObjectName("mnuPreferences");
    mnuPreferences->setVisible(false);
    mnuPreferences->setEnabled(false);

    mnuExtras = addMenu(bar, "mnuExtras", "&Extras");
    mnuExtrasFullscreen =
        addEntry(mnuExtras, "mnuExtrasFullscreen", "&Fullscreen", QKeySequence(Qt::Key_F11));
    mnuExtrasFullscreen->setCheckable(true);
    // Beyond the described entries: the mappings (one of three), dithering and levels.
    mnuExtras1 = addSeparator(mnuExtras, "mnuExtras1");
    mnuExtrasPosition = addEntry(mnuExtras, "mnuExtrasPosition", "Characters by &position");
    mnuExtrasInk = addEntry(mnuExtras, "mnuExtrasInk", "Characters by &ink");
    mnuExtrasShape = addEntry(mnuExtras, "mnuExtrasShape", "Characters by s&hape");
    auto* mappings = new QActionGroup(mnuExtras);
    for (QAction* a : {mnuExtrasPosition, mnuExtrasInk, mnuExtrasShape}) {
        a->setCheckable(true);
        mappings->addAction(a);
    }
    mnuExtras2 = addSeparator(mnuExtras, "mnuExtras2");
    mnuExtrasDither = addEntry(mnuExtras, "mnuExtrasDither", "&Dither");
    mnuExtrasAutoLevels = addEntry(mnuExtras, "mnuExtrasAutoLevels", "&Auto levels");
    for (QAction* a : {mnuExtrasDither, mnuExtrasAutoLevels})
        a->setCheckable(true);
    mnuExtrasLevels = addEntry(mnuExtras, "mnuExtrasLevels", "&Levels..");

    mnuHelp = addMenu(bar, "mnuHelp", "&?");
    mnuHelpHelp = addEntry(mnuHelp, "mnuHelpHelp", "&Help", QKeySequence(Qt::Key_F1));
    mnu2 = addSeparator(mnuHelp, "mnu2");
    mnuHelpAbout = addEntry(mnuHelp, "mnuHelpAbout", "&About");
    mnuHelpHomepage = addEntry(mnuHelp, "mnuHelpHomepage", "Home&page");
    mnuHelpEmail = addEntry(mnuHelp, "mnuHelpEmail", "Send e&Mail..");
    mnu3 = addSeparator(mnuHelp, "mnu3");
    mnuHelpBugreport = addEntry(mnuHelp, "mnuHelpBugreport", "&Bugreport..");

    onTriggered(mnuQuit, [this] { mnuQuit_Click(); });
    onTriggered(mnuNewAsciiTable, [this] { mnuNewAsciiTable_Click(); });
    onTriggered(mnuOpenAsciiTable, [this] { mnuOpenAsciiTable_Click(); });
    onTriggered(mnuSaveAsciiTable, [this] { mnuSaveAsciiTable_Click(); });
    onTriggered(mnuSaveAsAsciiTable, [this] { mnuSaveAsAsciiTable_Click(); });
    onTriggered(mnuAsciiTableFill, [this] { mnuAsciiTableFill_Click(); });
    onTriggered(mnuAsciiTableShowFont, [this] { mnuAsciiTableShowFont_Click(); });
    onTriggered(mnuOpenPicture, [this] { mnuOpenPicture_Click(); });
    onTriggered(mnuScalePicture, [this] { mnuScalePicture_Click(); });
    onTriggered(mnuSelectFont, [this] { mnuSelectFont_Click(); });
    onTriggered(mnuPictureShow, [this] { mnuPictureShow_Click(); });
    onTriggered(mnuExtrasFullscreen, [this] { mnuExtrasFullscreen_Click(); });
    onTriggered(mnuExtrasPosition, [this] { mnuExtrasMapping_Click(choice::Mapping::Position); });
    onTriggered(mnuExtrasInk, [this] { mnuExtrasMapping_Click(choice::Mapping::Ink); });
    onTriggered(mnuExtrasShape, [this] { mnuExtrasMapping_Click(choice::Mapping::Shape); });
    onTriggered(mnuExtrasDither, [this] { mnuExtrasDither_Click(); });
    onTriggered(mnuExtrasAutoLevels, [this] { mnuExtrasAutoLevels_Click(); });
    onTriggered(mnuExtrasLevels, [this] { mnuExtrasLevels_Click(); });
    onTriggered(mnuHelpHelp, [this] { mnuHelpHelp_Click(); });
    onTriggered(mnuHelpAbout, [this] { mnuHelpAbout_Click(); });
    onTriggered(mnuHelpHomepage, [this] { mnuHelpHomepage_Click(); });
    onTriggered(mnuHelpEmail, [this] { mnuHelpEmail_Click(); });
    onTriggered(mnuHelpBugreport, [this] { mnuHelpBugreport_Click(); });
    onTriggered(mnuSeleftPropFont, [this] { mnuSeleftPropFont_Click(); });
}

void FrmMain::buildControls() {
    QWidget* w = client();
    const QFont small = verdana(FrmMain::kSmallFontSize);

    frAsciiTable = makeFrame(w, "frAsciiTable", 0, 120, 2535, 855);
    Label6 = makeLabel(frAsciiTable, "Label6", "Ascii-Table:", 120, 240, 1005, 195);
    lblAscii = makeLabel(frAsciiTable, "lblAscii", "", 1200, 240, 60, 195);
    txtAsciiTable = makeTextBox(frAsciiTable, "txtAsciiTable", "", 120, 480, 2295, 195);
    txtAsciiTable->setFont(small);
    txtAsciiTable->setTypingLimit(limits::kMaxTableLength);
    cmdSelectAscii = makeButton(frAsciiTable, "cmdSelectAscii", "...", 2160, 480, 285, 210);
    cmdSelectAscii->setFont(small);

    frPicture = makeFrame(w, "frPicture", 0, 960, 2535, 855);
    Label7 = makeLabel(frPicture, "Label7", "Picture:", 120, 240, 660, 195);
    lblPicture = makeLabel(frPicture, "lblPicture", "", 840, 240, 60, 195);
    cmdSelectPic = makeButton(frPicture, "cmdSelectPic", "...", 2160, 495, 285, 210);
    cmdSelectPic->setFont(small);
    shpPicPreviewRect = new BarShape(frPicture, "shpPicPreviewRect", QColor(), 120, 480, 270, 275);
    frSourcePreview = new QWidget(frPicture);
    frSourcePreview->setObjectName("frSourcePreview");
    placeTwips(frSourcePreview, 135, 490, 1455, 240);
    picSourcePicture = new SurfaceWidget(frSourcePreview, "picSourcePicture", 0);
    picSourcePicture->setToolTip("Click to view Picture");
    picSourcePicture->setOuterSize(twipsToPixels(30000), twipsToPixels(195));
    picSourcePicture->surface().setBackColor(fromQRgb(palette().color(QPalette::Window).rgb()));
    picSourcePicture->surface().cls();
    picSourcePicture->move(0, 0);

    frFont = makeFrame(w, "frFont", 0, 1800, 4335, 855);
    Label4 = makeLabel(frFont, "Label4", "Font:", 120, 240, 435, 195);
    Label5 = makeLabel(frFont, "Label5", "(use fixed pith fonts; no proportional)", 600, 250, 2775, 180);
    Label5->setFont(small);
    Label5->adjustSize();
    txtFont = makeTextBox(frFont, "txtFont", "Courier New", 120, 465, 1560, 195);
    txtFontSize = makeTextBox(frFont, "txtFontSize", "8", 1710, 465, 385, 195);
    cmdSelectFont = makeButton(frFont, "cmdSelectFont", "...", 2135, 465, 285, 210);
    cmdSelectFont->setFont(small);

    frProcess = makeFrame(w, "frProcess", 0, 2640, 7695, 975);
    cmdStart = makeButton(frProcess, "cmdStart", "&Start", 120, 480, 2295, 375);
    cmdStop = makeButton(frProcess, "cmdStop", "Sto&p", 2400, 480, 2295, 375);
    cmdStop->setEnabled(false); // a run cannot be stopped; the button never becomes available
    cmdQuit = makeButton(frProcess, "cmdQuit", "&Quit", 4680, 480, 2295, 375);
    shpProcess = new BarShape(frProcess, "shpProcess", palette().color(QPalette::Button), 120, 330, 4710, 60);
    shpPercent = new BarShape(frProcess, "shpPercent", Qt::black, 120, 330, 15, 60);
    LineProgress = new LineShape(frProcess, "LineProgress", LineShape::Tone::Shadow, 120, 330, 4800, 330);
    LineProgress1 = new LineShape(frProcess, "LineProgress1", LineShape::Tone::White, 120, 375, 4800, 375);

    frStatus = makeFrame(w, "frStatus", 0, 3600, 3615, 495);
    lblStatus = makeLabel(frStatus, "lblStatus", "Initializing..", 120, 240, 885, 180);
    lblStatus->setFont(small);
    lblStatus->adjustSize();
    LineSizer3 = new LineShape(frStatus, "LineSizer3", LineShape::Tone::Shadow, 3570, 240, 3330, 480);
    LineSizer2 = new LineShape(frStatus, "LineSizer2", LineShape::Tone::White, 3600, 240, 3360, 480);
    LineSizer1 = new LineShape(frStatus, "LineSizer1", LineShape::Tone::White, 3570, 360, 3450, 480);
    LineSizer = new LineShape(frStatus, "LineSizer", LineShape::Tone::Shadow, 3555, 360, 3435, 480);

    LineMenu = new LineShape(w, "LineMenu", LineShape::Tone::Shadow, 0, 0, 9120, 0);
    LineMenu1 = new LineShape(w, "LineMenu1", LineShape::Tone::White, 0, 15, 9120, 15);
    LineMenu2 = new LineShape(w, "LineMenu2", LineShape::Tone::Shadow, 0, 45, 9120, 45);
    LineMenu3 = new LineShape(w, "LineMenu3", LineShape::Tone::White, 0, 60, 9120, 60);

    connect(cmdStart, &QPushButton::clicked, this, [this] { cmdStart_Click(); });
    connect(cmdQuit, &QPushButton::clicked, this, [this] { cmdQuit_Click(); });
    connect(cmdSelectAscii, &QPushButton::clicked, this, [this] { cmdSelectAscii_Click(); });
    connect(cmdSelectPic, &QPushButton::clicked, this, [this] { cmdSelectPic_Click(); });
    connect(cmdSelectFont, &QPushButton::clicked, this, [this] { cmdSelectFont_Click(); });
    connect(txtFont, &TextBox::clicked, this, [this] { txtFont_Click(); });
    connect(picSourcePicture, &SurfaceWidget::clicked, this, [this] { picSourcePicture_Click(); });
    connect(txtAsciiTable, &QLineEdit::textChanged, this, [this] { txtAsciiTable_Change(); });
    connect(txtFont, &QLineEdit::textChanged, this, [this] { txtFont_Change(); });
    connect(txtFontSize, &QLineEdit::textChanged, this, [this] { txtFontSize_Change(); });
    connect(txtFontSize, &TextBox::keyDown, this,
            [this](int key, int shift) { txtFontSize_KeyDown(key, shift); });

    // Files dropped from a file manager: a picture anywhere on the window, a table on the table box.
    // Nothing is taken while a run works.
    const auto picture = [](const QString& file) {
        return !Forms::instance().runInProgress() && looksLikePicture(file);
    };
    const auto choose = [this](const QString& file) { Form_DropFile(file); };
    for (QWidget* target :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(txtFont), static_cast<QWidget*>(txtFontSize)})
        FileDrops::watch(target, picture, choose);
    FileDrops::watch(
        txtAsciiTable,
        [](const QString& file) { return !Forms::instance().runInProgress() && QFileInfo(file).isFile(); },
        [this](const QString& file) { txtAsciiTable_DropFile(file); });
}

QString FrmMain::status() const {
    return lblStatus->text();
}

void FrmMain::setCaption(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

void FrmMain::setStatus(const QString& text) {
    setCaption(lblStatus, text);
    emit statusChanged(text);
}
