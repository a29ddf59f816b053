#include "core/settings_file.h"

#include "core/app_info.h"
#include "core/errors.h"
#include "core/paths.h"
#include "core/text_files.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <array>

namespace settings {

namespace {

using Setter = void (Target::*)(const QString&);

struct Key {
    QLatin1String name;
    Setter apply;
};

// The one list of the keys a line may carry, in the order they are compared.
constexpr std::array<Key, 10> kKeys = {{
    {QLatin1String("asciiTablePath"), &Target::asciiTablePath},
    {QLatin1String("asciiTableFile"), &Target::asciiTableFile},
    {QLatin1String("picturePath"), &Target::picturePath},
    {QLatin1String("pictureFile"), &Target::pictureFile},
    {QLatin1String("xScale"), &Target::xScale},
    {QLatin1String("yScale"), &Target::yScale},
    {QLatin1String("Font"), &Target::font},
    {QLatin1String("FontSize"), &Target::fontSize},
    {QLatin1String("asciiFile"), &Target::asciiFile},
    {QLatin1String("asciiPath"), &Target::asciiPath},
}};

} // namespace

Line parseLine(const QString& line) {
    const qsizetype p = line.indexOf(u'=');
    if (p < 0)
        raiseError(err::InvalidArgument);
    return {line.left(p), line.mid(p + 1)};
}

const QStringList& appliedKeys() {
    static const QStringList keys = [] {
        QStringList k;
        for (const Key& key : kKeys)
            k.append(key.name);
        return k;
    }();
    return keys;
}

void applyLine(const QString& line, Target& target) {
    const Line l = parseLine(line);
    for (const Key& key : kKeys) {
        if (l.key == key.name) {
            (target.*key.apply)(l.value);
            return;
        }
    }
}

QStringList readLines(const QString& path) {
    return textfile::splitLines(textfile::decode(textfile::readBytes(path)));
}

QStringList fileLines(const Values& v) {
    return {
        "version=" + app::settingsVersion(),
        "asciiTablePath=" + v.asciiTablePath,
        "asciiTableFile=" + v.asciiTableFile,
        "picturePath=" + v.picturePath,
        "pictureFile=" + v.pictureFile,
        "xScale=" + v.xScale,
        "yScale=" + v.yScale,
        "Font=" + v.font,
        "FontSize=" + v.fontSize,
        "asciiPath=" + v.asciiPath,
        "asciiFile=" + v.asciiFile,
    };
}

Location locate() {
    const QString name = app::title() + ".ini";
    const QString beside = paths::programFolder() + "/" + name;
    if (paths::programFolderWritable())
        return {beside, beside, false};
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/" +
                        app::title().toLower() + "/" + name;
    const QFileInfo ownInfo(own), systemInfo(beside);
    if (!ownInfo.exists() && systemInfo.isFile() && systemInfo.isReadable())
        return {own, beside, true};
    return {own, own, true};
}

} // namespace settings
