#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QFileDialog;
class QFont;

// The one dialog object behind every Open, Save and Font dialog of the program. Each use sets some
// properties; the others keep what the previous use left, as users of the object rely on.
class CommonDialog {
  public:
    // Flag bits the program uses.
    static constexpr int kScreenFonts = 1, kPrinterFonts = 2, kHideReadOnly = 4, kFileMustExist = 4096,
                         kFixedPitchOnly = 16384;

    struct FileRequest {
        QString title, initDir, filter, fileName; // filter already in Qt's "Description (*.a *.b)" form
        int flags = 0;
        QString described; // the filter as the program wrote it: its descriptions are what the dialog shows
    };
    struct FontChoice {
        QString name;
        double size = 0;
    };

    // What actually shows the dialogs; an empty result means the user cancelled.
    class Backend {
      public:
        virtual ~Backend() = default;
        virtual std::optional<QString> open(const FileRequest& request) = 0;
        virtual std::optional<QString> save(const FileRequest& request) = 0;
        virtual std::optional<FontChoice> font(const FontChoice& initial, bool fixedPitchOnly) = 0;
    };

    static CommonDialog& instance();
    // Sets up a Qt file dialog for a request, as the program shows it.
    static void prepare(QFileDialog& dialog, const FileRequest& request, bool save);
    // Tests put a scripted backend in; nullptr restores the Qt dialogs.
    static void setBackend(std::shared_ptr<Backend> backend);
    // Forgets every property (a new program run).
    void reset();

    QString dialogTitle, initDir, filter, fileName, fileTitle, fontName;
    double fontSize = 8;
    int flags = 0;
    bool cancelError = false;

    // Each raises error 32755 on cancel when cancelError is set.
    void showOpen();
    void showSave();
    void showFont();

    // "Text (*.txt)|*.txt" -> "Text (*.txt)"; pairs become ";;"-separated filters.
    static QString qtFilter(const QString& filter);
    // The same filters as a file dialog matches them: regardless of letter case (cameras name files
    // IMG_0001.JPG), and "*.jpg" listing ".jpeg" files too.
    static QStringList caselessFilters(const QString& qtFilters);
    // The dialog's filters: each described text as written ("Picture (*.bmp;*.gif;*.jpg)"), followed by
    // its caseless patterns, which a dialog that hides a filter's details leaves unshown.
    static QStringList shownFilters(const QString& described);

    // The font a font dialog starts with for a font name: the family the font system uses for the name,
    // in its regular style (upright, normal weight, not condensed), and the size when it is one.
    static QFont presetFont(const QString& name, double size);

  private:
    void takeFile(const std::optional<QString>& chosen);
    Backend& backend();
};
