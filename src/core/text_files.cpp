#include "core/text_files.h"

#include "core/errors.h"
#include "core/paths.h"
#include "kernels/text_encoding.h"

#include <QFile>
#include <QSaveFile>
#include <string_view>

namespace textfile {

namespace {
std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}
} // namespace

QChar fromWindows1252(unsigned char code) {
    return QChar(char16_t(textcode::fromWindows1252(code)));
}

bool fitsWindows1252(const QString& text) {
    return textcode::fitsWindows1252(text.toStdU32String());
}

QString decode(const QByteArray& bytes) {
    return QString::fromStdU32String(textcode::decode(view(bytes)));
}

QByteArray encode(const QString& text) {
    const std::string bytes = textcode::encode(text.toStdU32String());
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QByteArray readBytes(const QString& path) {
    paths::requireRegularFile(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        raiseError(err::PathFileAccess, QStringLiteral("Path/File access error (%1)").arg(f.errorString()));
    return f.readAll();
}

QString firstLine(const QByteArray& bytes) {
    return QString::fromStdU32String(textcode::decode(textcode::firstLineBytes(view(bytes))));
}

QString readFirstLine(const QString& path) {
    return firstLine(readBytes(path));
}

void writeText(const QString& path, const QString& text) {
    writeBytes(path, encode(text));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    if (!paths::folderExists(path))
        raiseError(err::PathNotFound);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        raiseError(err::PathFileAccess, QStringLiteral("Path/File access error (%1)").arg(f.errorString()));
}

} // namespace textfile
