#pragma once

#include <QString>
#include <functional>

// Modal message boxes with the usual style bits; the answer is the button pressed.
namespace mb {

// Style bits.
constexpr int OkOnly = 0, OkCancel = 1, YesNo = 4;
constexpr int Critical = 16, Question = 32, Exclamation = 48, Information = 64;
constexpr int DefaultButton2 = 256;
// Answers.
constexpr int Ok = 1, Cancel = 2, Yes = 6, No = 7;

// Shows a box; the title defaults to the program's title.
int show(const QString& text, int style = OkOnly, const QString& title = QString());

// Tells the user that a file could not be written, naming the file and the reason.
void reportSaveFailure(const QString& path, const QString& reason);

// From now on no box is shown: the program is ending with no one to answer (a session's end, a signal).
// Each box's title and text go to standard error instead, and its default button is the answer.
void answerOnStandardError();

// Tests replace the real box with a scripted answerer; an empty function restores QMessageBox.
using Handler = std::function<int(const QString& text, int style, const QString& title)>;
void setHandler(Handler handler);

} // namespace mb
