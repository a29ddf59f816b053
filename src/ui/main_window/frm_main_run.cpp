// A conversion run: the Start command, the buffer, glyph and text stages, and the locking of the main
// window's inputs while a run works. The stages call the same code as tessarine-convert; what is here
// is what the windows show meanwhile.
#include "core/app_info.h"
#include "core/conversion.h"
#include "core/errors.h"
#include "core/glyph_measure.h"
#include "core/numbers.h"
#include "core/pixel_views.h"
#include "core/stopwatch.h"
#include "kernels/buffer.h"
#include "kernels/limits.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/shapes.h"
#include "ui/platform/surface_widget.h"
#include "ui/platform/text_box.h"
#include "ui/platform/yield.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"
#include "ui/windows/frm_buffer.h"
#include "ui/windows/frm_chars.h"
#include "ui/windows/frm_scale.h"
#include "ui/windows/frm_source.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

constexpr int kGrey = 0x808080;
constexpr int kNearWhite = 0xF8F8F8;
constexpr int kRed = 0x0000FF;

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
    for (QMenu* m : {mnuProgram, mnuAsciiTable, mnuPicture, mnuFont, mnuExtras, mnuHelp}) {
        m->menuAction()->setEnabled(enabled);
        // The entries too, so their shortcuts (Ctrl+Q, F1, F11) are inert while a run holds the window;
        // each gets back the state it had, so entries that are never available stay so.
        for (QAction* entry : m->actions()) {
            if (!enabled && !heldEntries_.contains(entry)) {
                heldEntries_.insert(entry, entry->isEnabled());
                entry->setEnabled(false);
            } else if (enabled && heldEntries_.contains(entry)) {
                entry->setEnabled(heldEntries_.take(entry));
            }
        }
    }
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
    } catch (const err::Error& e) {
        mb::show("ERROR: \r\n" + errorText(e) + "\r\n\r\n#" + QString::number(e.number()), mb::Exclamation,
                 app::title() + ", initForms");
        setStatus("ERROR: " + errorText(e) + " (#" + QString::number(e.number()) + ")");
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
    const conversion::Factors factors{true, num::strictToDouble(frmScale()->txtHorizontal->text()),
                                      num::strictToDouble(frmScale()->txtVertical->text())};

    disableAll();
    yieldToWindowSystem();
    const Stopwatch clock;
    qint64 lastYield = -1;
    lastProgressPixels_ = -1;
    // initForms has sized the buffer from the same factors, so the builder's area is the surface's.
    buffer::Builder builder(factors);
    builder.start(src.drawWidth(), src.drawHeight());
    builder.attach(mutablePixelView(buf.mutableImage()));
    const px::View picture = pixelView(src.image());
    for (int y = 0; y < picture.height; ++y) {
        builder.addRow(y, picture.row(y));
        setProgress(double(y) / src.outerHeight());
        const qint64 ms = clock.elapsedMs();
        // Yield in every tenth second; at most every 20 ms, so the window stays responsive without the
        // event loop costing more than the averaging.
        if ((ms / 1000) % 10 == 0 && (lastYield < 0 || ms - lastYield >= 20)) {
            lastYield = ms;
            yieldToWindowSystem();
        }
    }
    buf.changed();
    setStatus(status() + " ok.   (" + QString::number(clock.elapsedSeconds()) + "s)");
    setProgress(1.0);
    enableAll();
}

