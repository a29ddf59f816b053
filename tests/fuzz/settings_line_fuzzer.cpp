// Applies one settings line to a running main window, as start-up does for every line of the file.
#include "core/errors.h"
#include "core/numbers.h"
#include "core/paths.h"
#include "core/text_files.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/message_box.h"
#include "ui/platform/text_box.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {
FrmMain* window() {
    static FrmMain* main = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        static QTemporaryDir dir;
        paths::setProgramFolder(dir.path());
        mb::setHandler([](const QString&, int, const QString&) { return mb::Ok; });
        return frmMain();
    }();
    return main;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FrmMain* main = window();
    QString line = textfile::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    // The line's value may name a file; only names inside the working folder are tried, so the
    // fuzzer exercises the program rather than wandering the machine's disks.
    const qsizetype eq = line.indexOf(u'=');
    if (eq >= 0 && (line.mid(eq + 1).startsWith(u'/') || line.contains(QLatin1String(".."))))
        return 0;
    try {
        main->setIniVars(line);
    } catch (const err::Error& e) {
        // Errors are reported by start-up; a line without "=" is the only invalid argument.
        if (e.number() == err::InvalidArgument && eq >= 0)
            std::abort();
    }
    // Whatever it was given, the size box holds a non-negative number written in the general form.
    const QString held = main->txtFontSize->text();
    if (num::val(held) < 0 || num::format(num::val(held)) != held)
        std::abort();
    return 0;
}
