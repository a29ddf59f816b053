#include "ui/platform/message_box.h"

#include "core/app_info.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

namespace mb {

namespace {
Handler& handler() {
    static Handler h;
    return h;
}

int showQt(const QString& text, int style, const QString& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(shown);
    switch (style & 0x70) {
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    QAbstractButton* first = nullptr;
    QAbstractButton* second = nullptr;
    switch (style & 0x7) {
    case OkCancel:
        first = box.addButton(QMessageBox::Ok);
        second = box.addButton(QMessageBox::Cancel);
        break;
    case YesNo:
        first = box.addButton(QMessageBox::Yes);
        second = box.addButton(QMessageBox::No);
        break;
    default:
        first = box.addButton(QMessageBox::Ok);
        break;
    }
    auto* def = (style & DefaultButton2) && second ? second : first;
    box.setDefaultButton(qobject_cast<QPushButton*>(def));
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    switch (pressed) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Cancel:
        return Cancel;
    case QMessageBox::Ok:
        return Ok;
    default:
        return second ? ((style & 0x7) == YesNo ? No : Cancel) : Ok; // closed with Escape
    }
}
} // namespace

int show(const QString& text, int style, const QString& title) {
    const QString t = title.isEmpty() ? app::title() : title;
    if (handler())
        return handler()(text, style, t);
    return showQt(text, style, t);
}

void answerOnStandardError() {
    setHandler([](const QString& text, int style, const QString& title) {
        QString line = text;
        line.replace(QLatin1String("\r\n"), QLatin1String(" "));
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(line.simplified()));
        const bool second = (style & DefaultButton2) && (style & 0x7) != OkOnly;
        switch (style & 0x7) {
        case OkCancel:
            return second ? Cancel : Ok;
        case YesNo:
            return second ? No : Yes;
        default:
            return Ok;
        }
    });
}

void reportSaveFailure(const QString& path, const QString& reason) {
    show("The file\r\n" + QDir::toNativeSeparators(path) + "\r\ncould not be saved: " + reason +
             ".\r\n\r\n"
             "Nothing was written; an earlier file of that name is unchanged.",
         Exclamation);
}

void setHandler(Handler h) {
    handler() = std::move(h);
}

} // namespace mb
