// The Start command: the buffer stage, then the glyph and text stages, with the main window's inputs
// locked while a run works.
#include "engine/block_average.h"
#include "engine/conversion.h"
#include "main_window/frmMain.h"
#include "platform/errors.h"
#include "platform/forms.h"
#include "platform/message_box.h"
#include "platform/numbers.h"
#include "platform/shapes.h"
#include "platform/stopwatch.h"
#include "platform/surface_widget.h"
#include "platform/text_box.h"
#include "platform/yield.h"
#include "state/app_info.h"
#include "state/mod_vars.h"
#include "windows/frmAscii.h"
#include "windows/frmBuffer.h"
#include "windows/frmChars.h"
#include "windows/frmScale.h"
#include "windows/frmSource.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

QString sizeCaption(const QString& prefix, int width, int height) {
    return prefix + QString::number(width) + "x" + QString::number(height);
}

} // namespace

void FrmMain::setProgress(double fraction) {
    const double width = shpProcess->widthTwips() * fraction;
    shpPercent->setWidthTwips(width);
    const int pixels = twipsToPixels(width);
    if (pixels != lastProgressPixels_) {
        lastProgressPixels_ = pixels;
        shpPercent->repaint();
    }
}

void FrmMain::setRunInputsEnabled(bool enabled) {
    // The controls a run locks, in the order they are locked and unlocked.
    for (QWidget* w : std::initializer_list<QWidget*>{
             cmdSelectAscii, txtAsciiTable, cmdSelectPic, cmdStart, cmdQuit, frmScale()->txtHorizontal,
             frmScale()->txtVertical, txtFont, txtFontSize, cmdSelectFont, picSourcePicture})
        w->setEnabled(enabled);
    for (QMenu* m : {mnuProgram, mnuAsciiTable, mnuPicture, mnuFont, mnuExtras, mnuHelp})
        m->menuAction()->setEnabled(enabled);
    setCursor(enabled ? Qt::ArrowCursor : Qt::WaitCursor);
}

void FrmMain::disableAll() {
    setRunInputsEnabled(false);
}

void FrmMain::enableAll() {
    setRunInputsEnabled(true);
}

bool FrmMain::initForms() {
    const auto& vars = modVars();
    try {
        const bool sourceIsNew = Forms::instance().find<FrmSource>() == nullptr;
        FrmSource* source = frmSource();
        source->setWindowState(Qt::WindowNoState);
        PictureSurface& src = source->pic->surface();
        src.setBackColor(255);
        source->move(0, 0);
        src.setAutoSize(true);
        if (vars.pictureFile.isEmpty())
            raiseError(err::FileNotFound);
        // A window created just now has read the same file a moment ago.
        if (!(sourceIsNew && source->loadedAtCreation()))
            src.loadPicture(vars.pictureFile);
        source->clearLoadedAtCreation();
        source->fitToPicture();
        if (vars.debugMode)
            source->show();
        source->lower();

        const int ws = src.outerWidth();
        const int hs = src.outerHeight();
        FrmBuffer* buffer = frmBuffer();
        buffer->setWindowState(Qt::WindowNoState);
        buffer->pic->surface().setBackColor(255);
        buffer->move(0, 0);
        buffer->setLeftTwips(source->leftTwips() + source->widthTwips());
        buffer->setTopTwips(0);

        conversion::Factors factors;
        factors.scaled = mnuScalePicture->isChecked();
        if (factors.scaled) {
            factors.h = num::strictToDouble(frmScale()->txtHorizontal->text());
            factors.v = num::strictToDouble(frmScale()->txtVertical->text());
        }
        const QSize outer = conversion::bufferOuterSize(ws, hs, factors);
        const int wb = outer.width(), hb = outer.height();
        buffer->pic->setOuterSize(wb, hb);
        buffer->setWidthTwips((wb + 7) * kTwipsPerPixel);
        buffer->setHeightTwips((hb + 45) * kTwipsPerPixel);
        if (vars.debugMode)
            buffer->show();
        buffer->lower();
        frmChars()->hide();
        frmAscii()->hide();
        return true;
    } catch (const PlatformError& e) {
        mb::show("ERROR: \r\n" + e.description() + "\r\n\r\n#" + QString::number(e.number()), mb::Exclamation,
                 app::title() + ", initForms");
        setStatus("ERROR: " + e.description() + " (#" + QString::number(e.number()) + ")");
        return false;
    }
}

