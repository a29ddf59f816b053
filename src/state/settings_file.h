#pragma once

#include <QString>
#include <QStringList>

// The settings file: one "key=value" line a setting, read in file order, written as eleven lines.
namespace settings {

struct Line {
    QString key;
    QString value;
};

// Splits at the first "="; a line without one (an empty line too) raises error 5.
Line parseLine(const QString& line);

// The keys that applying a line recognises, in the order they are compared.
const QStringList& appliedKeys();

struct Values {
    QString asciiTablePath, asciiTableFile, picturePath, pictureFile;
    QString xScale, yScale, font, fontSize, asciiPath, asciiFile;
};

// The eleven lines writeIni stores, without line ends.
QStringList fileLines(const Values& v);

} // namespace settings
