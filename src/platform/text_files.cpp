#include "platform/text_files.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <array>

namespace textfile {

namespace {

// Codes 0x80 to 0x9F; the rest of Windows-1252 is Latin-1. Undefined codes map to the C1 control.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int toWindows1252(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u)
            return 0x80 + i;
    return -1;
}

bool hasMultiByteSequence(const QByteArray& bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

} // namespace

QChar fromWindows1252(unsigned char code) {
    if (code >= 0x80 && code < 0xA0)
        return QChar(kHigh[code - 0x80]);
    return QChar(code);
}

bool fitsWindows1252(const QString& text) {
    for (QChar c : text)
        if (toWindows1252(c) < 0)
            return false;
    return true;
}

QString decode(const QByteArray& bytes) {
    if (hasMultiByteSequence(bytes)) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString s = utf8(bytes);
        if (!utf8.hasError())
            return s;
    }
    QString s;
    s.reserve(bytes.size());
    for (char c : bytes)
        s.append(fromWindows1252(static_cast<unsigned char>(c)));
    return s;
}

QByteArray encode(const QString& text) {
    if (!fitsWindows1252(text))
        return text.toUtf8();
    QByteArray b;
    b.reserve(text.size());
    for (QChar c : text)
        b.append(static_cast<char>(toWindows1252(c)));
    return b;
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
    qsizetype end = 0;
    while (end < bytes.size() && bytes.at(end) != '\r' && bytes.at(end) != '\n')
        ++end;
    return decode(bytes.left(end));
}

QString readFirstLine(const QString& path) {
    return firstLine(readBytes(path));
}

void writeText(const QString& path, const QString& text) {
    if (!paths::folderExists(path))
        raiseError(err::PathNotFound);
    QSaveFile f(path);
    const QByteArray bytes = encode(text);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        raiseError(err::PathFileAccess, QStringLiteral("Path/File access error (%1)").arg(f.errorString()));
}

} // namespace textfile