void FrmMain::calcBuffer() {
    FrmSource* source = frmSource();
    FrmBuffer* buffer = frmBuffer();
    const PictureSurface& src = source->pic->surface();
    PictureSurface& buf = buffer->pic->surface();
    source->setWindowTitle(sizeCaption("Source - ", src.outerWidth(), src.outerHeight()));
    buffer->setWindowTitle(sizeCaption("Buffer - ", buf.outerWidth(), buf.outerHeight()));
    const int hStep = num::toInt32(num::strictToDouble(frmScale()->txtHorizontal->text()));
    const int vStep = num::toInt32(num::strictToDouble(frmScale()->txtVertical->text()));

    disableAll();
    yieldToWindowSystem();
    const Stopwatch clock;
    qint64 lastYield = -1;
    lastProgressPixels_ = -1;
    averageBlocks(src.image(), hStep, vStep, buf.mutableImage(), [&](int y) {
        setProgress(double(y) / src.outerHeight());
        const qint64 ms = clock.elapsedMs();
        // Yield in every tenth second; at most every 20 ms, so the window stays responsive without the
        // event loop costing more than the averaging.
        if ((ms / 1000) % 10 == 0 && (lastYield < 0 || ms - lastYield >= 20)) {
            lastYield = ms;
            yieldToWindowSystem();
        }
    });
    buf.changed();
    setStatus(status() + " ok.   (" + QString::number(clock.elapsedSeconds()) + "s)");
    setProgress(1.0);
    enableAll();
}

bool FrmMain::tableAndFontUsable() {
    // A table must have room in the sorted table of a run, and the font must draw something.
    QString problem;
    const qsizetype length = txtAsciiTable->text().size();
    if (length == 0)
        problem =
            "The character table is empty. Type the characters the result may use, or open a table file.";
    else if (length > kMaxTableLength)
        problem = QString("The character table has %1 characters; a table holds at most %2.")
                      .arg(length)
                      .arg(kMaxTableLength);
    else if (num::val(txtFontSize->text()) < 1)
        problem = "The font size must be at least 1 point.";
    if (problem.isEmpty())
        return true;
    mb::show(problem, mb::Exclamation);
    setStatus(problem);
    return false;
}

void FrmMain::cmdStart_Click() {
    if (Forms::instance().runInProgress())
        return;
    if (!tableAndFontUsable())
        return;
    if (!initForms())
        return;
    Forms::instance().setRunInProgress(true);
    const QString h = frmScale()->txtHorizontal->text();
    const QString v = frmScale()->txtVertical->text();
    double hv = 0, vv = 0;
    try {
        hv = num::val(h);
        vv = num::val(v);
    } catch (const PlatformError&) {
    }
    const bool unscaled = !mnuScalePicture->isChecked() || (hv == 1 && vv == 1);
    FrmBuffer* buffer = frmBuffer();
    if (unscaled) {
        setStatus("Preparing Buffer..");
        buffer->pic->surface().setPicture(frmSource()->pic->surface().image());
        buffer->setWindowTitle(sizeCaption("Buffer - ", buffer->pic->surface().outerWidth(),
                                           buffer->pic->surface().outerHeight()));
        setStatus(status() + " ok.");
    } else {
        setStatus("Calculating Buffer..");
        calcBuffer();
        buffer->show();
    }
    disableAll();
    calcChars();
    transformPic();
    enableAll();
    Forms::instance().setRunInProgress(false);
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        unload();
    }
}
