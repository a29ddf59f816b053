#include "core/text_files.h"

#include "base/files.h"
#include "base/text_files.h"
#include "core/errors.h"
#include "core/paths.h"
#include "kernels/text_encoding.h"

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
    for (const std::u32string& line : files::splitLines(text.toStdU32String()))
        lines.append(QString::fromStdU32String(line));
    return lines;
}

QByteArray readBytes(const QString& path, qint64 limit) {
    return QByteArray::fromStdString(files::read(paths::native(path), limit));
}

QString firstLine(const QByteArray& bytes) {
    return QString::fromStdU32String(textcode::decode(textcode::firstLineBytes(view(bytes))));
}

QString readFirstLine(const QString& path) {
    return QString::fromStdU32String(files::readFirstLine(paths::native(path)));
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
