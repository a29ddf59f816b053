// The main window's layout: frames across the full width, the picture frame taking the height that the
// three bottom frames leave, and the Fullscreen command.
#include "ui/main_window/frm_main.h"
#include "ui/platform/shapes.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"

#include <QAction>
#include <QEvent>
#include <QPushButton>
#include <algorithm>

void FrmMain::resizeEvent(QResizeEvent* event) {
    Form::resizeEvent(event);
    Form_Resize();
}

void FrmMain::changeEvent(QEvent* event) {
    Form::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

namespace {
// The picture frame's designed top plus the three bottom frames' heights, less two pixels of overlap.
constexpr int kFramesBelowPicture = 217;
} // namespace

void FrmMain::Form_Resize() {
    if (isMaximized())
        mnuExtrasFullscreen->setChecked(true);
    if (isMinimized())
        return;
    if (widthTwips() < kMinOuterWidthTwips)
        setWidthTwips(kMinOuterWidthTwips);
    if (heightTwips() < kMinOuterHeightTwips)
        setHeightTwips(kMinOuterHeightTwips);

    // 32-bit arithmetic: any width a screen offers keeps the controls following it.
    const int w = clientWidth();
    const int w15 = 15 * w;
    const double S = clientWidth(), H = clientHeight();

    // A value a control would refuse (a negative size) leaves that control as it was.
    for (LineShape* l : {LineMenu, LineMenu1, LineMenu2, LineMenu3})
        l->setX2(w15); // the window's own lines sit in pixels: w pixels are 15w twips
    frAsciiTable->resize(w, frAsciiTable->height());
    if (w15 - 535 >= 0)
        setTwipWidth(txtAsciiTable, w15 - 535);
    setTwipLeft(cmdSelectAscii, w15 - 390);
    frPicture->resize(w, frPicture->height());
    if (w15 - 550 >= 0)
        setTwipWidth(frSourcePreview, w15 - 550);
    if (w15 - 520 >= 0)
        shpPicPreviewRect->setWidthTwips(w15 - 520);
    setTwipLeft(cmdSelectPic, w15 - 390);
    frFont->resize(w, frFont->height());
    frProcess->resize(w, frProcess->height());
    setTwipLeft(cmdQuit, std::max(2400.0, w15 - twipRect(cmdQuit).width() - 120));
    if (w15 - 220 >= 0)
        shpProcess->setWidthTwips(w15 - 220);
    LineProgress->setX2(w15 - 140);
    LineProgress1->setX2(w15 - 140);
    frStatus->resize(w, frStatus->height());

    // The font, process and status frames keep their heights and stick to the bottom edge.
    const int statusTop = int(H) - frStatus->height();
    frStatus->move(frStatus->x(), statusTop);
    frProcess->move(frProcess->x(), statusTop - frProcess->height() + 1);
    frFont->move(frFont->x(), statusTop - frProcess->height() - frFont->height() + 1);
    if (H - kFramesBelowPicture >= 0)
        frPicture->resize(frPicture->width(), int(H) - kFramesBelowPicture);
    if (15.0 * frPicture->height() - 570 >= 0)
        shpPicPreviewRect->setHeightTwips(15.0 * frPicture->height() - 570);
    if (shpPicPreviewRect->heightTwips() - 30 >= 0)
        setTwipHeight(frSourcePreview, shpPicPreviewRect->heightTwips() - 30);

    LineSizer->setPoints(15 * S - 50, LineSizer->y1(), 15 * S - 120 - 50, LineSizer->y2());
    LineSizer1->setPoints(15 * S - 35, LineSizer1->y1(), 15 * S - 120 - 35, LineSizer1->y2());
    LineSizer3->setPoints(15 * S - 50, LineSizer3->y1(), 15 * S - 240 - 50, LineSizer3->y2());
    LineSizer2->setPoints(15 * S - 35, LineSizer2->y1(), 15 * S - 240 - 35, LineSizer2->y2());
}

void FrmMain::mnuExtrasFullscreen_Click() {
    if (mnuExtrasFullscreen->isChecked()) {
        mnuExtrasFullscreen->setChecked(false);
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    } else {
        mnuExtrasFullscreen->setChecked(true);
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    }
}
