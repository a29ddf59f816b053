// tessarine-convert's Qt module: fonts and Qt's picture readers, carried out by the core library. Loaded
// by the converter only when it needs one of them (qt_services.h).
#include "qt_bridge/qt_services.h"

#include "kernels/errors.h"
#include "kernels/memory_limit.h"

#include "core/art_picture.h"
#include "core/conversion.h"
#include "core/glyph_measure.h"
#include "core/paths.h"
#include "core/picture_loader.h"
#include "core/pixel_views.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <memory>

namespace {

// Qt's own warnings (a missing runtime folder and the like) are not the converter's to report.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("TESSARINE_DEBUG"))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// The font files a table is drawn from in a font, as fontconfig chooses them for Qt: the best match, and
// for each character it lacks, the first font of the fallback list that has it.
std::vector<std::string> fontFiles(const std::u32string& table, const std::string& family, double points) {
    std::vector<std::string> out;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddDouble(pattern, FC_SIZE, points);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    if (!sorted)
        return out;
    const auto fileOf = [&](int i) {
        FcChar8* file = nullptr;
        return FcPatternGetString(sorted->fonts[i], FC_FILE, 0, &file) == FcResultMatch
                   ? std::string(reinterpret_cast<const char*>(file))
                   : std::string();
    };
    const auto use = [&](int i) {
        const std::string file = fileOf(i);
        if (!file.empty() && std::find(out.begin(), out.end(), file) == out.end())
            out.push_back(file);
    };
    if (sorted->nfont > 0)
        use(0);
    for (char32_t c : table)
        for (int i = 0; i < sorted->nfont; ++i) {
            FcCharSet* characters = nullptr;
            if (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &characters) == FcResultMatch &&
                FcCharSetHasChar(characters, FcChar32(c))) {
                use(i);
                break;
            }
        }
    FcFontSetDestroy(sorted);
    return out;
}

QString fromNative(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

class QtFrames : public cli::Frames {
  public:
    explicit QtFrames(const QString& path) : reader_(path) {
        reader_.setAutoTransform(false);
        size_ = reader_.size();
        if (!size_.isValid())
            err::raise(err::InvalidPicture);
        frames_ = reader_.imageCount(); // counted from the file's blocks, without decoding them
    }
    px::Size size() const override { return {size_.width(), size_.height()}; }
    int loopCount() const override { return reader_.supportsAnimation() ? reader_.loopCount() : 0; }
    bool next(const std::vector<buffer::Target>& targets, int& delayMs) override {
        // A reader that cannot go on before the frames its file holds are read met one it cannot decode.
        if (!reader_.canRead()) {
            if (read_ < frames_)
                err::raise(err::InvalidPicture);
            return false;
        }
        const memlimit::Reservation held(int64_t(size_.width()) * size_.height() * 4 * 2, size_.width(),
                                         size_.height());
        const QImage frame = reader_.read();
        if (frame.isNull()) // a frame there that cannot be decoded: the picture is not whole
            err::raise(err::InvalidPicture);
        ++read_;
        delayMs = reader_.nextImageDelay();
        conversion::fillBuffers(frame.convertToFormat(QImage::Format_RGB32), targets);
        return true;
    }

  private:
    QImageReader reader_;
    QSize size_;
    int frames_ = 0, read_ = 0;
};

class ModuleServices : public cli::QtServices {
  public:
    void start(const std::string& programName) override {
        qInstallMessageHandler(quietMessages);
        name_ = programName;
        argv_[0] = name_.data();
        // The converter never needs a display. The platform is asked for on the command line, not in the
        // environment: other threads read the environment meanwhile, and changing it under them is
        // undefined behaviour.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            argc_ = 3;
        application_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }

    cli::Measurement measure(const std::u32string& table, const std::string& font, double size) override {
        const QString name = QString::fromStdString(font);
        const glyphs::Measured m = glyphs::measureTable(QString::fromStdU32String(table), name, size);
        if (m.chars.size() != table.size())
            err::raise(err::InvalidArgument, "The table holds characters that are not whole");
        cli::Measurement out;
        out.chars = m.chars;
        out.levels = m.levels;
        out.patterns = m.patterns;
        // A terminal draws block elements itself, filling the cell whatever the font's glyphs are like; the
        // order stays the font's, as the desktop program measures it.
        for (size_t i = 0; i < out.chars.size(); ++i)
            if (glyphs::isBlockElement(out.chars[i]) && !out.patterns[i].empty())
                out.patterns[i] =
                    glyphs::blockElement(out.chars[i], out.patterns[i].width, out.patterns[i].height);
        for (char32_t c : m.chars)
            out.printable.push_back(QChar::isPrint(c) && !QChar::isSpace(c));
        const QFont measured = glyphs::measuringFont(name, size);
        out.cellAspect = glyphs::cellAspect(measured);
        out.family = QFontInfo(measured).family().toStdString();
        static const QStringList generic = {"monospace", "mono", "sans-serif", "sans", "serif", "system-ui"};
        out.fontInstalled =
            QFontDatabase::hasFamily(name) || generic.contains(name.trimmed(), Qt::CaseInsensitive);
        out.fontFiles = fontFiles(table, font, size);
        return out;
    }

    px::Size pictureSize(const std::string& path) override {
        // A pipe or a device would keep the reader waiting, and a GIF's size is found by scanning it
        // whole: the file is checked first.
        checkPictureFile(fromNative(path));
        QImageReader reader(fromNative(path));
        QSize size = reader.size();
        if (!size.isValid())
            size = loadPictureFile(fromNative(path)).size();
        return {size.width(), size.height()};
    }

    void fillBuffers(const std::string& path, const std::vector<buffer::Target>& targets) override {
        conversion::fillBuffers(fromNative(path), targets);
    }

    std::unique_ptr<cli::Frames> frames(const std::string& path) override {
        checkPictureFile(fromNative(path)); // a pipe or a device would keep the reader waiting
        return std::make_unique<QtFrames>(fromNative(path));
    }

    art::Glyphs drawGlyphs(const std::u32string& chars, const std::string& font, double size) override {
        const std::vector<char32_t> list(chars.begin(), chars.end());
        art::Glyphs out = art::glyphs(list, glyphs::measuringFont(QString::fromStdString(font), size));
        art::drawBlockElements(out, list); // as a terminal draws them, filling their cells
        return out;
    }

    cli::FontConfiguration fontConfiguration() override {
        // A configuration of its own, read from the files as they are now, not the one this process loaded
        // first; fontconfig follows its own rules (includes, prefixes, <reset-dirs/>, <remap-dir>).
        cli::FontConfiguration out;
        FcConfig* config = FcInitLoadConfig();
        if (!config)
            return out;
        const auto take = [](FcStrList* list, std::vector<std::string>& into) {
            while (FcChar8* s = list ? FcStrListNext(list) : nullptr)
                into.emplace_back(reinterpret_cast<const char*>(s));
            if (list)
                FcStrListDone(list);
        };
        take(FcConfigGetConfigFiles(config), out.files);
        take(FcConfigGetFontDirs(config), out.folders);
        FcConfigDestroy(config);
        return out;
    }

  private:
    std::string name_;
    char platformOption_[10] = "-platform", platform_[10] = "offscreen";
    int argc_ = 1;
    char* argv_[4] = {nullptr, platformOption_, platform_, nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

} // namespace

extern "C" __attribute__((visibility("default"))) cli::QtServices* tessarine_qt_services(int version) {
    if (version != cli::kQtServicesVersion)
        return nullptr;
    return new ModuleServices();
}
