// tessarine-convert's Qt module: fonts, Qt's picture readers and the settings file, carried out by the
// core library. Loaded by the converter only when it needs one of them (qt_module_api.h).
#include "qt_module_api.h"

#include "core/art_picture.h"
#include "core/conversion.h"
#include "core/errors.h"
#include "core/glyph_measure.h"
#include "core/numbers.h"
#include "core/picture_loader.h"
#include "core/pixel_views.h"
#include "core/settings_file.h"
#include "core/text_files.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Qt's own warnings (a missing runtime folder and the like) are not the converter's to report.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("TESSARINE_DEBUG"))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

void fill(TessarineError* error, int number, const QString& description,
          err::Kind kind = err::Kind::General) {
    error->number = number;
    error->kind = int(kind);
    const QByteArray utf8 = description.toUtf8();
    std::snprintf(error->description, sizeof error->description, "%s", utf8.constData());
}

// Runs a call, turning whatever it raises into an error record; 0 on success.
template <class Fn> int guarded(TessarineError* error, Fn&& fn) {
    try {
        fn();
        return 0;
    } catch (const err::Error& e) {
        fill(error, e.number(), errorText(e), e.kind());
    } catch (const std::bad_alloc&) {
        fill(error, err::OutOfMemory, errorDescription(err::OutOfMemory), err::Kind::TooLarge);
    } catch (const std::exception& e) {
        fill(error, err::InvalidArgument, QString::fromUtf8(e.what()));
    }
    return 1;
}

QString fromNative(const char* path) {
    return QFile::decodeName(QByteArray(path));
}

int argc = 1;
char programName[64] = "tessarine-convert";
char* argv[] = {programName, nullptr};
std::unique_ptr<QGuiApplication> application;

int start(const char* name, TessarineError* error) {
    return guarded(error, [&] {
        qInstallMessageHandler(quietMessages);
        std::snprintf(programName, sizeof programName, "%s", name);
        // The converter never needs a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    });
}

int measure(const uint32_t* table, int length, const char* font, double size, uint32_t* chars,
            int32_t* levels, uint8_t* printable, double* cellAspect, TessarineError* error) {
    return guarded(error, [&] {
        const QString name = QString::fromUtf8(font);
        const QString text = QString::fromUcs4(reinterpret_cast<const char32_t*>(table), length);
        const glyphs::Measured m = glyphs::measureTable(text, name, size);
        if (int(m.chars.size()) != length)
            raiseError(err::InvalidArgument, "The table holds characters that are not whole");
        for (int i = 0; i < length; ++i) {
            chars[i] = m.chars[size_t(i)];
            levels[i] = m.levels[size_t(i)];
            printable[i] = QChar::isPrint(m.chars[size_t(i)]) && !QChar::isSpace(m.chars[size_t(i)]);
        }
        *cellAspect = glyphs::cellAspect(glyphs::measuringFont(name, size));
    });
}

int pictureSize(const char* path, int* width, int* height, TessarineError* error) {
    return guarded(error, [&] {
        QImageReader reader(fromNative(path));
        QSize size = reader.size();
        if (!size.isValid())
            size = loadPictureFile(fromNative(path)).size();
        *width = size.width();
        *height = size.height();
    });
}

int loadBuffer(const char* path, const TessarineFactors* factors, TessarinePixels storage, void* context,
               TessarineError* error) {
    return guarded(error, [&] {
        const QImage b =
            conversion::loadBuffer(fromNative(path), {factors->scaled != 0, factors->h, factors->v});
        uint32_t* out = storage(context, b.width(), b.height());
        if (!out && b.width() > 0 && b.height() > 0)
            throw std::bad_alloc();
        const px::View in = pixelView(b);
        for (int y = 0; y < in.height; ++y)
            std::memcpy(out + size_t(y) * size_t(in.width), in.row(y), sizeof(uint32_t) * size_t(in.width));
    });
}

// The converter's settings: table, font, size and factors, from the keys that carry them.
class ConverterSettings : public settings::Target {
  public:
    ConverterSettings(TessarineText text, void* context, TessarineSettingsNumbers* numbers)
        : text_(text), context_(context), numbers_(numbers) {}
    void asciiTableFile(const QString& value) override {
        const QByteArray table = textfile::readFirstLine(value).toUtf8();
        text_(context_, TessarineFieldTable, table.constData(), size_t(table.size()));
    }
    void font(const QString& value) override {
        const QByteArray name = value.toUtf8();
        text_(context_, TessarineFieldFont, name.constData(), size_t(name.size()));
    }
    void fontSize(const QString& value) override {
        numbers_->size = std::fabs(num::val(value));
        numbers_->hasSize = 1;
    }
    void xScale(const QString& value) override {
        numbers_->h = num::strictToDouble(value);
        numbers_->hasH = 1;
    }
    void yScale(const QString& value) override {
        numbers_->v = num::strictToDouble(value);
        numbers_->hasV = 1;
    }

  private:
    TessarineText text_;
    void* context_;
    TessarineSettingsNumbers* numbers_;
};

int readSettings(const char* file, TessarineText text, void* context, TessarineSettingsNumbers* numbers,
                 TessarineError* error) {
    return guarded(error, [&] {
        const QString path = fromNative(file);
        QStringList lines;
        try {
            lines = settings::readLines(path);
        } catch (const err::Error& e) {
            raiseError(e.number(), path + ": " + errorText(e));
        }
        ConverterSettings target(text, context, numbers);
        int number = 0;
        for (const QString& line : lines) {
            ++number;
            settings::Line l;
            try {
                l = settings::parseLine(line);
            } catch (const err::Error& e) {
                raiseError(e.number(), QString("%1: line %2 has no \"=\"").arg(path).arg(number));
            }
            try {
                settings::applyLine(line, target);
            } catch (const err::Error& e) {
                raiseError(e.number(), QString("%1: %2: %3").arg(path, l.key, errorText(e)));
            }
        }
    });
}

int drawGlyphs(const uint32_t* chars, int length, const char* font, double size, TessarineMasks storage,
               void* context, TessarineError* error) {
    return guarded(error, [&] {
        const std::vector<char32_t> wanted(chars, chars + std::max(0, length));
        const art::Glyphs g = art::glyphs(wanted, glyphs::measuringFont(QString::fromUtf8(font), size));
        uint8_t* out = storage(context, g.cellWidth, g.cellHeight, g.margin, length);
        if (!out)
            throw std::bad_alloc();
        const size_t maskSize = size_t(g.cellWidth + 2 * g.margin) * size_t(g.cellHeight + 2 * g.margin);
        for (size_t i = 0; i < wanted.size(); ++i)
            if (const auto found = g.masks.find(wanted[i]); found != g.masks.end())
                std::memcpy(out + i * maskSize, found->second.data(), maskSize);
    });
}

const TessarineQtModule kModule = {
    TESSARINE_QT_MODULE_VERSION, start, measure, pictureSize, loadBuffer, readSettings, drawGlyphs};

} // namespace

extern "C" __attribute__((visibility("default"))) const TessarineQtModule* tessarine_qt_module(void) {
    return &kModule;
}
