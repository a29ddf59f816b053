#pragma once

#include <QString>
#include <QStringList>

// The settings file as the desktop program reads and writes it: the plain layer's settings lines
// (base/settings_lines.h) in QString, and where the file lives.
namespace settings {

struct Line {
    QString key;
    QString value;
};

// Splits at the first "="; a line without one (an empty line too) raises error 5.
Line parseLine(const QString& line);

// What the lines of a settings file are applied to: one function a key. Keys are compared exactly and
// case-sensitively, in this order; any other key is ignored, and so is its line.
class Target {
  public:
    virtual ~Target() = default;
    virtual void asciiTablePath(const QString& value) { Q_UNUSED(value); }
    virtual void asciiTableFile(const QString& value) { Q_UNUSED(value); }
    virtual void picturePath(const QString& value) { Q_UNUSED(value); }
    virtual void pictureFile(const QString& value) { Q_UNUSED(value); }
    virtual void xScale(const QString& value) { Q_UNUSED(value); }
    virtual void yScale(const QString& value) { Q_UNUSED(value); }
    virtual void font(const QString& value) { Q_UNUSED(value); }
    virtual void fontSize(const QString& value) { Q_UNUSED(value); }
    virtual void asciiFile(const QString& value) { Q_UNUSED(value); }
    virtual void asciiPath(const QString& value) { Q_UNUSED(value); }
};

// The keys that applying a line recognises, in the order they are compared.
const QStringList& appliedKeys();

// Parses a line and hands its value to the target's function for its key. Raises parseLine's error and
// whatever the target raises.
void applyLine(const QString& line, Target& target);

// The file's lines, in order: lines end at CR, CR LF or LF. Raises 53, 76 or 75 as reading a file does.
QStringList readLines(const QString& path);

struct Values {
    QString asciiTablePath, asciiTableFile, picturePath, pictureFile;
    QString xScale, yScale, font, fontSize, asciiPath, asciiFile;
};

// The eleven lines writeIni stores, without line ends.
QStringList fileLines(const Values& v);

// Where the desktop program keeps its settings. A program folder the user can write (a portable copy, a
// build folder) holds Tessarine.ini beside the executable. An installed program's folder cannot be
// written, so the user's own file lives in $XDG_CONFIG_HOME/tessarine/ (~/.config/tessarine/); until it
// exists, a readable Tessarine.ini beside the program, or else in tessarine/ of a configuration folder
// ($XDG_CONFIG_DIRS, /etc/xdg by default, where the package puts one), serves as the starting settings, a
// default for every user of the machine.
struct Location {
    QString file;         // read at start-up and written at shut-down
    QString startingFile; // read at start-up: the file itself, or the system-wide default
    bool own = false;     // the file is in the user's folder, which is made when it is missing
};
Location locate();

} // namespace settings
