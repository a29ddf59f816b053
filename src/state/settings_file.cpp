#include "state/settings_file.h"

#include "platform/errors.h"
#include "state/app_info.h"

namespace settings {

Line parseLine(const QString& line) {
    const qsizetype p = line.indexOf(u'=');
    if (p < 0)
        raiseError(err::InvalidArgument);
    return {line.left(p), line.mid(p + 1)};
}

const QStringList& appliedKeys() {
    static const QStringList keys = {"asciiTablePath", "asciiTableFile", "picturePath", "pictureFile",
                                     "xScale",         "yScale",         "Font",        "FontSize",
                                     "asciiFile",      "asciiPath"};
    return keys;
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

} // namespace settings
