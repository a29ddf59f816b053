#pragma once

#include "ui/platform/form.h"

#include <functional>

class QAction;
class QMenu;
class ExactTextBox;
namespace art {
struct OutputForm;
}

// The result of a run: the text art, which the user may edit, copy, re-font and save.
class FrmAscii : public Form {
    Q_OBJECT
  public:
    FrmAscii();

    ExactTextBox* txt;
    QMenu* mnuFile;
    QAction* mnuFileSaveAs;
    QAction* mnuFileClose;
    QAction* mnuFileSaveAsHtml;
    QAction* mnuFileSaveAsPicture;
    QMenu* mnuEdit;
    QAction* mnuEditCopy;
    QAction* mnuEditSelectAll;
    QMenu* mnuFont;
    QAction* mnuFontSelect;
    QAction* mnuFontIncrease;
    QAction* mnuFontDecrease;
    QAction* mnuMaximize;
    QAction* mnuHelp;

    // The text exactly as the box holds it: lines end in CR LF.
    QString text() const;
    // `lineLength`: the characters of every line of a result, so that only the CR LF pairs that end
    // lines break them (a table may hold CR and LF of its own).
    void setText(const QString& text, int lineLength = -1);
    void setTextFont(const QString& name, double points);

    void mnuFileSaveAs_Click();
    void mnuFileClose_Click();
    // The result as a web page and as a picture, in the box's current font.
    void mnuFileSaveAsHtml_Click();
    void mnuFileSaveAsPicture_Click();
    void mnuEditCopy_Click();
    void mnuEditSelectAll_Click();
    void mnuFontSelect_Click();
    void mnuFontIncrease_Click();
    void mnuFontDecrease_Click();
    void mnuMaximize_Click();
    void mnuHelp_Click();

    // The smallest text size the box takes, in points.
    static constexpr double kSmallestTextSize = 1;

    // The main window's font name, which the font dialog starts with; the main window provides it.
    std::function<QString()> mainFontName;

  signals:
    // The help entry: the main window opens the local help page.
    void helpRequested();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Resize();
    // Asks for a file through the shared dialog and writes the text into it in the form.
    void saveAsForm(const art::OutputForm& form);
    void changeTextSize(double delta);
};

FrmAscii* frmAscii();
