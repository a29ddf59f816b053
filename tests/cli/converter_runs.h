#pragma once

#include "support/fixture.h"
#include "ui/main_window/frm_main.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QProcessEnvironment>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <optional>

// What the converter's tests share: tessarine-convert run as a user runs it (its output, errors and status),
// the environment it runs in, and a fixture with a cache folder of each test's own.
namespace converter_test {

struct ConverterRun {
    int status;
    QByteArray out, err;
    QByteArray fontNotice; // the line that says the font asked for is not installed, kept out of `err`
};

// Most tests convert in the default font, which Debian does not have: its notice is kept apart.
ConverterRun noticeApart(ConverterRun r);

// The converter's environment: the test's own, or, for the run of the suite as users run the converter,
// without the Qt platform the tests set for themselves.
QProcessEnvironment converterEnvironment();

// A variable of the converter's environment for the runs of a scope (the suite leaves COLORTERM and
// COLORFGBG unset, and TERM xterm-256color).
class ConverterVariable {
  public:
    ConverterVariable(const char* name, const char* value) : name_(name) { qputenv(name, value); }
    ~ConverterVariable() { qunsetenv(name_); }
    ConverterVariable(const ConverterVariable&) = delete;
    ConverterVariable& operator=(const ConverterVariable&) = delete;

  private:
    const char* name_;
};

// `memoryLimit`: the most address space, in bytes, the converter may take (0: no limit).
ConverterRun convert(const QStringList& args, const QString& input = QString(), qint64 memoryLimit = 0);
// The converter run by bash after `setUp` (a umask, a ulimit).
ConverterRun convertAfter(const QString& setUp, const QStringList& args);
// The converter run as an ordinary user: through setpriv as nobody when the tests run as root. Nothing
// when that cannot be done here.
std::optional<ConverterRun> convertAsUser(const QStringList& args);

// A folder of the test's that an ordinary user may reach (the test's folder is its owner's alone).
void openToOthers(const QString& folder);
// The temporary files a write left in a folder.
QStringList temporaries(const QString& folder);

QImage scene(int w, int h);
// A character cell of the measuring font, at the 96 dpi the measurement uses.
QSizeF cell(const QString& font, double points);
// The family the font system gives for "monospace", which the converter measures in by default.
QString terminalFamily();
QList<QByteArray> linesOf(const QByteArray& out);
// A picture of tests/data/hostile.
QString hostile(const char* name);
// The text without the reset that ends each coloured line.
QByteArray withoutResets(QByteArray out);
// The converter's output with every escape sequence taken out.
QByteArray withoutSequences(QByteArray out);

class Converter : public ProgramTest {
  protected:
    // Every test measures afresh the first time: its own cache folder.
    void SetUp() override {
        ProgramTest::SetUp();
        qputenv("XDG_CACHE_HOME", QFile::encodeName(path("cache")));
        qunsetenv("COLUMNS"); // redirected, the text is 80 characters wide unless COLUMNS says otherwise
    }
    void TearDown() override {
        qunsetenv("XDG_CACHE_HOME");
        ProgramTest::TearDown();
    }
    // The desktop program's result for the same inputs, as its Save as would write it.
    QByteArray desktopText(const QString& picture, const QString& table, const QString& font,
                           const QString& size, const QString& h, const QString& v);
};

} // namespace converter_test
