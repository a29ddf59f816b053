#include "qt_services_impl.h"

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
#include <cstring>
#include <future>

namespace cli {

namespace {

// Qt's own warnings (a missing runtime folder and the like) are not the converter's to report.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("TESSARINE_DEBUG"))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

QString fromNative(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Runs core code, turning what it raises into the kernels' error, which the converter handles.
template <class Fn> decltype(auto) toKernelErrors(Fn&& fn) {
    try {
        return fn();
    } catch (const PlatformError& e) {
        throw KernelError(e.number(), e.description().toStdString(), e.kind());
    }
}

// The converter's settings: table, font, size and factors, from the keys that carry them.
class ConverterSettings : public settings::Target {
  public:
    SettingsFile values;
    void asciiTableFile(const QString& value) override {
        values.table = textfile::readFirstLine(value).toStdU32String();
    }
    void font(const QString& value) override { values.font = value.toStdString(); }
    void fontSize(const QString& value) override { values.size = std::fabs(num::val(value)); }
    void xScale(const QString& value) override { values.h = num::strictToDouble(value); }
    void yScale(const QString& value) override { values.v = num::strictToDouble(value); }
};

class LinkedQtServices : public QtServices {
  public:
    LinkedQtServices(int argc, char** argv)
        : argc_(argc), argv_(argv), ready_(started_.get_future().share()) {
        qInstallMessageHandler(quietMessages);
    }

    void startGui() override {
        // The converter never needs a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
        started_.set_value();
    }

    Measurement measure(const std::u32string& table, const std::string& font, double size) override {
        ready_.wait();
        const QString name = QString::fromStdString(font);
        const glyphs::Measured m = glyphs::measureTable(QString::fromStdU32String(table), name, size);
        Measurement out;
        out.chars = m.chars;
        out.levels = m.levels;
        for (char32_t c : m.chars)
            out.printable.push_back(QChar::isPrint(c) && !QChar::isSpace(c));
        out.cellAspect = glyphs::cellAspect(glyphs::measuringFont(name, size));
        return out;
    }

    px::Size pictureSize(const std::string& path) override {
        ready_.wait();
        return toKernelErrors([&] {
            QImageReader reader(fromNative(path));
            QSize size = reader.size();
            if (!size.isValid())
                size = loadPictureFile(fromNative(path)).size();
            return px::Size{size.width(), size.height()};
        });
    }

    px::Image loadBuffer(const std::string& path, const buffer::Factors& factors) override {
        ready_.wait();
        return toKernelErrors([&] {
            const QImage b = conversion::loadBuffer(fromNative(path), factors);
            px::Image out(b.width(), b.height(), 0);
            const px::View in = pixelView(b);
            for (int y = 0; y < in.height; ++y)
                std::memcpy(out.pixels.data() + size_t(y) * size_t(out.width), in.row(y),
                            sizeof(px::Pixel) * size_t(in.width));
            return out;
        });
    }

    SettingsFile readSettings(const std::string& file) override {
        const QString path = fromNative(file);
        QStringList lines;
        try {
            lines = settings::readLines(path);
        } catch (const PlatformError& e) {
            throw KernelError(e.number(), (path + ": " + e.description()).toStdString());
        }
        ConverterSettings target;
        int number = 0;
        for (const QString& line : lines) {
            ++number;
            settings::Line l;
            try {
                l = settings::parseLine(line);
            } catch (const PlatformError& e) {
                throw KernelError(e.number(),
                                  QString("%1: line %2 has no \"=\"").arg(path).arg(number).toStdString());
            }
            try {
                settings::applyLine(line, target);
            } catch (const PlatformError& e) {
                throw KernelError(e.number(),
                                  QString("%1: %2: %3").arg(path, l.key, e.description()).toStdString());
            }
        }
        return target.values;
    }

  private:
    int argc_;
    char** argv_;
    std::promise<void> started_;
    std::shared_future<void> ready_;
    std::unique_ptr<QGuiApplication> app_;
};

} // namespace

std::unique_ptr<QtServices> makeQtServices(int argc, char** argv) {
    return std::make_unique<LinkedQtServices>(argc, argv);
}

} // namespace cli