void FrmMain::calcChars() {
    auto& vars = modVars();
    double size = num::val(txtFontSize->text());
    if (size > limits::kMaxFontSize) {
        txtFontSize->setText(num::format(limits::kMaxFontSize));
        size = limits::kMaxFontSize;
    }
    yieldToWindowSystem();

    FrmChars* chars = frmChars();
    FrmBuffer* buffer = frmBuffer();
    chars->setTopTwips(0);
    chars->setLeftTwips(buffer->leftTwips() + buffer->widthTwips());
    const int side = glyphs::surfaceSide(size);
    chars->picChar->setOuterSize(side, side);
    chars->setWidthTwips(int(size * 30) + 95);
    chars->setHeightTwips(int(size * 30) + 345);
    if (vars.debugMode)
        chars->show();
    chars->lower();
    buffer->lower();
    frmSource()->lower();

    setCursor(Qt::WaitCursor);
    PictureSurface& surface = chars->picChar->surface();
    surface.cls();
    setStatus("Reading Ascii-File..");
    yieldToWindowSystem();

    // The measurement shown on the character surface as it happens, with the stage's status texts.
    class Watcher : public glyphs::MeasureObserver {
      public:
        Watcher(FrmMain& main, FrmChars& chars, bool debug) : main_(main), chars_(chars), debug_(debug) {}

        void tableDrawn(const QImage& overlay) override {
            surface().setPicture(overlay);
            main_.setStatus("Analizing Font..");
            yieldToWindowSystem();
        }
        void columnScanned(int x, const QImage& overlay) override {
            main_.setProgress(double(x) / overlay.width());
            if (!debug_)
                return;
            // Mark the scanned column: grey where the box grows, near white elsewhere.
            for (int y = 0; y < overlay.height(); ++y)
                surface().pset(x, y, glyphs::passesExtent(overlay.pixel(x, y)) ? kGrey : kNearWhite);
            chars_.picChar->repaint();
        }
        void inkBoxFound(const glyphs::InkBox& box) override {
            box_ = box;
            surface().drawBox(box.minX, box.minY, box.maxX, box.maxY, kRed);
            main_.setStatus("Analizing Chars..");
            yieldToWindowSystem();
        }
        void measuring(int index, int count, const QImage& glyph) override {
            main_.setProgress(double(index + 1) / count);
            surface().setPicture(glyph);
            // One pixel outside the box, so the frame never falls inside the counted area.
            surface().drawBox(box_.minX - 1, box_.minY - 1, box_.maxX + 1, box_.maxY + 1, kRed);
            yieldToWindowSystem();
        }

      private:
        PictureSurface& surface() { return chars_.picChar->surface(); }
        FrmMain& main_;
        FrmChars& chars_;
        bool debug_;
        glyphs::InkBox box_;
    } watcher(*this, *chars, vars.debugMode);

    const glyphs::Measured m = glyphs::measureTable(txtAsciiTable->text(), txtFont->text(), size, &watcher);
    surface.cls();
    const int n = int(m.chars.size());
    for (int i = 1; i <= n; ++i) {
        vars.chars[size_t(i)] = glyphs::characterText(m.chars[size_t(i - 1)]);
        vars.charLevels[size_t(i)] = m.levels[size_t(i - 1)];
    }
    vars.charCount = int16_t(n);
    measured_ = {m.chars, m.levels, m.patterns};
    measuredCellAspect_ = glyphs::cellAspect(glyphs::measuringFont(txtFont->text(), size));
    setStatus(status() + " ok.");
    setCursor(Qt::ArrowCursor);
}

void FrmMain::transformPic() {
    const auto& vars = modVars();
    setCursor(Qt::WaitCursor);
    setStatus("Transforming Picture to Ascii..");
    FrmAscii* ascii = frmAscii();
    ascii->setText(QString());
    ascii->setTextFont(txtFont->text(), num::val(txtFontSize->text()));
    yieldToWindowSystem();

    std::vector<char32_t> sorted;
    sorted.reserve(size_t(vars.charCount));
    for (int i = 1; i <= vars.charCount; ++i)
        sorted.push_back(vars.chars[size_t(i)].toStdU32String().front());
    const QImage& buffer = frmBuffer()->pic->surface().image();
    QString text;
    if (extras_.described()) {
        text = conversion::transform(buffer, sorted);
    } else {
        // The Extras menu's mapping: the shape mapping splits the blocks of the picture the buffer was made
        // from, with the factors the run used.
        conversion::Factors factors;
        factors.scaled = mnuScalePicture->isChecked();
        if (factors.scaled) {
            factors.h = num::strictToDouble(frmScale()->txtHorizontal->text());
            factors.v = num::strictToDouble(frmScale()->txtVertical->text());
        }
        text = conversion::transformChosen(buffer, frmSource()->pic->surface().image(), factors, measured_,
                                           measuredCellAspect_, extras_);
    }
    setProgress(1.0);

    ascii->setText(text, buffer.width());
    setCursor(Qt::ArrowCursor);
    setStatus(status() + " ok.");
    ascii->show();
    yieldToWindowSystem();
}

bool FrmMain::tableAndFontUsable() {
    // A table must have room in the sorted table of a run, and the font must draw something.
    QString problem;
    const qsizetype length = qsizetype(txtAsciiTable->text().toStdU32String().size());
    if (length == 0)
        problem =
            "The character table is empty. Type the characters the result may use, or open a table file.";
    else if (length > limits::kMaxTableLength)
        problem = QString("The character table has %1 characters; a table holds at most %2.")
                      .arg(length)
                      .arg(limits::kMaxTableLength);
    else if (num::val(txtFontSize->text()) < limits::kMinFontSize)
        problem = "The font size must be at least 1 point.";
    else if (txtFont->text().toStdU32String().size() > size_t(limits::kMaxFontNameLength))
        problem = QString("The font name is longer than %1 characters; no font is named so.")
                      .arg(limits::kMaxFontNameLength);
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
    } catch (const err::Error&) {
        // A number too large to read is not 1: the run takes the scaled route, as initForms allowed.
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
