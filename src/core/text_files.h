#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Files that hold text (settings, character table, result): Windows-1252, one byte a character, when
// every character fits, UTF-8 otherwise; read back either way (the kernels' text encoding, the plain
// layer's text files), in the program's QString.
namespace textfile {

QString decode(const QByteArray& bytes);
QByteArray encode(const QString& text);

// True when every character of the text has a single-byte Windows-1252 code.
bool fitsWindows1252(const QString& text);

// The character of a Windows-1252 code (0 to 255).
QChar fromWindows1252(unsigned char code);

// Lines end at CR, CR LF or LF; a final line end does not start another line.
QStringList splitLines(const QString& text);

// Reads a whole file of at most `limit` bytes; raises 53 (file missing), 76 (folder missing), 75
// (unreadable) or 7 (larger).
QByteArray readBytes(const QString& path, qint64 limit);

// The first line of a text, without its line end.
QString firstLine(const QByteArray& bytes);

// The first line of a file, without its line end, read no further than a table's bound.
QString readFirstLine(const QString& path);

// Writes through QSaveFile, so a failed write leaves an earlier file whole. Raises 76 for a missing
// folder and 75 with the system's reason for any other failure.
void writeText(const QString& path, const QString& text);
// The same for any file's contents.
void writeBytes(const QString& path, const QByteArray& bytes);

} // namespace textfile
