#include "ui/platform/common_dialog.h"

#include "core/errors.h"
#include "core/paths.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QRegularExpression>

namespace {

class QtBackend : public CommonDialog::Backend {
  public:
    std::optional<QString> open(const CommonDialog::FileRequest& r) override {
        return run(r, QFileDialog::AcceptOpen);
    }
    std::optional<QString> save(const CommonDialog::FileRequest& r) override {
        return run(r, QFileDialog::AcceptSave);
    }

    std::optional<CommonDialog::FontChoice> font(const CommonDialog::FontChoice& initial,
                                                 bool fixedPitchOnly) override {
        const QFont start = CommonDialog::presetFont(initial.name, initial.size);
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, start, QApplication::activeWindow(), QString(),
                                                  fixedPitchOnly ? QFontDialog::MonospacedFonts
                                                                 : QFontDialog::FontDialogOptions());
        if (!ok)
            return std::nullopt;
        return CommonDialog::FontChoice{chosen.family(), chosen.pointSizeF()};
    }

  private:
    std::optional<QString> run(const CommonDialog::FileRequest& r, QFileDialog::AcceptMode mode) {
        QFileDialog dialog(QApplication::activeWindow());
        CommonDialog::prepare(dialog, r, mode == QFileDialog::AcceptSave);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

std::shared_ptr<CommonDialog::Backend>& currentBackend() {
    static std::shared_ptr<CommonDialog::Backend> backend;
    return backend;
}

} // namespace

CommonDialog& CommonDialog::instance() {
    static CommonDialog dialog;
    return dialog;
}

void CommonDialog::setBackend(std::shared_ptr<Backend> backend) {
    currentBackend() = std::move(backend);
}

void CommonDialog::reset() {
    *this = CommonDialog();
}

CommonDialog::Backend& CommonDialog::backend() {
    if (!currentBackend())
        currentBackend() = std::make_shared<QtBackend>();
    return *currentBackend();
}

QString CommonDialog::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)\\s*$")));
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        out.append(description + " (" + patterns + ")");
    }
    return out.join(QStringLiteral(";;"));
}

QStringList CommonDialog::shownFilters(const QString& described) {
    const QStringList parts = described.split(u'|');
    QStringList caseless = caselessFilters(qtFilter(described));
    for (qsizetype i = 0; i < caseless.size() && 2 * i < parts.size(); ++i) {
        const qsizetype open = caseless[i].lastIndexOf(u'(');
        caseless[i] = parts[2 * i] + " " + caseless[i].mid(open);
    }
    return caseless;
}

QFont CommonDialog::presetFont(const QString& name, double size) {
    const QString family = QFontInfo(QFont(name)).family();
    QFont font(family);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    // A dialog given no style picks the family's first one, an oblique for some.
    QString regular;
    for (const QString& style : QFontDatabase::styles(family)) {
        const QFont candidate = QFontDatabase::font(family, style, 10);
        if (candidate.style() != QFont::StyleNormal || QFontDatabase::weight(family, style) != QFont::Normal)
            continue;
        if (regular.isEmpty() || candidate.stretch() == QFont::AnyStretch ||
            candidate.stretch() == QFont::Unstretched) {
            regular = style;
            if (candidate.stretch() == QFont::AnyStretch || candidate.stretch() == QFont::Unstretched)
                break;
        }
    }
    if (!regular.isEmpty())
        font.setStyleName(regular);
    if (size > 0)
        font.setPointSizeF(size);
    return font;
}

QStringList CommonDialog::caselessFilters(const QString& qtFilters) {
    static const QRegularExpression list(QStringLiteral("^(.*)\\(([^()]*)\\)\\s*$"));
    QStringList out;
    for (const QString& filter : qtFilters.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = list.match(filter);
        if (!m.hasMatch()) {
            out.append(filter);
            continue;
        }
        QStringList patterns = m.captured(2).split(u' ', Qt::SkipEmptyParts);
        if (patterns.contains(QStringLiteral("*.jpg")) && !patterns.contains(QStringLiteral("*.jpeg")))
            patterns.append(QStringLiteral("*.jpeg"));
        for (QString& pattern : patterns) {
            QString caseless;
            for (QChar c : pattern)
                caseless += c.isLetter() && c.toLower() != c.toUpper()
                                ? QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper())
                                : QString(c);
            pattern = caseless;
        }
        out.append(m.captured(1) + "(" + patterns.join(u' ') + ")");
    }
    return out;
}

void CommonDialog::prepare(QFileDialog& dialog, const FileRequest& r, bool save) {
    dialog.setWindowTitle(r.title);
    if (!r.initDir.isEmpty())
        dialog.setDirectory(r.initDir);
    // The patterns spell every letter both ways, which is no reading for the filter's list: it shows
    // the descriptions only, as the program wrote them.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(r.described.isEmpty() ? caselessFilters(r.filter) : shownFilters(r.described));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!r.fileName.isEmpty())
        dialog.selectFile(r.fileName);
}

void CommonDialog::takeFile(const std::optional<QString>& chosen) {
    if (!chosen) {
        if (cancelError)
            raiseError(err::Cancel);
        return;
    }
    fileName = *chosen;
    fileTitle = paths::fileTitle(fileName);
}

void CommonDialog::showOpen() {
    takeFile(backend().open({dialogTitle, initDir, qtFilter(filter), fileName, flags, filter}));
}

void CommonDialog::showSave() {
    takeFile(backend().save({dialogTitle, initDir, qtFilter(filter), fileName, flags, filter}));
}

void CommonDialog::showFont() {
    const auto chosen = backend().font({fontName, fontSize}, flags & kFixedPitchOnly);
    if (!chosen) {
        if (cancelError)
            raiseError(err::Cancel);
        return;
    }
    fontName = chosen->name;
    fontSize = chosen->size;
}
