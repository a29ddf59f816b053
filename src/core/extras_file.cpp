#include "core/extras_file.h"

#include "base/files.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/paths.h"
#include "core/text_files.h"

#include <QFileInfo>
#include <cstring>

namespace extras {

namespace {

// Far more than the few lines of choices; a larger file is not this program's.
constexpr int64_t kMaxFileBytes = 64 * 1024;

bool wholeIn(const QString& text, int lowest, int highest, int& out) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < lowest || n > highest)
        return false;
    out = n;
    return true;
}

} // namespace

QString fileBeside(const QString& settingsFile) {
    return QFileInfo(settingsFile).path() + "/Extras.ini";
}

choice::Options read(const QString& path) {
    choice::Options o;
    std::string bytes;
    if (!files::readFile(paths::native(path), bytes, kMaxFileBytes))
        return o;
    for (const QString& line :
         textfile::splitLines(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())))) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed(), value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Mapping")) {
            if (const auto m = choice::mappingNamed(value.toStdString()))
                o.mapping = *m;
        } else if (key == QLatin1String("Dither")) {
            o.dither = value == QLatin1String("1");
        } else if (key == QLatin1String("AutoLevels")) {
            o.levels.automatic = value == QLatin1String("1");
        } else if (key == QLatin1String("Brightness")) {
            wholeIn(value, -choice::kMaxBrightness, choice::kMaxBrightness, o.levels.brightness);
        } else if (key == QLatin1String("Contrast")) {
            wholeIn(value, -choice::kMaxContrast, choice::kMaxContrast, o.levels.contrast);
        } else if (key == QLatin1String("Gamma")) {
            bool ok = false;
            const double g = value.toDouble(&ok); // written in the C locale, whatever the user's
            if (ok && g >= choice::kMinGamma && g <= choice::kMaxGamma)
                o.levels.gamma = g;
        }
    }
    return o;
}

QString fileText(const choice::Options& c) {
    return "Mapping=" + QString::fromLatin1(choice::kMappingNames[size_t(c.mapping)].data()) + "\n" +
           "Dither=" + (c.dither ? "1" : "0") + "\n" + "AutoLevels=" + (c.levels.automatic ? "1" : "0") +
           "\n" + "Brightness=" + QString::number(c.levels.brightness) + "\n" +
           "Contrast=" + QString::number(c.levels.contrast) + "\n" +
           "Gamma=" + QString::number(c.levels.gamma) + "\n";
}

void write(const QString& path, const choice::Options& choices) {
    const QByteArray bytes = fileText(choices).toUtf8();
    const int failed =
        files::writeTarget(paths::native(path), std::string_view(bytes.data(), size_t(bytes.size())));
    if (failed != 0)
        raiseError(err::PathFileAccess,
                   "Path/File access error (" + path + ": " +
                       QString::fromLocal8Bit(files::describeWriteError(failed).c_str()) + ")");
}

} // namespace extras
