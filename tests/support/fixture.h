#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>
#include <vector>

#include "ui/platform/common_dialog.h"
#include "ui/platform/shell.h"

#include <memory>
#include <optional>

class FrmMain;

// Dialogs answered from a script: each answer is a file name (or font), or nothing for Cancel. Every
// request is recorded with the kind of dialog ("open", "save", "font").
class ScriptedDialogs : public CommonDialog::Backend {
  public:
    std::optional<QString> open(const CommonDialog::FileRequest& r) override { return nextFile("open", r); }
    std::optional<QString> save(const CommonDialog::FileRequest& r) override { return nextFile("save", r); }
    std::optional<CommonDialog::FontChoice> font(const CommonDialog::FontChoice& initial,
                                                 bool fixedOnly) override;

    std::deque<std::optional<QString>> files;
    std::deque<std::optional<CommonDialog::FontChoice>> fonts;
    std::vector<QString> kinds;
    std::vector<CommonDialog::FileRequest> fileRequests;
    std::vector<std::pair<CommonDialog::FontChoice, bool>> fontRequests;

  private:
    std::optional<QString> nextFile(const char* kind, const CommonDialog::FileRequest& r);
};

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

    // Starts the program as its executable would, with these arguments.
    FrmMain* start(const QStringList& arguments = {});
    // Closes the main window as the close box does and lets deferred deletions happen.
    void shutDown(FrmMain* main);

    std::vector<ShownBox> boxes;
    std::deque<int> answers;
    std::shared_ptr<ScriptedDialogs> dialogs;
    std::vector<shell::Call> shellCalls;

    // $XDG_CONFIG_HOME for the test: the user's configuration folder.
    QString configFolder() const { return configDir_.path(); }

  private:
    QTemporaryDir dir_;
    QTemporaryDir configDir_;
    bool hadConfigHome_ = false;
    QByteArray savedConfigHome_;
};

// A program started on an empty settings file, with its main window at hand.
class StartedProgram : public ProgramTest {
  protected:
    void SetUp() override;
    FrmMain* main = nullptr;
};

// Lets pending events (deferred deletions among them) run.
void settle();
