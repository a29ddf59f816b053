#include "converter_runs.h"

#include "core/glyph_measure.h"
#include "core/text_files.h"
#include "support/pictures.h"
#include "ui/platform/forms.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"
#include "ui/windows/frm_scale.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <sys/resource.h>
#include <unistd.h>

namespace converter_test {

ConverterRun noticeApart(ConverterRun r) {
    static const QRegularExpression notice(
        "^tessarine-convert: font \"[^\n]*\" is not installed; measured in "
        "\"[^\n]*\"\n",
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = notice.match(QString::fromUtf8(r.err));
    if (m.hasMatch()) {
        r.fontNotice = m.captured(0).toUtf8();
        r.err.replace(r.fontNotice, "");
    }
    return r;
}

QProcessEnvironment converterEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (environment.contains("TESSARINE_TEST_AS_USERS_RUN_IT"))
        environment.remove("QT_QPA_PLATFORM");
    return environment;
}

ConverterRun convert(const QStringList& args, const QString& input, qint64 memoryLimit) {
    QProcess p;
    p.setProcessEnvironment(converterEnvironment());
    if (!input.isEmpty())
        p.setStandardInputFile(input);
#ifdef TESSARINE_SANITIZED
    memoryLimit = 0; // the sanitizers reserve terabytes of address space for themselves
#endif
    if (memoryLimit > 0)
        p.setChildProcessModifier([memoryLimit] {
            const rlimit limit{rlim_t(memoryLimit), rlim_t(memoryLimit)};
            setrlimit(RLIMIT_AS, &limit);
        });
    p.start(QStringLiteral(TESSARINE_CONVERT), args);
    p.waitForFinished(60000);
    return noticeApart({p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                        p.readAllStandardOutput(),
                        p.readAllStandardError(),
                        {}});
}

ConverterRun convertAfter(const QString& setUp, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(converterEnvironment());
    p.start("bash",
            QStringList{"-c", setUp + "; exec \"$0\" \"$@\"", QStringLiteral(TESSARINE_CONVERT)} + args);
    p.waitForFinished(60000);
    return noticeApart({p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                        p.readAllStandardOutput(),
                        p.readAllStandardError(),
                        {}});
}

std::optional<ConverterRun> convertAsUser(const QStringList& args) {
    QString program = QStringLiteral(TESSARINE_CONVERT);
    QStringList all = args;
    if (geteuid() == 0) {
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            return std::nullopt;
        all = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args;
        program = "setpriv";
    }
    QProcess p;
    p.setProcessEnvironment(converterEnvironment());
    p.start(program, all);
    if (!p.waitForFinished(60000))
        return std::nullopt;
    const ConverterRun r =
        noticeApart({p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError(), {}});
    if (r.status == 126 && !r.err.contains("Permission denied"))
        return std::nullopt; // the build folder is not reachable for an ordinary user
    return r;
}

void openToOthers(const QString& folder) {
    QFile::setPermissions(folder,
                          QFile::permissions(folder) | QFileDevice::ExeOther | QFileDevice::ReadOther);
}

QStringList temporaries(const QString& folder) {
    return QDir(folder).entryList(QStringList{".tessarine-*"}, QDir::Hidden | QDir::Files);
}

QImage scene(int w, int h) {
    return testpic::steps(w, h);
}

QSizeF cell(const QString& font, double points) {
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(qRound(96 / 0.0254));
    probe.setDotsPerMeterY(qRound(96 / 0.0254));
    const QFontMetricsF fm(glyphs::measuringFont(font, points), &probe);
    return {fm.horizontalAdvance('M'), fm.height()};
}

QString terminalFamily() {
    return QFontInfo(glyphs::measuringFont("monospace", 10)).family();
}

QList<QByteArray> linesOf(const QByteArray& out) {
    QList<QByteArray> lines = out.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString hostile(const char* name) {
    return QStringLiteral(TESSARINE_HOSTILE_DIR "/") + name;
}

QByteArray withoutResets(QByteArray out) {
    return out.replace("\x1b[0m", "");
}

QByteArray withoutSequences(QByteArray out) {
    static const QRegularExpression sequence("\x1b\\[[0-9;]*m");
    return QString::fromUtf8(out).remove(sequence).toUtf8();
}

QByteArray Converter::desktopText(const QString& picture, const QString& table, const QString& font,
                                  const QString& size, const QString& h, const QString& v) {
    writeFile("Tessarine.ini", "");
    FrmMain* main = start();
    modVars().pictureFile = picture;
    main->txtAsciiTable->setText(table);
    main->txtFont->setText(font);
    main->txtFontSize->setText(size);
    frmScale()->txtHorizontal->setText(h);
    frmScale()->txtVertical->setText(v);
    if (!(h == "1" && v == "1"))
        main->mnuScalePicture_Click();
    main->cmdStart_Click();
    const QByteArray text = textfile::encode(frmAscii()->text());
    Forms::instance().destroyAll();
    resetModVars();
    return text;
}

} // namespace converter_test
