#include "core/settings_file.h"

#include "base/settings_lines.h"
#include "core/app_info.h"
#include "core/paths.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <array>

namespace settings {

namespace {

using Setter = void (Target::*)(const QString&);

// The target's function for each of the keys, in the plain layer's order of keys.
constexpr std::array<Setter, ini::kKeyNames.size()> kSetters = {
    &Target::asciiTablePath, &Target::asciiTableFile, &Target::picturePath, &Target::pictureFile,
    &Target::xScale,         &Target::yScale,         &Target::font,        &Target::fontSize,
    &Target::asciiFile,      &Target::asciiPath,
};

} // namespace

Line parseLine(const QString& line) {
    const ini::Line l = ini::parseLine(line.toStdString());
    return {QString::fromStdString(l.key), QString::fromStdString(l.value)};
}

const QStringList& appliedKeys() {
    static const QStringList keys = [] {
        QStringList k;
        for (std::string_view name : ini::kKeyNames)
            k.append(QString::fromUtf8(name.data(), qsizetype(name.size())));
        return k;
    }();
    return keys;
}

void applyLine(const QString& line, Target& target) {
    const ini::Line l = ini::parseLine(line.toStdString());
    if (const std::optional<ini::Key> key = ini::keyOf(l.key))
        (target.*kSetters[size_t(*key)])(QString::fromStdString(l.value));
}

QStringList readLines(const QString& path) {
    QStringList lines;
    for (const std::string& line : ini::readLines(paths::native(path)))
        lines.append(QString::fromStdString(line));
    return lines;
}

QStringList fileLines(const Values& v) {
    const auto utf8 = [](const QString& s) { return s.toStdString(); };
    QStringList lines;
    for (const std::string& line :
         ini::fileLines({utf8(v.asciiTablePath), utf8(v.asciiTableFile), utf8(v.picturePath),
                         utf8(v.pictureFile), utf8(v.xScale), utf8(v.yScale), utf8(v.font), utf8(v.fontSize),
                         utf8(v.asciiPath), utf8(v.asciiFile)}))
        lines.append(QString::fromStdString(line));
    return lines;
}

Location locate() {
    const QString name = app::title() + ".ini";
    const QString beside = paths::programFolder() + "/" + name;
    if (paths::programFolderWritable())
        return {beside, beside, false};
    const auto inFolder = [&](const QString& folder) {
        return folder + "/" + app::title().toLower() + "/" + name;
    };
    const QString ownFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString own = inFolder(ownFolder);
    if (QFileInfo::exists(own))
        return {own, own, true};
    // Until the user's own file exists, a system-wide one starts it: beside the program, else in the
    // configuration folders ($XDG_CONFIG_DIRS, /etc/xdg by default), where a package puts it.
    QStringList starting = {beside};
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        if (folder != ownFolder)
            starting.append(inFolder(folder));
    for (const QString& file : starting) {
        const QFileInfo info(file);
        if (info.isFile() && info.isReadable())
            return {own, file, true};
    }
    return {own, own, true};
}

} // namespace settings
