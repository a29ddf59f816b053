#include "support/fixture.h"

#include "core/paths.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/state/mod_vars.h"

#include <QApplication>
#include <QFile>

namespace {
QApplication* application() {
    static int argc = 1;
    static char name[] = "tessarine-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return a;
    }();
    return app;
}
} // namespace

std::optional<QString> ScriptedDialogs::nextFile(const char* kind, const CommonDialog::FileRequest& r) {
    kinds.emplace_back(QString::fromLatin1(kind));
    fileRequests.push_back(r);
    if (files.empty() || !files.front())
        return files.empty() ? std::nullopt : (files.pop_front(), std::nullopt);
    const QString answer = *files.front();
    files.pop_front();
    return answer;
}

std::optional<CommonDialog::FontChoice> ScriptedDialogs::font(const CommonDialog::FontChoice& initial,
                                                              bool fixedOnly) {
    kinds.emplace_back(QStringLiteral("font"));
    fontRequests.emplace_back(initial, fixedOnly);
    if (fonts.empty() || !fonts.front())
        return fonts.empty() ? std::nullopt : (fonts.pop_front(), std::nullopt);
    const CommonDialog::FontChoice answer = *fonts.front();
    fonts.pop_front();
    return answer;
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void ProgramTest::SetUp() {
    application();
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(configDir_.isValid());
    paths::setProgramFolder(dir_.path());
    // No test reaches the real user's settings.
    hadConfigHome_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir_.path()));
    resetModVars();
    boxes.clear();
    answers.clear();
    CommonDialog::instance().reset();
    dialogs = std::make_shared<ScriptedDialogs>();
    CommonDialog::setBackend(dialogs);
    shellCalls.clear();
    shell::setHandler([this](const shell::Call& call) { shellCalls.push_back(call); });
    mb::setHandler([this](const QString& text, int style, const QString& title) {
        boxes.push_back({text, style, title});
        if (!answers.empty()) {
            const int a = answers.front();
            answers.pop_front();
            return a;
        }
        switch (style & 7) {
        case mb::YesNo:
            return mb::Yes;
        default:
            return mb::Ok;
        }
    });
}

void ProgramTest::TearDown() {
    Forms::instance().destroyAll();
    settle();
    resetModVars();
    FrmMain::setCommandLine({});
    if (hadConfigHome_)
        qputenv("XDG_CONFIG_HOME", savedConfigHome_);
    else
        qunsetenv("XDG_CONFIG_HOME");
    mb::setHandler({});
    CommonDialog::instance().reset();
    CommonDialog::setBackend(nullptr);
    shell::setHandler({});
    paths::setProgramFolder(QString());
}

void ProgramTest::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ProgramTest::readFile(const QString& name) const {
    QFile f(path(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void ProgramTest::writeIni(const QStringList& lines) const {
    QByteArray bytes;
    for (const QString& l : lines)
        bytes += l.toUtf8() + "\r\n";
    writeFile("Tessarine.ini", bytes);
}

FrmMain* ProgramTest::start(const QStringList& arguments) {
    FrmMain::setCommandLine(arguments);
    return frmMain();
}

void ProgramTest::shutDown(FrmMain* main) {
    main->close();
    settle();
}

void StartedProgram::SetUp() {
    ProgramTest::SetUp();
    writeFile("Tessarine.ini", "");
    main = start();
}
