#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>
#include <vector>

class FrmMain;

struct ShownBox {
    QString text;
    int style;
    QString title;
};

// Every program test starts from a fresh program: an offscreen application, an empty temporary
// program folder, no windows, fresh program state, and message boxes that are recorded and answered
// from a script (the first button when the script is empty).
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString folder() const { return dir_.path(); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString iniPath() const { return path("Tessarine.ini"); }
    void writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;
    void writeIni(const QStringList& lines) const;

    // Starts the program as its executable would, with this argument text.
    FrmMain* start(const QString& arguments = QString());
    // Closes the main window as the close box does and lets deferred deletions happen.
    void shutDown(FrmMain* main);

    std::vector<ShownBox> boxes;
    std::deque<int> answers;

private:
    QTemporaryDir dir_;
};

// Lets pending events (deferred deletions among them) run.
void settle();
