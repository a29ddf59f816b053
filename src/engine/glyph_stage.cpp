// The glyph stage of a run: the table's characters drawn on the character surface, measured inside
// their common ink box and sorted darkest first.
#include "engine/glyph_measure.h"
#include "main_window/frmMain.h"
#include "platform/numbers.h"
#include "platform/shapes.h"
#include "platform/surface_widget.h"
#include "platform/text_box.h"
#include "platform/yield.h"
#include "state/mod_vars.h"
#include "windows/frmBuffer.h"
#include "windows/frmChars.h"
#include "windows/frmSource.h"

namespace {
constexpr int kGrey = 0x808080;
constexpr int kNearWhite = 0xF8F8F8;
constexpr int kRed = 0x0000FF;
} // namespace

void FrmMain::calcChars() {
    auto& vars = modVars();
    double size = num::val(txtFontSize->text());
    if (size > kMaxFontSize) {
        txtFontSize->setText(num::format(kMaxFontSize));
        size = kMaxFontSize;
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
    surface.font() = glyphs::measuringFont(txtFont->text(), size);
    surface.cls();

    setStatus("Reading Ascii-File..");
    yieldToWindowSystem();
    const QString table = txtAsciiTable->text();
    const int n = int(table.size());
    for (int i = 1; i <= n; ++i) {
        surface.setCurrent(0, 0);
        vars.chars[i] = table.at(i - 1);
        surface.print(vars.chars[i]);
    }
    vars.charCount = int16_t(n);

    setStatus("Analizing Font..");
    yieldToWindowSystem();
    glyphs::InkBox box;
    const QImage overlay = surface.image();
    for (int x = 0; x < overlay.width(); ++x) {
        setProgress(double(x) / overlay.width());
        glyphs::extendInkBox(box, overlay, x);
        if (vars.debugMode) {
            // Mark the scanned column: grey where the box grows, near white elsewhere.
            for (int y = 0; y < overlay.height(); ++y)
                surface.pset(x, y, glyphs::passesExtent(overlay.pixel(x, y)) ? kGrey : kNearWhite);
            chars->picChar->repaint();
        }
    }
    surface.drawBox(box.minX, box.minY, box.maxX, box.maxY, kRed);

    setStatus("Analizing Chars..");
    yieldToWindowSystem();
    std::vector<QChar> sorted(static_cast<size_t>(n));
    std::vector<int32_t> levels(static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i) {
        setProgress(double(i) / n);
        surface.cls();
        surface.print(vars.chars[i]);
        // One pixel outside the box, so the frame never falls inside the counted area.
        surface.drawBox(box.minX - 1, box.minY - 1, box.maxX + 1, box.maxY + 1, kRed);
        yieldToWindowSystem();
        vars.charLevels[i] = glyphs::countInk(surface.image(), box);
        sorted[i - 1] = vars.chars[i].at(0);
        levels[i - 1] = vars.charLevels[i];
    }
    surface.cls();

    glyphs::sortDarkestFirst(sorted, levels);
    for (int i = 1; i <= n; ++i) {
        vars.chars[i] = sorted[i - 1];
        vars.charLevels[i] = levels[i - 1];
    }
    setStatus(status() + " ok.");
    setCursor(Qt::ArrowCursor);
}
